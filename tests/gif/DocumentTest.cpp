// The document model: defaults, frames and the logical screen, pixel access,
// ownership, copies, palettes and saving to a file.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "gif/GIFImage.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

TEST(Document, NewDocumentHasTheDefaults) {
  TGIFImage doc;
  EXPECT_TRUE(doc.Empty());
  EXPECT_EQ(doc.Images().Count(), 0);
  EXPECT_EQ(doc.Width(), 0);
  EXPECT_EQ(doc.Height(), 0);
  EXPECT_EQ(doc.Version(), 0);
  EXPECT_EQ(doc.DrawOptions(), 0x060F);
  EXPECT_EQ(doc.ColorReduction(), ReduceNetscape216);
  EXPECT_EQ(doc.ReductionBits(), 8);
  EXPECT_EQ(doc.DitherMode(), DitherNone);
  EXPECT_EQ(doc.Compression(), gcLZW);
  EXPECT_EQ(doc.ThreadPriority(), 3);
  EXPECT_EQ(doc.AnimationSpeed(), 100);
  EXPECT_EQ(doc.BackgroundColor(), clNone);
  EXPECT_FALSE(doc.UsesFixedPalette());  // bit 10: only on palette screens
}

TBitmap Solid(int w, int h, TColor c) {
  TBitmap b(w, h, pf24bit);
  b.Canvas().Brush().SetColor(c);
  b.Canvas().FillRect(Rect(0, 0, w, h));
  return b;
}

TEST(Document, AddedBitmapsGrowTheScreen) {
  TGIFImage doc;
  Warnings w(doc);
  int changes = 0;
  doc.OnChange = [&](void* sender) {
    EXPECT_EQ(sender, &doc);
    ++changes;
  };
  EXPECT_EQ(doc.Add(Solid(100, 50, clRed)), 0);
  EXPECT_EQ(doc.Width(), 100);
  EXPECT_EQ(doc.Height(), 50);
  EXPECT_TRUE(w.List.empty());
  EXPECT_GT(changes, 0);
  EXPECT_EQ(doc.Add(Solid(120, 40, clBlue)), 1);
  EXPECT_EQ(doc.Width(), 120);
  EXPECT_EQ(doc.Height(), 50);
  EXPECT_EQ(w.Messages(), (std::vector<std::string>{gifmsg::BadWidth, gifmsg::ImageExceedsScreen}));
  EXPECT_EQ(w.List[0].first, doc.Images()[1]);
}

TEST(Document, ScreenSmallerThanAFrameIsRefused) {
  TGIFImage doc;
  AddFrame(doc, 10, 8, {clBlack, clWhite}, {}, 5, 2);
  ExpectError<GIFException>([&] { doc.SetWidth(14); }, gifmsg::BadWidth);
  ExpectError<GIFException>([&] { doc.SetHeight(9); }, gifmsg::BadHeight);
  EXPECT_EQ(doc.Width(), 15);
  EXPECT_EQ(doc.Height(), 10);
  doc.SetWidth(30);
  EXPECT_EQ(doc.Width(), 30);
}

TEST(Document, FrameSizeChangeRenewsThePixels) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 4, 3, {clBlack, clWhite}, Bytes(12, 1));
  f->SetLeft(2);  // moving keeps the pixels
  EXPECT_EQ(f->Pixels(0, 0), 1);
  f->SetWidth(5);
  EXPECT_EQ(f->DataSize(), 15);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(f->Data()[i], 0);
}

TEST(Document, PixelAccessChecksCoordinates) {
  TGIFImage doc;
  Bytes px(20);
  px[15] = 7;  // (0, 3): bottom-left of a 5 x 4 frame
  TGIFSubImage* f = AddFrame(doc, 5, 4, std::vector<TColor>(8, clBlack), px);
  EXPECT_EQ(f->Pixels(0, 3), 7);
  ExpectError<GIFException>([&] { f->Pixels(5, 0); }, gifmsg::BadPixelCoordinates);
  ExpectError<GIFException>([&] { f->Pixels(0, -1); }, gifmsg::BadPixelCoordinates);
  ExpectError<GIFException>([&] { f->Scanline(4); }, gifmsg::BadPixelCoordinates);
  TGIFSubImage empty(&doc);
  ExpectError<GIFException>([&] { empty.NeedImage(); }, gifmsg::EmptyImage);
}

TEST(Document, FreeingAnItemTakesItOutOfItsList) {
  TGIFImage doc;
  AddFrame(doc, 1, 1, {clBlack, clWhite});
  TGIFSubImage* f = AddFrame(doc, 1, 1, {clBlack, clWhite});
  AddFrame(doc, 1, 1, {clBlack, clWhite});
  delete f;
  EXPECT_EQ(doc.Images().Count(), 2);
  EXPECT_EQ(doc.Images().IndexOf(f), -1);
  doc.Images().Delete(0);
  EXPECT_EQ(doc.Images().Count(), 1);
  std::unique_ptr<TGIFItem> taken = doc.Images().Remove(doc.Images()[0]);
  EXPECT_EQ(doc.Images().Count(), 0);
  EXPECT_NE(taken, nullptr);
  EXPECT_THROW(doc.Images().Items(0), EListError);
}

TEST(Document, ClearKeepsBackgroundIndexAndAspectRatio) {
  TGIFImage doc;
  const Bytes file = Cat({Str("GIF89a"), {0x01, 0x00, 0x01, 0x00, 0x80, 0x01, 0x31}, {0, 0, 0, 0xFF, 0xFF, 0xFF},
                          {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B}});
  TMemoryStream s;
  Fill(s, file);
  doc.LoadFromStream(s);
  doc.Clear();
  EXPECT_TRUE(doc.Empty());
  EXPECT_EQ(doc.Width(), 0);
  EXPECT_EQ(doc.GlobalColorMap().Count(), 0);
  EXPECT_EQ(doc.Header().BackgroundColorIndex(), 1);
  EXPECT_EQ(doc.Header().AspectRatio(), 0x31);
}

TEST(Document, PaletteNeedsSomeColours) {
  TGIFImage doc;
  EXPECT_EQ(doc.Palette(), nullptr);
  AddFrame(doc, 1, 1, {});
  ExpectError<GIFException>([&] { doc.Palette(); }, gifmsg::NoColorTable);
  ExpectError<GIFException>([&] { doc.Images()[0]->Palette(); }, gifmsg::NoColorTable);
  // Frame 0's colours stand in for a missing global map.
  doc.Images()[0]->ColorMap().Add(clRed);
  ASSERT_NE(doc.Palette(), nullptr);
  EXPECT_EQ(doc.Palette()->Count(), 1);
  // The fixed cube on palette screens.
  PaletteDevice = true;
  EXPECT_TRUE(doc.UsesFixedPalette());
  doc.SetPalette(nullptr);
  TGIFSubImage* g = AddFrame(doc, 1, 1, {clBlue});
  EXPECT_EQ(g->Palette()->Count(), 216);
  PaletteDevice = false;
}

TEST(Document, FrameCopyIsDeep) {
  TGIFImage doc;
  TGIFSubImage* src = AddFrame(doc, 3, 2, {clRed, clLime, clBlue}, {0, 1, 2, 2, 1, 0}, 4, 5);
  src->SetInterlaced(true);
  auto* gce = new TGIFGraphicControlExtension(src);
  src->Extensions().Add(gce);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(2);
  gce->SetDelay(9);
  auto* c = new TGIFCommentExtension(src);
  c->Text().Add("x");
  src->Extensions().Add(c);

  TGIFSubImage copy(&doc);
  copy.Assign(src);
  EXPECT_EQ(copy.BoundsRect(), src->BoundsRect());
  EXPECT_TRUE(copy.Interlaced());
  EXPECT_TRUE(copy.Transparent());
  EXPECT_EQ(Bytes(copy.Data(), copy.Data() + 6), Bytes(src->Data(), src->Data() + 6));
  EXPECT_EQ(copy.ColorMap().Count(), 3);
  ASSERT_EQ(copy.Extensions().Count(), 2);
  EXPECT_NE(copy.Extensions()[0], src->Extensions()[0]);
  ASSERT_NE(copy.GraphicControlExtension(), nullptr);
  EXPECT_NE(copy.GraphicControlExtension(), gce);
  EXPECT_EQ(copy.GraphicControlExtension()->Delay(), 9);
  EXPECT_EQ(copy.GraphicControlExtension()->TransparentColorIndex(), 2);
}

TEST(Document, DocumentCopyKeepsItsOwnHandlers) {
  TGIFImage src;
  AddFrame(src, 3, 2, {clRed, clLime}, {0, 1, 1, 0, 0, 1});
  AddFrame(src, 2, 2, {clRed, clLime}, {1, 1, 1, 1});
  src.SetReductionBits(3);
  src.SetDitherMode(DitherBurkes);
  int sourceReports = 0;
  src.OnProgress = [&](void*, TProgressStage, uint8_t, bool, const TRect&, const std::string& msg) {
    EXPECT_EQ(msg, gifmsg::ProgressCopying);
    ++sourceReports;
  };
  TGIFImage dst;
  int ownWarnings = 0;
  dst.OnWarning = [&](void*, int, const std::string&) { ++ownWarnings; };
  dst.Assign(&src);
  EXPECT_EQ(dst.Images().Count(), 2);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(dst.DitherMode(), DitherBurkes);
  EXPECT_EQ(dst.ReductionBits(), 8);  // not copied
  EXPECT_EQ(sourceReports, 4);        // start, two frames, end
  ASSERT_TRUE(static_cast<bool>(dst.OnWarning));
  EXPECT_FALSE(static_cast<bool>(dst.OnProgress));
  dst.Images()[0]->ColorMap().Colors(9);
  EXPECT_EQ(ownWarnings, 1);
  src.OnProgress = nullptr;
  EXPECT_EQ(SaveBytes(dst), SaveBytes(src));
}

// --- Saving to a file

std::string TempDir() {
  char tmpl[] = "/tmp/gifdocXXXXXX";
  return mkdtemp(tmpl);
}

std::vector<std::string> DirEntries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(DocumentFile, SaveReplacesTheFileWhole) {
  const std::string dir = TempDir();
  const std::string path = dir + "/out.gif";
  { std::ofstream(path) << "old contents"; }
  chmod(path.c_str(), 0640);
  TGIFImage doc;
  AddFrame(doc, 2, 2, {clBlack, clWhite}, {0, 1, 1, 0});
  doc.SaveToFile(path);
  const Bytes want = SaveBytes(doc);
  EXPECT_EQ(ReadFile(path), std::string(want.begin(), want.end()));
  EXPECT_EQ(DirEntries(dir), std::vector<std::string>{"out.gif"});
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  TGIFImage back;
  back.LoadFromFile(path);
  EXPECT_EQ(SaveBytes(back), want);
  unlink(path.c_str());
  rmdir(dir.c_str());
}

TEST(DocumentFile, FailedSaveLeavesTheOldFileAndNoTemporary) {
  const std::string dir = TempDir();
  const std::string path = dir + "/keep.gif";
  { std::ofstream(path) << "precious"; }
  TGIFImage empty;
  ExpectError<GIFException>([&] { empty.SaveToFile(path); }, gifmsg::BadVersion);
  EXPECT_EQ(ReadFile(path), "precious");
  EXPECT_EQ(DirEntries(dir), std::vector<std::string>{"keep.gif"});

  // A colour outside the table fails half-way through the image data.
  TGIFImage bad;
  AddFrame(bad, 2, 1, {clBlack, clWhite}, {0, 5});
  ExpectError<GIFException>([&] { bad.SaveToFile(path); }, gifmsg::InvalidColor);
  EXPECT_EQ(ReadFile(path), "precious");
  EXPECT_EQ(DirEntries(dir), std::vector<std::string>{"keep.gif"});

  // Without an old file nothing appears at all.
  const std::string fresh = dir + "/new.gif";
  EXPECT_THROW(empty.SaveToFile(fresh), GIFException);
  EXPECT_EQ(DirEntries(dir), std::vector<std::string>{"keep.gif"});
  unlink(path.c_str());
  rmdir(dir.c_str());
}

TEST(DocumentFile, SaveIntoAMissingFolderFails) {
  TGIFImage doc;
  AddFrame(doc, 1, 1, {clBlack, clWhite});
  EXPECT_THROW(doc.SaveToFile("/nonexistent-dir-for-gif-test/x.gif"), EStreamError);
}

}  // namespace
