#include "platform/Classes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kFileBufferSize = 64 * 1024;
constexpr int64_t kCopyChunk = 64 * 1024;

std::string SystemReason(int err) { return std::strerror(err); }

}  // namespace

// ---------------------------------------------------------------- TStream

TStream::~TStream() = default;

void TStream::ReadBuffer(void* buf, int64_t count) {
  if (count <= 0) return;
  if (Read(buf, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buf, int64_t count) {
  if (count <= 0) return;
  if (Write(buf, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::Position() { return Seek(0, soCurrent); }

void TStream::SetPosition(int64_t pos) { Seek(pos, soBeginning); }

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t total = count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(count, kCopyChunk)));
  while (count > 0) {
    const int64_t n = std::min(count, kCopyChunk);
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return total;
}

// ---------------------------------------------------------- TMemoryStream

int64_t TMemoryStream::Read(void* buf, int64_t count) {
  const int64_t size = Size();
  if (count <= 0 || FPosition >= size) return 0;
  const int64_t n = std::min(count, size - FPosition);
  std::memcpy(buf, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buf, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = FPosition + count;
  if (end > Size()) {
    try {
      FData.resize(static_cast<size_t>(end));
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory while expanding memory stream");
    }
  }
  std::memcpy(FData.data() + FPosition, buf, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == soCurrent) base = FPosition;
  else if (origin == soEnd) base = Size();
  const int64_t pos = base + offset;
  if (pos < 0) throw EStreamError("Stream seek before the beginning");
  FPosition = pos;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  try {
    FData.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory while expanding memory stream");
  }
  if (FPosition > size) FPosition = size;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  const int64_t size = stream.Size();
  SetSize(size);
  if (size > 0) stream.ReadBuffer(FData.data(), size);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) {
  if (!FData.empty()) stream.WriteBuffer(FData.data(), Size());
}

void TMemoryStream::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& name) {
  TFileStream f(name, fmCreate);
  SaveToStream(f);
  f.Flush();
}

// ------------------------------------------------------------ TFileStream

TFileStream::TFileStream(const std::string& name, uint16_t mode) : FFileName(name) {
  if ((mode & fmCreate) == fmCreate) {  // share flags may be or-ed in
    FHandle = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FHandle < 0)
      throw EFCreateError("Cannot create file \"" + name + "\". " + SystemReason(errno));
  } else {
    const int access = mode & 3;
    const int flags = access == fmOpenWrite ? O_WRONLY : access == fmOpenReadWrite ? O_RDWR : O_RDONLY;
    FHandle = ::open(name.c_str(), flags | O_CLOEXEC);
    if (FHandle < 0)
      throw EFOpenError("Cannot open file \"" + name + "\". " + SystemReason(errno));
  }
  struct stat st;
  if (::fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(FHandle);
    FHandle = -1;
    throw EFOpenError("Cannot open file \"" + name + "\". " + SystemReason(EISDIR));
  }
  FBuffer.resize(kFileBufferSize);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) {
    try {
      FlushWrite();
    } catch (...) {
      // A destructor cannot report; callers that care call Flush() first.
    }
    ::close(FHandle);
  }
}

void TFileStream::DropReadBuffer() {
  if (FReadLen > FReadPos) {
    // Give the unread bytes back so the descriptor sits at the logical position.
    FFilePos -= static_cast<int64_t>(FReadLen - FReadPos);
    ::lseek(FHandle, FFilePos, SEEK_SET);
  }
  FReadPos = FReadLen = 0;
}

void TFileStream::FlushWrite() {
  size_t done = 0;
  while (done < FWriteLen) {
    const ssize_t n = ::write(FHandle, FBuffer.data() + done, FWriteLen - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      FWriteLen = 0;
      throw EWriteError("Error writing file \"" + FFileName + "\". " + SystemReason(err));
    }
    done += static_cast<size_t>(n);
    FFilePos += n;
  }
  FWriteLen = 0;
}

void TFileStream::Flush() { FlushWrite(); }

int64_t TFileStream::Read(void* buf, int64_t count) {
  if (count <= 0) return 0;
  FlushWrite();
  auto* out = static_cast<uint8_t*>(buf);
  int64_t total = 0;
  while (count > 0) {
    if (FReadPos < FReadLen) {
      const size_t n = std::min(static_cast<size_t>(count), FReadLen - FReadPos);
      std::memcpy(out, FBuffer.data() + FReadPos, n);
      FReadPos += n;
      out += n;
      count -= static_cast<int64_t>(n);
      total += static_cast<int64_t>(n);
      continue;
    }
    // Large reads go straight to the caller's memory; small ones refill the buffer.
    const bool direct = static_cast<size_t>(count) >= FBuffer.size();
    uint8_t* target = direct ? out : FBuffer.data();
    const size_t want = direct ? static_cast<size_t>(count) : FBuffer.size();
    ssize_t n;
    do {
      n = ::read(FHandle, target, want);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
      throw EReadError("Error reading file \"" + FFileName + "\". " + SystemReason(errno));
    if (n == 0) break;
    FFilePos += n;
    if (direct) {
      out += n;
      count -= n;
      total += n;
    } else {
      FReadPos = 0;
      FReadLen = static_cast<size_t>(n);
    }
  }
  return total;
}

int64_t TFileStream::Write(const void* buf, int64_t count) {
  if (count <= 0) return 0;
  DropReadBuffer();
  const auto* in = static_cast<const uint8_t*>(buf);
  if (FWriteLen + static_cast<size_t>(count) <= FBuffer.size()) {
    std::memcpy(FBuffer.data() + FWriteLen, in, static_cast<size_t>(count));
    FWriteLen += static_cast<size_t>(count);
    return count;
  }
  FlushWrite();
  if (static_cast<size_t>(count) < FBuffer.size()) {
    std::memcpy(FBuffer.data(), in, static_cast<size_t>(count));
    FWriteLen = static_cast<size_t>(count);
    return count;
  }
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(FHandle, in + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EWriteError("Error writing file \"" + FFileName + "\". " + SystemReason(errno));
    }
    done += n;
    FFilePos += n;
  }
  return count;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t logical = FFilePos - static_cast<int64_t>(FReadLen - FReadPos) +
                          static_cast<int64_t>(FWriteLen);
  if (origin == soCurrent && offset == 0) return logical;
  FlushWrite();
  DropReadBuffer();
  const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t pos = ::lseek(FHandle, offset, whence);
  if (pos < 0)
    throw EStreamError("Cannot seek in file \"" + FFileName + "\". " + SystemReason(errno));
  FFilePos = pos;
  return pos;
}

int64_t TFileStream::Size() {
  FlushWrite();
  struct stat st;
  if (::fstat(FHandle, &st) != 0) return 0;
  return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
  const int64_t pos = Seek(0, soCurrent);
  FlushWrite();
  DropReadBuffer();
  if (::ftruncate(FHandle, size) != 0)
    throw EStreamError("Cannot set the size of file \"" + FFileName + "\". " + SystemReason(errno));
  if (pos > size) Seek(size, soBeginning);
}

// ------------------------------------------------------------------ TList

void CheckListIndex(int index, int count) {
  if (index < 0 || index >= count) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TList::CheckIndex(int index) const { CheckListIndex(index, Count()); }

int TList::Add(void* item) {
  FItems.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  CheckListIndex(index, Count() + 1);
  FItems.insert(FItems.begin() + index, item);
}

void TList::Delete(int index) {
  CheckIndex(index);
  FItems.erase(FItems.begin() + index);
}

int TList::Remove(void* item) {
  const int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* item) const {
  const auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TList::SetCount(int count) {
  if (count < 0) throw EListError("List count out of bounds (" + std::to_string(count) + ")");
  FItems.resize(static_cast<size_t>(count), nullptr);
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count())
    throw EListError("List capacity out of bounds (" + std::to_string(capacity) + ")");
  FItems.reserve(static_cast<size_t>(capacity));
}

void* TList::Items(int index) const {
  CheckIndex(index);
  return FItems[static_cast<size_t>(index)];
}

void TList::SetItems(int index, void* item) {
  CheckIndex(index);
  FItems[static_cast<size_t>(index)] = item;
}

void TList::Exchange(int a, int b) {
  CheckIndex(a);
  CheckIndex(b);
  std::swap(FItems[static_cast<size_t>(a)], FItems[static_cast<size_t>(b)]);
}

void TList::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from);
  CheckIndex(to);
  void* item = FItems[static_cast<size_t>(from)];
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, item);
}

void TList::Pack() { FItems.erase(std::remove(FItems.begin(), FItems.end(), nullptr), FItems.end()); }

void TList::Sort(TListSortCompare compare) {
  if (Count() > 1) QuickSort(FItems.data(), 0, Count() - 1, compare);
}

// ------------------------------------------------------------ TStringList

void TStringList::CheckIndex(int index) const { CheckListIndex(index, Count()); }

int TStringList::Add(const std::string& s) {
  FStrings.push_back(s);
  return Count() - 1;
}

void TStringList::Insert(int index, const std::string& s) {
  CheckListIndex(index, Count() + 1);
  FStrings.insert(FStrings.begin() + index, s);
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  FStrings.erase(FStrings.begin() + index);
}

const std::string& TStringList::Strings(int index) const {
  CheckIndex(index);
  return FStrings[static_cast<size_t>(index)];
}

void TStringList::SetStrings(int index, const std::string& s) {
  CheckIndex(index);
  FStrings[static_cast<size_t>(index)] = s;
}

int TStringList::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(FStrings[static_cast<size_t>(i)], s)) return i;
  return -1;
}

std::string TStringList::Text() const {
  std::string out;
  for (const auto& s : FStrings) {
    out += s;
    out += "\r\n";
  }
  return out;
}

void TStringList::SetText(const std::string& text) {
  FStrings.clear();
  size_t start = 0;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      FStrings.push_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < n) FStrings.push_back(text.substr(start));
}

void TStringList::LoadFromStream(TStream& stream) {
  const int64_t size = stream.Size() - stream.Position();
  std::string text(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  if (!text.empty()) text.resize(static_cast<size_t>(stream.Read(text.data(), size)));
  // A UTF-8 byte order mark is not part of the first line.
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  SetText(text);
}

void TStringList::SaveToStream(TStream& stream) const {
  const std::string text = Text();
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

void TStringList::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TStringList::SaveToFile(const std::string& name) const {
  TFileStream f(name, fmCreate);
  SaveToStream(f);
  f.Flush();
}

std::string TStringList::Names(int index) const {
  const std::string& s = Strings(index);
  const size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
  const std::string& s = Strings(index);
  const size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(eq + 1);
}

int TStringList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string& s = FStrings[static_cast<size_t>(i)];
    const size_t eq = s.find('=');
    if (eq != std::string::npos && SameText(s.substr(0, eq), name)) return i;
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  const int i = IndexOfName(name);
  return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(const std::string& name, const std::string& value) {
  const int i = IndexOfName(name);
  if (value.empty()) {
    // As the toolkit does: an empty value removes the line.
    if (i >= 0) Delete(i);
    return;
  }
  if (i >= 0) FStrings[static_cast<size_t>(i)] = name + "=" + value;
  else Add(name + "=" + value);
}
