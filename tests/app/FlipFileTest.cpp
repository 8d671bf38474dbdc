// Flip files: the exact bytes written, what the reader accepts, and that a
// failed load or write loses nothing.
#include <algorithm>
#include <random>

#include "AppFixture.h"
#include "app/FlipFile.h"
#include "app/TextFiles.h"

namespace {

std::string Crlf(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

// The initial window with the lines Hello and World, as saved.
const std::vector<std::string> kHelloWorld = {
    "Alignment=Left", "Interval=50",     "FramesPerLine=14", "HingeSize=2",
    "TimePerLine=1500", "Width=757",     "Height=90",        "Bitmap=",
    "Stretch=False",  "Merge=True",      "Crop=True",        "Pallete=True",
    "BackColor=3684408", "HingeColor=0", "FontColor=54741",  "FontName=Arial",
    "FontSize=48",    "Bold=False",      "Italic=False",     "Underline=False",
    "StrikeOut=False", "Line0=Hello",    "Line1=World",      "Line2=EndOfText"};

// A complete file with the given settings lines replaced or added.
std::string FileWith(const std::vector<std::string>& extra, bool keepBase = true) {
  std::vector<std::string> lines = extra;
  if (keepBase)
    for (const auto& l : kHelloWorld) lines.push_back(l);  // later duplicates lose
  return Crlf(lines);
}

}  // namespace

using FlipFileTest = AppTest;

TEST_F(FlipFileTest, InitialWindowSavesTheWorkedExampleByteForByte) {
  ApplyFields();
  Form->Memo1.SetLines({"Hello", "World"});
  const std::string path = Dir.File("hello.Flp");
  Form->SaveData(path);
  EXPECT_EQ(ReadAll(path), Crlf(kHelloWorld));
  EXPECT_EQ(kHelloWorld.size(), 24u);
}

TEST_F(FlipFileTest, SaveLoadSaveIsIdenticalAndRestoresEveryControl) {
  Form->tbRight.Click();
  Form->Edit1.SetText("70");
  Form->Edit2.SetText("9");
  Form->Edit3.SetText("abc");  // not a number: saved as typed
  Form->Edit4.SetText("2000");
  Form->Edit6.SetText("640.4");
  Form->Edit7.SetText("120");
  Form->cbStretch.SetChecked(true);
  Form->CheckBoxCrop.SetChecked(false);
  Form->FlipLabel2->SetColor(RGBColor(1, 2, 3));
  Form->FlipLabel2->SetHingeColor(clBtnShadow);
  TFont font;
  font.Assign(Form->FlipLabel2->Font());
  font.SetColor(clWindowText);
  font.SetName("DejaVu Sans");
  font.SetSize(30);
  font.SetStyle((1u << fsBold) | (1u << fsUnderline));
  Form->FlipLabel2->Font().Assign(font);
  Form->Memo1.SetLines({"a=b=c", "", "  spaced  ", "Grüße €"});

  const std::string first = Dir.File("first.Flp");
  Form->SaveData(first);
  const std::string bytes = ReadAll(first);
  EXPECT_NE(bytes.find("Alignment=Right\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("HingeColor=-2147483632\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("FontColor=-2147483640\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("Line0=a=b=c\r\nLine1=\r\nLine2=  spaced  \r\n"), std::string::npos);

  Recreate();
  Form->LoadFlipFile(first);
  EXPECT_TRUE(Form->tbRight.Down());
  EXPECT_FALSE(Form->tbLeft.Down());
  EXPECT_EQ(Form->FlipLabel2->Alignment(), taRightJustify);
  EXPECT_EQ(Form->FlipLabel2->Interval(), 70);
  EXPECT_EQ(Form->FlipLabel2->Frames(), 9);
  EXPECT_EQ(Form->FlipLabel2->HingeSize(), 1);  // "abc" left the display alone
  EXPECT_EQ(Form->Timer2.Interval(), 2000);
  EXPECT_EQ(Form->FlipLabel2->Width(), 640);
  EXPECT_EQ(Form->FlipLabel2->Height(), 120);
  EXPECT_TRUE(Form->cbStretch.Checked());
  EXPECT_TRUE(Form->FlipLabel2->Stretch());
  EXPECT_FALSE(Form->CheckBoxCrop.Checked());
  EXPECT_EQ(Form->FlipLabel2->HingeColor(), clBtnShadow);
  EXPECT_EQ(Form->FlipLabel2->Font().Color(), clWindowText);
  EXPECT_EQ(Form->FlipLabel2->Font().Style(), (1u << fsBold) | (1u << fsUnderline));
  EXPECT_EQ(Form->Memo1.Lines(), (std::vector<std::string>{"a=b=c", "", "  spaced  ", "Grüße €"}));
  EXPECT_EQ(Form->FlipFileName, first);
  EXPECT_EQ(Form->Caption(), first + " - Klaptor");
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(2), first);

  const std::string second = Dir.File("second.Flp");
  Form->SaveData(second);
  EXPECT_EQ(ReadAll(second), bytes);
}

TEST_F(FlipFileTest, KeysAreFoundInAnyOrderAndLetterCaseButTrueOnlyAsWritten) {
  const std::string path = Dir.File("mixed.Flp");
  WriteAll(path, Crlf({"line1=second", "FONTSIZE=20", "stretch=true", "merge=TRUE", "Crop=True",
                       "pallete=True", "backcolor=255", "HingeColor=0", "fontcolor=65280",
                       "fontname=DejaVu Sans", "LINE0=first", "alignment=Center", "Line2=EndOfText",
                       "interval=40", "Bold=true", "Italic=True"}));
  Form->LoadFlipFile(path);
  EXPECT_EQ(Form->FlipLabel2->Color(), 255);
  EXPECT_EQ(Form->FlipLabel2->Font().Color(), 65280);
  EXPECT_EQ(Form->FlipLabel2->Font().Size(), 20);
  EXPECT_EQ(Form->FlipLabel2->Font().Name(), "DejaVu Sans");
  EXPECT_EQ(Form->FlipLabel2->Interval(), 40);
  EXPECT_TRUE(Form->tbCenter.Down());
  EXPECT_EQ(Form->FlipLabel2->Alignment(), taCenter);
  EXPECT_FALSE(Form->cbStretch.Checked());
  EXPECT_FALSE(Form->CheckBoxMerge.Checked());
  EXPECT_TRUE(Form->CheckBoxCrop.Checked());
  EXPECT_TRUE(Form->CheckBoxPalette.Checked());
  EXPECT_EQ(Form->FlipLabel2->Font().Style(), 1u << fsItalic);
  EXPECT_EQ(Form->Memo1.Lines(), (std::vector<std::string>{"first", "second"}));
  // Keys that are missing empty their fields; the display keeps its values.
  EXPECT_EQ(Form->Edit2.Text(), "");
  EXPECT_EQ(Form->FlipLabel2->Frames(), 10);
}

TEST_F(FlipFileTest, TextLinesEndAtEndOfTextOrAtTheFirstMissingLine) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {"EndOfText inside the text", {"Line0=a", "Line1=EndOfText", "Line2=c", "Line3=EndOfText"}, {"a"}},
      {"no EndOfText at all", {"Line0=a", "Line1=b", "Line3=d"}, {"a", "b"}},
      {"no lines", {}, {}},
      {"first key wins", {"Line0=a", "LINE0=b", "Line1=EndOfText"}, {"a"}},
      {"EndOfText only exactly", {"Line0=endoftext", "Line1=EndOfText "}, {"endoftext", "EndOfText "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines = {"BackColor=0", "HingeColor=0", "FontColor=0", "FontSize=10"};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    const std::string path = Dir.File("lines.Flp");
    WriteAll(path, Crlf(lines));
    ASSERT_TRUE(Form->Perform([&] { Form->LoadFlipFile(path); }));
    EXPECT_EQ(Form->Memo1.Lines(), c.want);
  }
}

TEST_F(FlipFileTest, LineBreaksOfAnyKindSplitTheFile) {
  const std::string path = Dir.File("breaks.Flp");
  WriteAll(path, "BackColor=1\nHingeColor=2\rFontColor=3\r\nFontSize=12\n\nLine0=x\rLine1=EndOfText");
  Form->LoadFlipFile(path);
  EXPECT_EQ(Form->FlipLabel2->Color(), 1);
  EXPECT_EQ(Form->FlipLabel2->HingeColor(), 2);
  EXPECT_EQ(Form->FlipLabel2->Font().Color(), 3);
  EXPECT_EQ(Form->Memo1.Lines(), std::vector<std::string>{"x"});
}

TEST_F(FlipFileTest, AWindows1252FileKeepsItsAccents) {
  const std::string path = Dir.File("old.Flp");
  WriteAll(path, FileWith({"Line0=Caf\xE9 \x80 \x93ok\x94", "Line1=EndOfText"}));
  Form->LoadFlipFile(path);
  EXPECT_EQ(Form->Memo1.Lines(), std::vector<std::string>{"Café € “ok”"});
}

TEST_F(FlipFileTest, ARefusedFileChangesNothingAndIsNotTakenAsTheCurrentFile) {
  const std::string good = Dir.File("good.Flp");
  Form->SaveData(good);
  Form->LoadFlipFile(good);
  Form->Edit1.SetText("77");
  const std::string before = Form->FlipFileText();

  struct Case {
    const char* name;
    std::string bytes;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"a text file opened by mistake", "Dear diary,\r\ntoday I rendered a GIF.\r\n",
       "'' is not a valid integer value"},
      {"non-numeric BackColor", FileWith({"BackColor=grey"}), "'grey' is not a valid integer value"},
      {"non-numeric FontSize", FileWith({"FontSize=12pt"}), "'12pt' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bad = Dir.File("bad.Flp");
    WriteAll(bad, c.bytes);
    Host.Errors.clear();
    EXPECT_FALSE(Form->Perform([&] { Form->LoadFlipFile(bad); }));
    ASSERT_EQ(Host.Errors.size(), 1u);
    EXPECT_EQ(Host.Errors[0], c.error);
    EXPECT_EQ(Form->FlipFileName, good);
    EXPECT_EQ(Form->Caption(), good + " - Klaptor");
    EXPECT_EQ(Form->FlipFileText(), before);
    // Save still goes to the good file and leaves the bad one alone.
    Form->tbSaveClick(nullptr);
    EXPECT_EQ(ReadAll(bad), c.bytes);
    EXPECT_EQ(ReadAll(good), before);
  }
}

TEST_F(FlipFileTest, AMissingFileIsAFileErrorNamingIt) {
  const std::string missing = Dir.File("missing.Flp");
  EXPECT_FALSE(Form->Perform([&] { Form->LoadFlipFile(missing); }));
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_NE(Host.Errors[0].find(missing), std::string::npos) << Host.Errors[0];
  EXPECT_EQ(Form->FlipFileName, "");
  EXPECT_EQ(Form->Caption(), "Klaptor");
}

TEST_F(FlipFileTest, BackgroundPictureIsLoadedSavedAndCleared) {
  const std::string bmp = Dir.File("back.bmp");
  TBitmap picture(8, 4, pf24bit);
  picture.SaveToFile(bmp);
  const std::string path = Dir.File("pic.Flp");
  WriteAll(path, FileWith({"Bitmap=" + bmp}));
  Form->LoadFlipFile(path);
  EXPECT_EQ(Form->PictureFileName, bmp);
  EXPECT_EQ(Form->FlipLabel2->picture().Width(), 8);
  Form->SaveData(Dir.File("again.Flp"));
  EXPECT_NE(ReadAll(Dir.File("again.Flp")).find("Bitmap=" + bmp + "\r\n"), std::string::npos);

  // An empty Bitmap value removes the picture.
  Form->LoadFlipFile(Dir.File("again.Flp"));
  WriteAll(path, FileWith({}));
  Form->LoadFlipFile(path);
  EXPECT_EQ(Form->PictureFileName, "");
  EXPECT_EQ(Form->FlipLabel2->picture().Width(), 0);

  // A Bitmap that is no bitmap refuses the file.
  WriteAll(Dir.File("not.bmp"), "plain text");
  WriteAll(path, FileWith({"Bitmap=" + Dir.File("not.bmp"), "Interval=33"}));
  EXPECT_FALSE(Form->Perform([&] { Form->LoadFlipFile(path); }));
  EXPECT_EQ(Form->FlipLabel2->Interval(), 50);
}

TEST_F(FlipFileTest, SaveAsksForANameOnceThenWritesThere) {
  const std::string path = Dir.File("chosen.Flp");
  Host.FileAnswers.push_back(path);
  Form->tbSave.Click();
  EXPECT_EQ(Host.DialogsShown, std::vector<std::string>{"SaveDialog2"});
  EXPECT_EQ(Form->FlipFileName, path);
  EXPECT_EQ(Form->Caption(), path + " - Klaptor");
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(2), path);
  Form->Memo1.SetLines({"changed"});
  Form->tbSave.Click();
  EXPECT_EQ(Host.DialogsShown.size(), 1u);
  EXPECT_NE(ReadAll(path).find("Line0=changed\r\n"), std::string::npos);
  // Save As with the dialog cancelled changes nothing.
  Form->SaveAs1Click(nullptr);
  EXPECT_EQ(Form->FlipFileName, path);
}

TEST_F(FlipFileTest, OpenGoesThroughItsDialog) {
  const std::string path = Dir.File("open.Flp");
  WriteAll(path, FileWith({"Line0=opened", "Line1=EndOfText"}));
  Form->tbOpen.Click();  // cancelled
  EXPECT_EQ(Form->FlipFileName, "");
  Host.FileAnswers.push_back(path);
  Form->tbOpen.Click();
  EXPECT_EQ(Host.DialogsShown, (std::vector<std::string>{"OpenDialog1", "OpenDialog1"}));
  EXPECT_EQ(Form->Memo1.Lines(), std::vector<std::string>{"opened"});
  EXPECT_EQ(Form->OpenDialog1.DefaultExt, "FLP");
  EXPECT_EQ(Form->OpenDialog1.Filter, "FlipFile|*.Flp|All Files|*.*");
}

TEST_F(FlipFileTest, TheFirstCommandLineArgumentIsLoadedAtStart) {
  const std::string path = Dir.File("start.Flp");
  WriteAll(path, FileWith({"Line0=from the command line", "Line1=EndOfText", "Interval=60"}));
  Recreate({path});
  EXPECT_TRUE(Host.Errors.empty());
  EXPECT_EQ(Form->Memo1.Lines(), std::vector<std::string>{"from the command line"});
  EXPECT_EQ(Form->FlipLabel2->Interval(), 60);
  EXPECT_EQ(Form->Caption(), path + " - Klaptor");

  Recreate({Dir.File("nothing here.Flp")});
  EXPECT_EQ(Host.Errors.size(), 1u);
  EXPECT_EQ(Form->Memo1.Lines(), WelcomeText());
}

TEST_F(FlipFileTest, AFailedOrAbandonedWriteLeavesTheOldFileWhole) {
  const std::string path = Dir.File("keep.Flp");
  WriteAll(path, "old contents");

  // The host says no at the last moment (the command line after Ctrl+C).
  struct RefusingHost : TScriptedHost {
    bool KeepWrittenFile() override { return false; }
  } refusing;
  {
    TForm1 form(refusing);
    form.SaveData(path);
  }
  EXPECT_EQ(ReadAll(path), "old contents");
  EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"keep.Flp"});

  // A folder that does not exist.
  const std::string nowhere = Dir.File("no/such/dir.Flp");
  EXPECT_FALSE(Form->Perform([&] { Form->SaveData(nowhere); }));
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_NE(Host.Errors[0].find(nowhere), std::string::npos) << Host.Errors[0];

  // A save that succeeds replaces the file and leaves nothing else behind.
  Form->SaveData(path);
  EXPECT_EQ(ReadAll(path).substr(0, 15), "Alignment=Left\r");
  EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"keep.Flp"});
}

TEST(FlipFileFormat, ReaderTakesEverythingAfterTheFirstEqualsSign) {
  const TFlipFileReader r("A=1=2\r\nb= spaced \r\nnoequals\r\n=empty key\r\nB=second\r\n");
  EXPECT_EQ(r.Value("a"), "1=2");
  EXPECT_EQ(r.Value("B"), " spaced ");
  EXPECT_EQ(r.Value(""), "empty key");
  EXPECT_EQ(r.Value("noequals"), "");
  EXPECT_FALSE(r.Has("noequals"));
  EXPECT_EQ(r.Value("missing"), "");
}

TEST(TextDecoding, Utf8IsKeptAndAnythingElseIsWindows1252) {
  struct Case {
    const char* name;
    std::string in;
    std::string want;
  };
  const std::vector<Case> cases = {
      {"ascii", "plain", "plain"},
      {"utf-8", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \xF0\x9F\x98\x80", "Grüße € 😀"},
      {"byte order mark dropped", "\xEF\xBB\xBFok", "ok"},
      {"latin accents", "Caf\xE9", "Café"},
      {"0x80..0x9F block", "\x80\x85\x8A\x99\x9F", "€…Š™Ÿ"},
      {"unassigned bytes keep their value", "\x81\x8D", "\xC2\x81\xC2\x8D"},
      {"truncated utf-8 sequence", "ab\xC3", "abÃ"},
      {"overlong utf-8", "\xC0\xAF", "À¯"},
      {"utf-8 surrogate", "\xED\xA0\x80", "í\xC2\xA0€"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeText(c.in), c.want);
  }
}

TEST(TextDecoding, SplitLinesAtEveryKindOfBreak) {
  EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitLines("a"), std::vector<std::string>{"a"});
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitLines("\n\r"), (std::vector<std::string>{"", "", ""}));
}

TEST_F(FlipFileTest, TheWelcomeExampleIsTheInitialWindow) {
  ApplyFields();
  EXPECT_EQ(Form->FlipFileText(), ReadAll(std::string(KLAPTOR_SOURCE_DIR) + "/examples/welcome.Flp"));
}

TEST_F(FlipFileTest, GeneratedFilesLoadOrFailCleanlyAndWhatLoadsSavesStably) {
  std::mt19937 rng(20261211);
  auto pick = [&](std::initializer_list<const char*> options) {
    auto it = options.begin();
    std::advance(it, static_cast<long>(rng() % options.size()));
    return std::string(*it);
  };
  auto number = [&]() -> std::string {
    switch (rng() % 6) {
      case 0: return std::to_string(static_cast<int>(rng() % 2000));
      case 1: return std::to_string(-static_cast<int>(rng() % 2000));
      case 2: return pick({"", "abc", "1.5", " 7", "$1F", "-2147483648", "2147483648", "0x10"});
      case 3: return std::to_string(static_cast<int32_t>(rng()));
      default: return std::to_string(static_cast<int>(rng() % 100));
    }
  };
  auto text = [&]() {
    std::string s;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i)
      s += pick({"a", "Z", " ", "=", "é", "€", "\xE9", "\x80", "EndOfText", "&", "\t", "Line0="});
    return s;
  };
  int loaded = 0, refused = 0;
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::string> lines;
    auto key = [&](const std::string& k) {
      std::string out = k;
      if (rng() % 4 == 0)
        for (char& c : out) c = static_cast<char>(rng() % 2 ? std::toupper(c) : std::tolower(c));
      return out;
    };
    for (const std::string& k : FlipSettingKeys()) {
      if (rng() % 10 == 0) continue;  // missing key
      std::string v;
      if (k == "Alignment") v = pick({"Left", "Center", "Right", "right", "middle", ""});
      else if (k == "Bitmap") v = rng() % 15 == 0 ? Dir.File("no-picture.bmp") : "";
      else if (k == "FontName") v = pick({"Arial", "DejaVu Sans", "", "No Such Face"});
      else if (k == "Stretch" || k == "Merge" || k == "Crop" || k == "Pallete" || k == "Bold" ||
               k == "Italic" || k == "Underline" || k == "StrikeOut")
        v = pick({"True", "False", "true", "TRUE", "", "1"});
      else if (k == "Width" || k == "Height") v = pick({"640", "64.6", "0", "9000", "abc", "1e3", "2.5"});
      else if (k == "BackColor" || k == "HingeColor" || k == "FontColor" || k == "FontSize")
        v = rng() % 8 == 0 ? pick({"", "red", "1.0"}) : number();
      else v = number();
      lines.push_back(key(k) + "=" + v);
    }
    const int count = static_cast<int>(rng() % 6);
    for (int n = 0; n < count; ++n)
      if (rng() % 8) lines.push_back(key("Line" + std::to_string(n)) + "=" + text());
    if (rng() % 3) lines.push_back("Line" + std::to_string(count) + "=EndOfText");
    if (rng() % 4 == 0) lines.push_back("garbage without equals");
    std::shuffle(lines.begin(), lines.end(), rng);
    std::string bytes;
    for (const auto& l : lines) bytes += l + pick({"\r\n", "\n", "\r"});

    const std::string path = Dir.File("gen.Flp");
    WriteAll(path, bytes);
    Recreate();
    Host.Errors.clear();
    if (!Form->Perform([&] { Form->LoadFlipFile(path); })) {
      ++refused;
      ASSERT_EQ(Host.Errors.size(), 1u);
      EXPECT_EQ(Form->FlipFileName, "");
      continue;
    }
    ++loaded;
    const std::string first = Form->FlipFileText();
    const std::string again = Dir.File("again.Flp");
    Form->SaveData(again);
    Recreate();
    ASSERT_TRUE(Form->Perform([&] { Form->LoadFlipFile(again); })) << Host.Errors.back();
    EXPECT_EQ(Form->FlipFileText(), first);
  }
  EXPECT_GT(loaded, 20);
  EXPECT_GT(refused, 20);
}
