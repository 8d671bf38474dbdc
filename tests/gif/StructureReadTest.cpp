// Reading a document's structure: signature rules, blocks between frames,
// frames without image, extension blocks of every kind, the trailer, and
// the errors and warnings on damaged input. One row per case.
#include <gtest/gtest.h>

#include <functional>

#include "gif/GIFImage.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

// Screen 1 x 1 with a 2-entry global table (black, white).
const Bytes kHeader = Cat({Str("GIF89a"), {0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00}, {0, 0, 0, 0xFF, 0xFF, 0xFF}});
// A 1 x 1 frame of pixel 0: descriptor, then code size 2 and one sub-block.
const Bytes kFrame = {0x2C, 0, 0, 0, 0, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00};
const Bytes kTrailer = {0x3B};
const Bytes kGCE = {0x21, 0xF9, 0x04, 0x04, 0x05, 0x00, 0x00, 0x00};  // delay 5, disposal 1
const Bytes kComment = {0x21, 0xFE, 0x02, 'h', 'i', 0x00};
const Bytes kLoopHead = Cat({{0x21, 0xFF, 0x0B}, Str("NETSCAPE2.0")});

struct ReadCase {
  const char* name;
  Bytes file;
  std::string error;                  // empty: loads
  std::vector<std::string> warnings;  // in order
  int frames;                         // frames in the document afterwards
  std::function<void(TGIFImage&)> check;
};

std::vector<ReadCase> Cases() {
  return {
      {"plain", Cat({kHeader, kFrame, kTrailer}), "", {}, 1, nullptr},
      {"four bytes before the signature", Cat({{0x00, 0x00, 0x01, 0x2A}, kHeader, kFrame, kTrailer}), "", {}, 1,
       nullptr},
      {"lower-case signature", Cat({Str("gif89a"), Bytes(kHeader.begin() + 6, kHeader.end()), kFrame, kTrailer}), "",
       {}, 1, nullptr},
      {"version not examined", Cat({Str("GIF12x"), Bytes(kHeader.begin() + 6, kHeader.end()), kFrame, kTrailer}),
       "", {}, 1, nullptr},
      {"J instead of G", Cat({Str("JIF89a"), Bytes(kHeader.begin() + 6, kHeader.end()), kFrame, kTrailer}),
       gifmsg::BadSignature, {}, 0, nullptr},
      {"shorter than 10 bytes without signature", Str("JIF89a\x01"), gifmsg::OutOfData, {}, 0, nullptr},
      {"no trailer", Cat({kHeader, kFrame}), "", {}, 1, nullptr},
      {"zero bytes between frames", Cat({kHeader, kFrame, {0, 0, 0}, kFrame, {0}, kTrailer}), "", {}, 2, nullptr},
      {"extensions then a frame", Cat({kHeader, kLoopHead, {0x03, 0x01, 0x07, 0x00, 0x00}, kGCE, kFrame, kTrailer}),
       "", {}, 1,
       [](TGIFImage& d) {
         TGIFSubImage* f = d.Images()[0];
         ASSERT_EQ(f->Extensions().Count(), 2);
         auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(f->Extensions()[0]);
         ASSERT_NE(loop, nullptr);
         EXPECT_EQ(loop->Loops(), 7);
         ASSERT_NE(f->GraphicControlExtension(), nullptr);
         EXPECT_EQ(f->GraphicControlExtension()->Delay(), 5);
         EXPECT_EQ(f->GraphicControlExtension()->Disposal(), dmNoDisposal);
       }},
      {"zero between extensions and image",
       Cat({kHeader, kGCE, {0x00}, kFrame, kTrailer}), "", {gifmsg::BadExtensionLabel}, 2,
       [](TGIFImage& d) {
         EXPECT_TRUE(d.Images()[0]->Empty());
         EXPECT_EQ(d.Images()[0]->Extensions().Count(), 1);
         EXPECT_FALSE(d.Images()[1]->Empty());
         EXPECT_EQ(d.Images()[1]->Extensions().Count(), 0);
       }},
      {"comment after the last image", Cat({kHeader, kFrame, kComment, kTrailer}), "", {}, 2,
       [](TGIFImage& d) {
         TGIFSubImage* f = d.Images()[1];
         EXPECT_TRUE(f->Empty());
         ASSERT_EQ(f->Extensions().Count(), 1);
         auto* c = dynamic_cast<TGIFCommentExtension*>(f->Extensions()[0]);
         ASSERT_NE(c, nullptr);
         ASSERT_EQ(c->Text().Count(), 1);
         EXPECT_EQ(c->Text()[0], "hi");
       }},
      {"unknown block type", Cat({kHeader, kFrame, {0x99}, kFrame, kTrailer}), "",
       {gifmsg::UnknownBlockType, gifmsg::BadTrailer}, 1, nullptr},
      {"unknown extension label", Cat({kHeader, {0x21, 0x33, 0x01, 0x00, 0x00}, kFrame, kTrailer}),
       gifmsg::UnknownExtension, {}, 0, nullptr},
      {"frame of width 0 takes the screen", Cat({kHeader, {0x2C, 0, 0, 0, 0, 0, 0, 0x01, 0x00, 0x00},
                                                  {0x02, 0x02, 0x44, 0x01, 0x00}, kTrailer}),
       "", {gifmsg::ImageExceedsScreen}, 1,
       [](TGIFImage& d) { EXPECT_EQ(d.Images()[0]->BoundsRect(), Rect(0, 0, 1, 1)); }},
      {"frame beyond the screen kept as is", Cat({kHeader, {0x2C, 5, 0, 0, 0, 3, 0, 1, 0, 0},
                                                   {0x02, 0x02, 0x44, 0x01, 0x00}, kTrailer}),
       "", {}, 1, [](TGIFImage& d) {
         EXPECT_EQ(d.Images()[0]->BoundsRect(), Rect(5, 0, 8, 1));
         EXPECT_EQ(d.Width(), 1);
       }},
      {"global table cut short", Bytes(kHeader.begin(), kHeader.end() - 1), gifmsg::OutOfData, {}, 0, nullptr},
      {"descriptor cut short", Cat({kHeader, Bytes(kFrame.begin(), kFrame.begin() + 6)}), gifmsg::OutOfData, {}, 0,
       nullptr},
      {"local table cut short", Cat({kHeader, {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x81}, {1, 2, 3}}), gifmsg::OutOfData,
       {}, 0, nullptr},
      {"error keeps the frames before it", Cat({kHeader, kFrame, {0x21, 0x33, 0x00}}), gifmsg::UnknownExtension, {},
       1, nullptr},
      {"graphic control cut by the end", Cat({kHeader, kFrame, {0x21, 0xF9, 0x04, 0x01}}), "",
       {gifmsg::OutOfData}, 2, nullptr},
      {"transparent control fills the frame", Cat({kHeader, {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00},
                                                   kFrame, kTrailer}),
       "", {}, 1, [](TGIFImage& d) { EXPECT_TRUE(d.Images()[0]->Transparent()); }},
      {"application block size below 10", Cat({kHeader, {0x21, 0xFF, 0x09}, Str("NETSCAPE2"), {0}, kFrame}),
       gifmsg::BadAppBlockSize, {}, 0, nullptr},
      {"looping sub-block too short", Cat({kHeader, kLoopHead, {0x02, 0x01, 0x00, 0x00}, kFrame}),
       gifmsg::InvalidData, {}, 0, nullptr},
      {"buffering sub-block too short", Cat({kHeader, kLoopHead, {0x04, 0x02, 0x00, 0x00, 0x00, 0x00}, kFrame}),
       gifmsg::InvalidData, {}, 0, nullptr},
      {"looping block with buffer size and an unknown sub-block",
       Cat({kHeader, kLoopHead, {0x03, 0x01, 0x02, 0x00}, {0x05, 0x02, 0x00, 0x10, 0x00, 0x00},
            {0x02, 0x07, 0x55}, {0x00}, kFrame, kTrailer}),
       "", {}, 1, [](TGIFImage& d) {
         auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(d.Images()[0]->Extensions()[0]);
         ASSERT_NE(loop, nullptr);
         EXPECT_EQ(loop->Loops(), 2);
         EXPECT_EQ(loop->BufferSize(), 4096);
       }},
      {"looping block ended by the end of the stream", Cat({kHeader, kFrame, kLoopHead, {0x03, 0x01}}), "", {}, 2,
       nullptr},
      {"looping block ended inside a skipped sub-block", Cat({kHeader, kFrame, kLoopHead, {0x09, 0x07, 0x01}}), "",
       {}, 2, nullptr},
      {"unknown application block ended by the end of the stream",
       Cat({kHeader, kFrame, {0x21, 0xFF, 0x0B}, Str("XYZWVUTS1.0"), {0x02, 0x01, 0x02}}), "", {}, 2,
       [](TGIFImage& d) {
         auto* app = dynamic_cast<TGIFUnknownAppExtension*>(d.Images()[1]->Extensions()[0]);
         ASSERT_NE(app, nullptr);
         EXPECT_EQ(app->Blocks().size(), 1u);
       }},
      {"unknown application sub-block cut short",
       Cat({kHeader, kFrame, {0x21, 0xFF, 0x0B}, Str("XYZWVUTS1.0"), {0x05, 0x01, 0x02}}), gifmsg::OutOfData, {}, 1,
       nullptr},
      {"application block size 10",
       Cat({kHeader, {0x21, 0xFF, 0x0A}, Str("ABCDEFGH12"), {0x01, 0x2A, 0x00}, kFrame, kTrailer}), "", {}, 1,
       [](TGIFImage& d) {
         auto* app = dynamic_cast<TGIFUnknownAppExtension*>(d.Images()[0]->Extensions()[0]);
         ASSERT_NE(app, nullptr);
         EXPECT_EQ(app->IdentifierString(), std::string("ABCDEFGH12\0", 11));
       }},
      {"oversized application block read as unregistered",
       Cat({kHeader, {0x21, 0xFF, 0x0D}, Str("NETSCAPE2.0xy"), {0x03, 0x01, 0x05, 0x00, 0x00}, kFrame, kTrailer}),
       "", {}, 1, [](TGIFImage& d) {
         auto* app = dynamic_cast<TGIFUnknownAppExtension*>(d.Images()[0]->Extensions()[0]);
         ASSERT_NE(app, nullptr);
         EXPECT_EQ(app->IdentifierString(), "NETSCAPE2.0");
         ASSERT_EQ(app->Blocks().size(), 1u);
         EXPECT_EQ(app->Blocks()[0]->Size(), 3);
       }},
      {"animation extension block is a looping block",
       Cat({kHeader, {0x21, 0xFF, 0x0B}, Str("ANIMEXTS1.0"), {0x03, 0x01, 0x03, 0x00, 0x00}, kFrame, kTrailer}), "",
       {}, 1, [](TGIFImage& d) {
         auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(d.Images()[0]->Extensions()[0]);
         ASSERT_NE(loop, nullptr);
         EXPECT_EQ(loop->Loops(), 3);
         EXPECT_EQ(loop->IdentifierString(), "ANIMEXTS1.0");
       }},
  };
}

TEST(StructureRead, Cases) {
  for (const ReadCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    TGIFImage doc;
    Warnings w(doc);
    TMemoryStream s;
    Fill(s, c.file);
    if (c.error.empty()) {
      try {
        doc.LoadFromStream(s);
      } catch (const Exception& e) {
        ADD_FAILURE() << "have error \"" << e.Message() << "\", want none";
        continue;
      }
    } else {
      ExpectError<GIFException>([&] { doc.LoadFromStream(s); }, c.error);
      EXPECT_EQ(s.Position(), 0) << "stream position not restored";
    }
    EXPECT_EQ(w.Messages(), c.warnings);
    EXPECT_EQ(doc.Images().Count(), c.frames);
    if (c.check && doc.Images().Count() == c.frames) c.check(doc);
  }
}

// Blocks keep their place and their bytes through a load and a save.
TEST(StructureRead, BlocksSurviveALoadAndSave) {
  const Bytes unknownApp = Cat({{0x21, 0xFF, 0x0B}, Str("XYZWVUTS1.0"), {0x03, 0x09, 0x08, 0x07}, {0x01, 0x42}, {0}});
  const Bytes anim = Cat({{0x21, 0xFF, 0x0B}, Str("ANIMEXTS1.0"), {0x03, 0x01, 0x00, 0x00, 0x00}});
  const Bytes file = Cat({kHeader, anim, unknownApp, kGCE, kFrame, kComment, kTrailer});
  TGIFImage doc;
  TMemoryStream s;
  Fill(s, file);
  doc.LoadFromStream(s);
  ASSERT_EQ(doc.Images().Count(), 2);
  const Bytes have = SaveBytes(doc);
  // The screen packed byte is recomputed (colour resolution 0 for two
  // colours), everything else comes back byte for byte.
  Bytes want = file;
  want[10] = 0x80;
  EXPECT_EQ(have, want);
}

TEST(StructureRead, ApplicationBlockOfSize10IsWrittenBackWithSize11) {
  const Bytes file = Cat({kHeader, {0x21, 0xFF, 0x0A}, Str("ABCDEFGH12"), {0x01, 0x2A, 0x00}, kFrame, kTrailer});
  TGIFImage doc;
  TMemoryStream s;
  Fill(s, file);
  doc.LoadFromStream(s);
  const Bytes want = Cat({Bytes(kHeader.begin(), kHeader.end()), {0x21, 0xFF, 0x0B}, Str("ABCDEFGH12"), {0x00},
                          {0x01, 0x2A, 0x00}, kFrame, kTrailer});
  EXPECT_EQ(SaveBytes(doc), want);
}

TEST(StructureRead, LoadingClearsButKeepsNothingFromBefore) {
  TGIFImage doc;
  AddFrame(doc, 3, 3, {clRed, clBlue});
  TMemoryStream s;
  Fill(s, Cat({kHeader, kFrame, kTrailer}));
  doc.LoadFromStream(s);
  EXPECT_EQ(doc.Images().Count(), 1);
  EXPECT_EQ(doc.Width(), 1);
  EXPECT_EQ(doc.GlobalColorMap().Count(), 2);
}

TEST(StructureRead, ProgressStages) {
  TGIFImage doc;
  struct Call {
    void* sender;
    TProgressStage stage;
    int percent;
    bool redraw;
    std::string msg;
  };
  std::vector<Call> calls;
  doc.OnProgress = [&](void* sender, TProgressStage stage, uint8_t pct, bool redraw, const TRect& r,
                       const std::string& msg) {
    EXPECT_EQ(r, Rect(0, 0, 0, 0));
    calls.push_back({sender, stage, pct, redraw, msg});
  };
  AddFrame(doc, 1, 1, {clBlack, clWhite});
  AddFrame(doc, 1, 1, {clBlack, clWhite});
  TMemoryStream s;
  doc.SaveToStream(s);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].sender, &doc);
  EXPECT_EQ(calls[0].stage, psStarting);
  EXPECT_EQ(calls[0].msg, gifmsg::ProgressSaving);
  EXPECT_EQ(calls[1].sender, &doc.Images());
  EXPECT_EQ(calls[1].percent, 50);
  EXPECT_EQ(calls[2].percent, 100);
  EXPECT_EQ(calls[3].stage, psEnding);
  EXPECT_EQ(calls[3].percent, 100);
  EXPECT_TRUE(calls[3].redraw);

  calls.clear();
  s.SetPosition(0);
  doc.LoadFromStream(s);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].msg, gifmsg::ProgressLoading);
  EXPECT_EQ(calls[1].stage, psRunning);
  EXPECT_EQ(calls[1].sender, &doc.Images());
  EXPECT_EQ(calls[2].percent, MulDiv(static_cast<int>(s.Size() - 1), 100, static_cast<int>(s.Size())));
  EXPECT_EQ(calls[3].stage, psEnding);
  EXPECT_EQ(calls[3].percent, 100);

  // An error ends the progress at 0 %.
  calls.clear();
  TGIFImage empty;
  empty.OnProgress = doc.OnProgress;
  EXPECT_THROW(empty.SaveToStream(s), GIFException);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].stage, psEnding);
  EXPECT_EQ(calls[1].percent, 0);
}

// Every truncation of a valid file ends in a document or a clear error.
TEST(StructureRead, EveryTruncationEndsCleanly) {
  const Bytes file = Cat({kHeader, kLoopHead, {0x03, 0x01, 0x00, 0x00, 0x00}, kGCE, kFrame, kComment,
                          {0x21, 0x01, 0x0C}, Bytes(12, 0), {0x01, 'x', 0x00}, kFrame, kTrailer});
  for (size_t n = 0; n <= file.size(); ++n) {
    SCOPED_TRACE(n);
    TGIFImage doc;
    TMemoryStream s;
    Fill(s, Bytes(file.begin(), file.begin() + static_cast<long>(n)));
    try {
      doc.LoadFromStream(s);
    } catch (const GIFException&) {
    }
  }
}

// Every byte of a valid file replaced by values that matter to the block
// structure: each case ends in a document or in a clear error.
TEST(StructureRead, EveryByteReplacedEndsCleanly) {
  const Bytes file = Cat({kHeader, kLoopHead, {0x03, 0x01, 0x00, 0x00, 0x00}, kGCE, kFrame, kComment,
                          {0x21, 0xFF, 0x0B}, Str("XYZWVUTS1.0"), {0x01, 0x42, 0x00}, kFrame, kTrailer});
  const uint8_t values[] = {0x00, 0x01, 0x0A, 0x0B, 0x21, 0x2C, 0x3B, 0x7F, 0xF9, 0xFE, 0xFF};
  int loaded = 0, failed = 0;
  for (size_t i = 0; i < file.size(); ++i) {
    for (uint8_t v : values) {
      Bytes damaged = file;
      damaged[i] = v;
      TGIFImage doc;
      TMemoryStream s;
      Fill(s, damaged);
      try {
        doc.LoadFromStream(s);
        ++loaded;
        TMemoryStream out;
        if (!doc.Empty() && doc.Version() > 0) doc.SaveToStream(out);
      } catch (const Exception& e) {
        ++failed;
        EXPECT_FALSE(e.Message().empty());
      }
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(failed, 0);
}

}  // namespace
