// Items and the owning lists of the document.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "gif/GIFImage.h"

// --- Atomic file writing

namespace {
// Writes through a temporary file in the target's folder and renames it over
// the target only after Write succeeded, so a failed save never destroys the
// file that was there and leaves no temporary behind.
void SaveFileAtomicallyImpl(const std::string& FileName, const std::function<void(TStream&)>& Write) {
  std::string tmpl = FileName + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0)
    throw EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(errno));
  const std::string tmp(name.data());
  // Keep the permissions of the file being replaced, else the usual ones.
  struct stat st;
  mode_t mode;
  if (stat(FileName.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  close(fd);
  try {
    {
      TFileStream stream(tmp, fmCreate);
      Write(stream);
      stream.Flush();
    }
    if (std::rename(tmp.c_str(), FileName.c_str()) != 0)
      throw EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(errno));
  } catch (...) {
    std::remove(tmp.c_str());
    throw;
  }
}
}  // namespace

void SaveFileAtomically(const std::string& FileName, const std::function<void(TStream&)>& Write) {
  SaveFileAtomicallyImpl(FileName, Write);
}

// --- TGIFItem

void TGIFItem::Warning(int Severity, const std::string& Message) {
  if (FImage != nullptr) FImage->Warning(this, Severity, Message);
}

void TGIFItem::SaveToFile(const std::string& FileName) {
  SaveFileAtomically(FileName, [this](TStream& s) { SaveToStream(s); });
}

void TGIFItem::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

// --- TGIFList

TGIFList::~TGIFList() { Clear(); }

TGIFItem* TGIFList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)];
}

int TGIFList::Add(std::unique_ptr<TGIFItem> Item) {
  FItems.push_back(Item.release());
  return Count() - 1;
}

void TGIFList::Insert(int Index, std::unique_ptr<TGIFItem> Item) {
  if (Index < 0 || Index > Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  FItems.insert(FItems.begin() + Index, Item.release());
}

void TGIFList::Delete(int Index) {
  TGIFItem* item = Items(Index);
  FItems.erase(FItems.begin() + Index);
  delete item;  // the owning list frees what it removed
}

std::unique_ptr<TGIFItem> TGIFList::Remove(TGIFItem* Item) {
  Detach(Item);
  return std::unique_ptr<TGIFItem>(Item);
}

void TGIFList::Detach(TGIFItem* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it != FItems.end()) FItems.erase(it);
}

void TGIFList::Clear() {
  while (!FItems.empty()) Delete(0);
}

int TGIFList::IndexOf(const TGIFItem* Item) const {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TGIFList::Exchange(int Index1, int Index2) {
  Items(Index1);
  Items(Index2);
  std::swap(FItems[static_cast<size_t>(Index1)], FItems[static_cast<size_t>(Index2)]);
}

void TGIFList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  TGIFItem* item = Items(CurIndex);
  Items(NewIndex);
  FItems.erase(FItems.begin() + CurIndex);
  FItems.insert(FItems.begin() + NewIndex, item);
}

void TGIFList::Warning(int Severity, const std::string& Message) {
  if (FImage != nullptr) FImage->Warning(this, Severity, Message);
}

void TGIFList::SaveToStream(TStream& Stream) {
  for (TGIFItem* item : FItems) item->SaveToStream(Stream);
}

TGIFSubImage* TGIFImageList::Items(int Index) const { return static_cast<TGIFSubImage*>(TGIFList::Items(Index)); }

TGIFExtension* TGIFExtensionList::Items(int Index) const {
  return static_cast<TGIFExtension*>(TGIFList::Items(Index));
}

// --- TGIFTrailer

void TGIFTrailer::SaveToStream(TStream& Stream) { WriteByte(Stream, 0x3B); }

void TGIFTrailer::LoadFromStream(TStream& Stream) {
  uint8_t b;
  // A missing trailer is tolerated silently.
  if (TryReadByte(Stream, b) && b != 0x3B) Warning(1, gifmsg::BadTrailer);
}
