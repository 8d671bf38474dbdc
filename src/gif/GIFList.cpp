// Items and the owning lists of the document.
#include <algorithm>

#include "gif/GIFImage.h"
#include "platform/FileUtils.h"

// --- TGIFItem

void TGIFItem::Warning(int Severity, const std::string& Message) {
  if (FImage != nullptr) FImage->Warning(this, Severity, Message);
}

void TGIFItem::SaveToFile(const std::string& FileName) {
  WriteFileAtomically(FileName, [this](TStream& s) { SaveToStream(s); });
}

void TGIFItem::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

// --- TGIFList

TGIFList::~TGIFList() { Clear(); }

TGIFItem* TGIFList::Items(int Index) const {
  CheckListIndex(Index, Count());
  return FItems[static_cast<size_t>(Index)];
}

int TGIFList::Add(std::unique_ptr<TGIFItem> Item) {
  FItems.push_back(Item.release());
  return Count() - 1;
}

void TGIFList::Insert(int Index, std::unique_ptr<TGIFItem> Item) {
  CheckListIndex(Index, Count() + 1);
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
