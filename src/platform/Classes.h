// Streams, the pointer list with its classic quicksort, and the string list.
// Streams read and write raw bytes; ReadBuffer/WriteBuffer are the exact forms
// that raise EReadError/EWriteError when fewer bytes move than asked.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SysUtils.h"

using TNotifyEvent = std::function<void(void* Sender)>;

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream();
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual int64_t Read(void* buf, int64_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual int64_t Write(const void* buf, int64_t count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  // Exact forms: EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buf, int64_t count);
  void WriteBuffer(const void* buf, int64_t count);

  int64_t Position();
  void SetPosition(int64_t pos);
  virtual int64_t Size();
  virtual void SetSize(int64_t size);
  // Copies count bytes from source (count 0: all of source from its start);
  // returns the number copied. A short source raises EReadError.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  int64_t Read(void* buf, int64_t count) override;
  int64_t Write(const void* buf, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void Clear();
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream);
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// File modes (the toolkit's values). fmCreate creates or truncates and opens
// for reading and writing.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

// A file with a small buffer of its own, so byte-at-a-time reading and writing
// costs no system call per byte. Errors name the file:
// EFOpenError "Cannot open file \"NAME\". <reason>",
// EFCreateError "Cannot create file \"NAME\". <reason>".
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& name, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buf, int64_t count) override;
  int64_t Write(const void* buf, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return FFileName; }
  // Writes buffered bytes to the file; raises EWriteError naming the file.
  void Flush();

 private:
  void FlushWrite();
  void DropReadBuffer();

  std::string FFileName;
  int FHandle = -1;
  std::vector<uint8_t> FBuffer;
  int64_t FFilePos = 0;     // position of the descriptor
  size_t FReadPos = 0;      // next byte in FBuffer when reading
  size_t FReadLen = 0;      // valid bytes in FBuffer when reading
  size_t FWriteLen = 0;     // pending bytes in FBuffer when writing
};

using TListSortCompare = int (*)(void* a, void* b);

// The classic toolkit quicksort: middle pivot, I/J scan, left part by
// recursion, right part by iteration. The order of equal elements is the one
// this procedure gives, which callers rely on, so it is kept exactly.
template <typename T, typename Compare>
void QuickSort(T* items, int l, int r, Compare compare) {
  int i;
  do {
    i = l;
    int j = r;
    T p = items[(l + r) >> 1];
    do {
      // The bounds tests never fire for a consistent comparison; they only keep
      // an inconsistent one inside the array.
      while (i < r && compare(items[i], p) < 0) ++i;
      while (j > l && compare(items[j], p) > 0) --j;
      if (i <= j) {
        T t = items[i];
        items[i] = items[j];
        items[j] = t;
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(items, l, j, compare);
    l = i;
  } while (i < r);
}

// Raises EListError "List index out of bounds (N)" unless 0 <= index < count.
// Inserting passes Count() + 1, since one past the end is allowed there.
void CheckListIndex(int index, int count);

// List of untyped pointers; owns nothing. Index errors raise EListError
// "List index out of bounds (N)".
class TList {
 public:
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int Remove(void* item);  // returns the former index or -1
  int IndexOf(void* item) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  void SetCount(int count);
  int Capacity() const { return static_cast<int>(FItems.capacity()); }
  void SetCapacity(int capacity);
  void* Items(int index) const;
  void SetItems(int index, void* item);
  void* operator[](int index) const { return Items(index); }
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void Clear() { FItems.clear(); }
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Pack();  // drops nil entries
  void Sort(TListSortCompare compare);
  void** List() { return FItems.data(); }

 private:
  void CheckIndex(int index) const;
  std::vector<void*> FItems;
};

// List of strings. Text() joins with CR LF; SetText splits at CR LF, CR or LF.
// Names/Values work on "name=value" lines, names compared without case.
class TStringList {
 public:
  int Add(const std::string& s);
  void Insert(int index, const std::string& s);
  void Delete(int index);
  void Clear() { FStrings.clear(); }
  int Count() const { return static_cast<int>(FStrings.size()); }
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& s);
  const std::string& operator[](int index) const { return Strings(index); }
  int IndexOf(const std::string& s) const;  // case-insensitive, -1 if absent
  std::string Text() const;
  void SetText(const std::string& text);
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name) const;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void Assign(const TStringList& other) { FStrings = other.FStrings; }

  std::string Names(int index) const;   // part before the first "=", or ""
  std::string ValueFromIndex(int index) const;
  std::string Values(const std::string& name) const;  // "" when absent
  void SetValues(const std::string& name, const std::string& value);
  int IndexOfName(const std::string& name) const;

  const std::vector<std::string>& Vector() const { return FStrings; }

 private:
  void CheckIndex(int index) const;
  std::vector<std::string> FStrings;
};
