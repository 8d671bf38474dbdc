// Streams, the pointer list's quicksort and the string list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/Classes.h"

namespace {

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("kl_platform_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

// ---------------------------------------------------------------- streams

TEST(MemoryStream, ReadWriteSeekAndExactReads) {
  TMemoryStream m;
  const char text[] = "hello world";
  m.WriteBuffer(text, 11);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Position(), 11);
  m.SetPosition(6);
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 100), 5);  // short read returns what is there
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(m.Read(buf, 1), 0);
  m.Seek(-5, soEnd);
  EXPECT_EQ(m.Position(), 6);
  m.Seek(-1, soCurrent);
  EXPECT_EQ(m.Position(), 5);
  EXPECT_THROW(m.Seek(-6, soCurrent), EStreamError);
  // Exact read past the end: EReadError.
  m.SetPosition(8);
  EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
  // Writing past the end fills the gap with zeros.
  m.SetPosition(13);
  m.WriteBuffer("!", 1);
  ASSERT_EQ(m.Size(), 14);
  EXPECT_EQ(m.Memory()[11], 0);
  EXPECT_EQ(m.Memory()[12], 0);
  EXPECT_EQ(m.Memory()[13], '!');
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(m.Memory()), 3), "hel");
}

TEST(FileStream, ErrorsNameTheFile) {
  const std::string missing = TempPath("does_not_exist/x.bin");
  try {
    TFileStream f(missing, fmOpenRead);
    ADD_FAILURE() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("Cannot open file \"" + missing + "\""), std::string::npos) << e.Message();
  }
  try {
    TFileStream f(missing, fmCreate);
    ADD_FAILURE() << "created a file in a missing folder";
  } catch (const EFCreateError& e) {
    EXPECT_NE(e.Message().find("Cannot create file \"" + missing + "\""), std::string::npos) << e.Message();
  }
  const std::string dir = std::filesystem::temp_directory_path().string();
  EXPECT_THROW(TFileStream(dir, fmOpenRead), EFOpenError);
  // Share flags or-ed into fmCreate still create (and truncate) the file.
  const std::string name = TempPath("shared.bin");
  {
    TFileStream f(name, fmCreate | fmShareExclusive);
    f.WriteBuffer("abc", 3);
  }
  {
    TFileStream f(name, fmCreate | fmShareDenyWrite);
    EXPECT_EQ(f.Size(), 0);
  }
  std::remove(name.c_str());
}

TEST(FileStream, ByteAtATimeMixedWithSeeksMatchesTheFile) {
  const std::string name = TempPath("bytes.bin");
  std::vector<uint8_t> data(200000);
  std::mt19937 rng(7);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  {
    TFileStream f(name, fmCreate);
    // Small and large writes cross the buffer boundary in both ways.
    f.WriteBuffer(data.data(), 1);
    f.WriteBuffer(data.data() + 1, 100000);
    for (size_t i = 100001; i < 100100; ++i) f.WriteBuffer(&data[i], 1);
    f.WriteBuffer(data.data() + 100100, static_cast<int64_t>(data.size()) - 100100);
    EXPECT_EQ(f.Size(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(f.Position(), static_cast<int64_t>(data.size()));
    f.Flush();
  }
  TFileStream f(name, fmOpenReadWrite);
  EXPECT_EQ(f.Size(), static_cast<int64_t>(data.size()));
  for (size_t i = 0; i < 70000; ++i) {
    uint8_t b;
    f.ReadBuffer(&b, 1);
    ASSERT_EQ(b, data[i]) << "byte " << i;
  }
  EXPECT_EQ(f.Position(), 70000);
  f.Seek(-10, soCurrent);
  uint8_t b10[10];
  f.ReadBuffer(b10, 10);
  EXPECT_TRUE(std::equal(b10, b10 + 10, data.begin() + 69990));
  // Overwrite in the middle after reading, then read on.
  const uint8_t patch[3] = {1, 2, 3};
  f.WriteBuffer(patch, 3);
  data[70000] = 1, data[70001] = 2, data[70002] = 3;
  uint8_t next;
  f.ReadBuffer(&next, 1);
  EXPECT_EQ(next, data[70003]);
  f.SetPosition(69999);
  uint8_t four[4];
  f.ReadBuffer(four, 4);
  EXPECT_TRUE(std::equal(four, four + 4, data.begin() + 69999));
  f.Seek(-1, soEnd);
  f.ReadBuffer(&next, 1);
  EXPECT_EQ(next, data.back());
  EXPECT_THROW(f.ReadBuffer(&next, 1), EReadError);
  std::remove(name.c_str());
}

TEST(Stream, CopyFromAndMemoryFileRoundTrip) {
  TMemoryStream a;
  std::string text(100000, 'x');
  for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  a.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  TMemoryStream b;
  EXPECT_EQ(b.CopyFrom(a, 0), static_cast<int64_t>(text.size()));  // 0 = everything
  ASSERT_EQ(b.Size(), a.Size());
  EXPECT_EQ(std::memcmp(a.Memory(), b.Memory(), text.size()), 0);
  a.SetPosition(99990);
  EXPECT_THROW(b.CopyFrom(a, 11), EReadError);

  const std::string name = TempPath("mem.bin");
  b.SaveToFile(name);
  TMemoryStream c;
  c.LoadFromFile(name);
  ASSERT_EQ(c.Size(), b.Size());
  EXPECT_EQ(std::memcmp(c.Memory(), b.Memory(), text.size()), 0);
  EXPECT_EQ(c.Position(), 0);
  std::remove(name.c_str());
}

// ------------------------------------------------------------------ TList

struct Item {
  int key;
  int id;
};

int ByKeyDescending(void* a, void* b) { return static_cast<Item*>(b)->key - static_cast<Item*>(a)->key; }

// The sort as described step by step, written independently of QuickSort
// (both halves by recursion), to pin the order of equal elements.
void ReferenceSort(std::vector<Item*>& v, int L, int R) {
  int I = L, J = R;
  Item* P = v[static_cast<size_t>((L + R) / 2)];
  while (true) {
    while (ByKeyDescending(v[static_cast<size_t>(I)], P) < 0) I = I + 1;
    while (ByKeyDescending(v[static_cast<size_t>(J)], P) > 0) J = J - 1;
    if (I <= J) {
      std::swap(v[static_cast<size_t>(I)], v[static_cast<size_t>(J)]);
      I = I + 1;
      J = J - 1;
    }
    if (!(I <= J)) break;
  }
  if (L < J) ReferenceSort(v, L, J);
  if (I < R) ReferenceSort(v, I, R);
}

std::vector<int> Ids(const TList& list) {
  std::vector<int> ids;
  for (int i = 0; i < list.Count(); ++i) ids.push_back(static_cast<Item*>(list[i])->id);
  return ids;
}

TEST(ListSort, TieOrderWorkedByHand) {
  // Keys 1, 2, 1, 2 (ids 0..3) sorted most first. Pivot is element 1 (key 2);
  // the first pass swaps elements 0 and 3 (ids 3 1 2 0), then the right part
  // [2..3] swaps its two equal keys: ids 3, 1, 0, 2. A stable sort would give
  // 1, 3, 0, 2.
  Item items[] = {{1, 0}, {2, 1}, {1, 2}, {2, 3}};
  TList list;
  for (auto& it : items) list.Add(&it);
  list.Sort(ByKeyDescending);
  EXPECT_EQ(Ids(list), (std::vector<int>{3, 1, 0, 2}));
}

TEST(ListSort, MatchesTheProcedureOnManyInputsWithTies) {
  std::mt19937 rng(42);
  for (int round = 0; round < 500; ++round) {
    const int n = 1 + static_cast<int>(rng() % 40);
    const int keys = 1 + static_cast<int>(rng() % 6);  // few keys: many ties
    std::vector<Item> items(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) items[static_cast<size_t>(i)] = {static_cast<int>(rng() % keys), i};
    TList list;
    std::vector<Item*> ref;
    for (auto& it : items) {
      list.Add(&it);
      ref.push_back(&it);
    }
    list.Sort(ByKeyDescending);
    ReferenceSort(ref, 0, n - 1);
    std::vector<int> want;
    for (Item* p : ref) want.push_back(p->id);
    SCOPED_TRACE(testing::Message() << "round " << round << ", n " << n);
    ASSERT_EQ(Ids(list), want);
    for (int i = 1; i < n; ++i)
      ASSERT_GE(static_cast<Item*>(list[i - 1])->key, static_cast<Item*>(list[i])->key);
  }
}

TEST(ListSort, TemplateOnTypedArraysAndInconsistentComparisonStaysInBounds) {
  int a[] = {5, 3, 9, 1, 3, 7};
  QuickSort(a, 0, 5, [](int x, int y) { return x - y; });
  EXPECT_EQ(std::vector<int>(a, a + 6), (std::vector<int>{1, 3, 3, 5, 7, 9}));
  // A comparison that always says "less" must not walk off the array.
  int b[] = {1, 2, 3, 4, 5, 6, 7, 8};
  QuickSort(b, 0, 7, [](int, int) { return -1; });
  std::sort(b, b + 8);
  EXPECT_EQ(std::vector<int>(b, b + 8), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(List, EditingAndIndexErrors) {
  int v[4];
  TList l;
  l.Add(&v[0]);
  l.Add(&v[1]);
  l.Insert(0, &v[2]);
  l.Insert(3, &v[3]);
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l[0], &v[2]);
  EXPECT_EQ(l.IndexOf(&v[1]), 2);
  l.Move(0, 3);  // v0 v1 v3 v2
  EXPECT_EQ(l[3], &v[2]);
  l.Exchange(0, 1);  // v1 v0 v3 v2
  EXPECT_EQ(l[0], &v[1]);
  EXPECT_EQ(l.Remove(&v[3]), 2);
  EXPECT_EQ(l.Remove(&v[3]), -1);
  EXPECT_EQ(l.Count(), 3);
  try {
    l.Items(3);
    ADD_FAILURE();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(l.Delete(-1), EListError);
  EXPECT_THROW(l.Insert(5, nullptr), EListError);
  l.Add(nullptr);
  l.Pack();
  EXPECT_EQ(l.Count(), 3);
}

// ------------------------------------------------------------ TStringList

TEST(StringList, TextSplitsOnAnyLineBreakAndJoinsWithCrLf) {
  TStringList s;
  s.SetText("a\r\nb\nc\rd");
  ASSERT_EQ(s.Count(), 4);
  EXPECT_EQ(s[3], "d");
  EXPECT_EQ(s.Text(), "a\r\nb\r\nc\r\nd\r\n");
  s.SetText("x\r\n\r\ny\r\n");  // empty middle line kept; final break adds none
  ASSERT_EQ(s.Count(), 3);
  EXPECT_EQ(s[1], "");
  s.SetText("");
  EXPECT_EQ(s.Count(), 0);
  EXPECT_EQ(s.Text(), "");
}

TEST(StringList, NamesValuesAndFiles) {
  TStringList s;
  s.Add("Width=757");
  s.Add("Font=Arial=Bold");
  s.Add("plain");
  EXPECT_EQ(s.Values("width"), "757");  // names compare without case
  EXPECT_EQ(s.Values("Font"), "Arial=Bold");
  EXPECT_EQ(s.Values("plain"), "");
  EXPECT_EQ(s.Names(1), "Font");
  EXPECT_EQ(s.Names(2), "");
  s.SetValues("Height", "90");
  EXPECT_EQ(s[3], "Height=90");
  s.SetValues("WIDTH", "100");
  EXPECT_EQ(s[0], "WIDTH=100");
  s.SetValues("Height", "");
  EXPECT_EQ(s.IndexOfName("Height"), -1);
  EXPECT_EQ(s.IndexOf("PLAIN"), 2);

  const std::string name = TempPath("strings.txt");
  s.Add("Ünïcode ✓");
  s.SaveToFile(name);
  TStringList t;
  t.LoadFromFile(name);
  EXPECT_EQ(t.Text(), s.Text());
  {  // a UTF-8 byte order mark is not text
    TFileStream f(name, fmCreate);
    f.WriteBuffer("\xEF\xBB\xBFone\ntwo", 10);
    f.Flush();
  }
  t.LoadFromFile(name);
  ASSERT_EQ(t.Count(), 2);
  EXPECT_EQ(t[0], "one");
  std::remove(name.c_str());
  EXPECT_THROW(t.LoadFromFile(name), EFOpenError);
  EXPECT_THROW(t.Strings(5), EListError);
}

}  // namespace
