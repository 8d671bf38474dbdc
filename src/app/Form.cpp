// TForm1: construction with the window's initial values, the settings
// handlers, the live display loop and Wrap to Fit.
#include <unistd.h>

#include <algorithm>
#include <new>

#include "app/WordWrap.h"
#include "app/main.h"
#include "platform/SysUtils.h"

namespace {

// The display's initial values.
constexpr int kDisplayWidth = 757;
constexpr int kDisplayHeight = 90;
constexpr TColor kDisplayColor = 3684408;   // 56, 56, 56
constexpr TColor kDisplayFontColor = 54741;  // 213, 213, 0
constexpr int kDisplayFontHeight = -64;      // 64-pixel character height
constexpr int kTimePerLine = 1500;

// Display sizes the settings accept, in whole pixels.
constexpr int kMinDisplaySize = 1;
constexpr int kMaxDisplaySize = 8192;

}  // namespace

const std::vector<std::string>& WelcomeText() {
  static const std::vector<std::string> text = {
      formtext::WelcomeFirstLine,
      "Type one line of",
      "text per flip here",
      "then press Render",
      "to make your GIF",
  };
  return text;
}

int CaretLine(const TMemo& memo) {
  const std::string& text = memo.Text();
  const auto end = text.begin() + std::min<size_t>(static_cast<size_t>(memo.SelStart()), text.size());
  return static_cast<int>(std::count(text.begin(), end, '\r'));
}

void TScriptedHost::ProcessMessages() {
  ++ProcessMessagesCalls;
  TFormHost::ProcessMessages();
  if (OnProcessMessages) OnProcessMessages();
}

bool TScriptedHost::Execute(TFileDialog& dialog) {
  DialogsShown.push_back(dialog.Name);
  if (FileAnswers.empty()) return false;
  dialog.FileName = FileAnswers.front();
  FileAnswers.pop_front();
  return true;
}

bool TScriptedHost::Execute(TColorDialog& dialog) {
  DialogsShown.push_back(dialog.Name);
  if (ColorAnswers.empty()) return false;
  dialog.Color = ColorAnswers.front();
  ColorAnswers.pop_front();
  return true;
}

bool TScriptedHost::Execute(TFontDialog& dialog) {
  DialogsShown.push_back(dialog.Name);
  if (FontAnswers.empty()) return false;
  dialog.Font.Assign(FontAnswers.front());
  FontAnswers.pop_front();
  return true;
}

void TFormHost::ProcessMessages() { MessageLoop().ProcessMessages(); }

TForm1::TForm1(TFormHost& host, std::vector<std::string> params)
    : FHost(host), FParams(std::move(params)) {
  // The display as the window stores it.
  FlipLabel2 = std::make_unique<TFlipLabel>();
  TFlipLabel& d = *FlipLabel2;
  d.SetName("FlipLabel2");
  d.BeginLoading();
  d.SetBounds(0, 0, kDisplayWidth, kDisplayHeight);
  d.SetAutoAnimate(true);
  d.SetCenter(true);
  d.SetColor(kDisplayColor);
  d.SetCurrentFrame(0);
  d.SetHingeColor(clBlack);
  TFont font;
  font.SetName("Arial");
  font.SetHeight(kDisplayFontHeight);
  font.SetColor(kDisplayFontColor);
  font.SetStyle(0);
  font.SetCharset(ANSI_CHARSET);
  d.SetFont(font);
  d.SetFrames(10);
  d.SetInterval(100);
  d.SetStretch(false);
  d.EndLoading();

  Timer2.SetInterval(kTimePerLine);
  Timer2.SetEnabled(true);

  tbAnimate.SetDown(true);
  tbLeft.SetDown(true);

  Edit1.SetText("50");
  Edit2.SetText("14");
  Edit3.SetText("2");
  Edit4.SetText(std::to_string(kTimePerLine));
  Edit6.SetText(std::to_string(kDisplayWidth));
  Edit7.SetText(std::to_string(kDisplayHeight));
  Edit1.SetHint("Waiting time in ms before advancing to the next frame");
  Edit2.SetHint("Number of frames used to generate one Flip animation cycle");
  Edit3.SetHint("Thinkness of the hinge line in the center of the image");
  Edit4.SetHint("Total time used for each line in ms");
  cbContinuous.SetHint(
      "The next flip animation will start immediately after the privious one has finished");
  for (TWidget* w : {static_cast<TWidget*>(&Edit1), static_cast<TWidget*>(&Edit2),
                     static_cast<TWidget*>(&Edit3), static_cast<TWidget*>(&Edit4),
                     static_cast<TWidget*>(&cbContinuous)})
    w->SetHelpContext(440);
  const char* tapeHint = "Drag the yellow Tape to change or type a new value";
  Edit6.SetHint(tapeHint);
  Edit7.SetHint(tapeHint);
  Ruler2.SetHint(tapeHint);
  Ruler1.SetHint(tapeHint);
  Edit6.SetHelpContext(240);
  Ruler2.SetHelpContext(240);
  Edit7.SetHelpContext(230);
  Ruler1.SetHelpContext(230);
  CheckBoxMerge.SetHint("Removes redundant pixels between image layers");
  CheckBoxCrop.SetHint("Removes transparent areas");
  CheckBoxPalette.SetHint("Creates a single global color map instead of multiple local color maps");
  for (TCheckBox* b : {&CheckBoxMerge, &CheckBoxCrop, &CheckBoxPalette}) {
    b->SetChecked(true);
    b->SetHelpContext(250);
  }
  Button1.SetHint("Rearrange the text to fin in the image.");
  // A tape's value is the size in tens of pixels.
  Ruler2.SetStart(kDisplayWidth * 0.1);
  Ruler1.SetStart(kDisplayHeight * 0.1);
  Ruler2.SetMinStart(kMinDisplaySize * 0.1);
  Ruler1.SetMinStart(kMinDisplaySize * 0.1);
  Memo1.SetLines(WelcomeText());
  AdvStatusBar1.SetPanelText(0, formtext::Animating);
  ProgressBar.SetMax(100);

  OpenDialog1 = {"OpenDialog1", TFileDialog::dkOpen, "FLP", "FlipFile|*.Flp|All Files|*.*", false, false, {}};
  SaveDialog2 = {"SaveDialog2", TFileDialog::dkSave, "FLP", "Flip File|*.Flp|All Files|*.*", true, true, {}};
  SaveDialog1 = {"SaveDialog1", TFileDialog::dkSave, "Gif", "GIF|*.GIF|All Files|*.*", false, false, {}};
  OpenPictureDialog1 = {"OpenPictureDialog1", TFileDialog::dkOpen, "BMP", "Bitmaps (*.bmp)|*.bmp",
                        false, false, {}};
  OpenDialog2 = {"OpenDialog2", TFileDialog::dkOpen, "TXT", "Text|*.txt|All Files|*.*", false, false, {}};

  // Events, bound after the initial values as the toolkit does after loading.
  auto bind = [this](void (TForm1::*h)(void*)) { return [this, h](void* s) { (this->*h)(s); }; };
  Edit1.OnChange = Edit1.OnExit = bind(&TForm1::Edit1Exit);
  Edit2.OnChange = Edit2.OnExit = bind(&TForm1::Edit2Exit);
  Edit3.OnChange = Edit3.OnExit = bind(&TForm1::Edit3Exit);
  Edit4.OnChange = Edit4.OnExit = bind(&TForm1::Edit4Exit);
  Edit6.OnChange = bind(&TForm1::Edit6Change);
  Edit7.OnChange = bind(&TForm1::Edit7Change);
  Ruler1.OnTick = [this](void* s, double v, std::string& l) { Ruler1Tick(s, v, l); };
  Ruler2.OnTick = [this](void* s, double v, std::string& l) { Ruler2Tick(s, v, l); };
  Ruler1.OnScroll = [this](void* s, double v) { Ruler1Scroll(s, v); };
  Ruler2.OnScroll = [this](void* s, double v) { Ruler2Scroll(s, v); };
  cbContinuous.OnClick = bind(&TForm1::cbContinuousClick);
  cbStretch.OnClick = bind(&TForm1::cbStretchClick);
  Memo1.OnChange = bind(&TForm1::Memo1Change);
  tbOpen.OnClick = bind(&TForm1::tbOpenClick);
  tbSave.OnClick = bind(&TForm1::tbSaveClick);
  tbAnimate.OnClick = bind(&TForm1::tbAnimateClick);
  tbRender.OnClick = bind(&TForm1::tbRenderClick);
  ToolbarButton973.OnClick = bind(&TForm1::ToolbarButton973Click);
  tbLeft.OnClick = bind(&TForm1::tbLeftClick);
  tbCenter.OnClick = bind(&TForm1::tbCenterClick);
  tbRight.OnClick = bind(&TForm1::tbRightClick);
  tbFont.OnClick = bind(&TForm1::tbFontClick);
  ToolbarButton974.OnClick = bind(&TForm1::ToolbarButton974Click);
  tbHingeColor.OnClick = bind(&TForm1::tbHingeColorClick);
  tbBackColor.OnClick = bind(&TForm1::tbBackColorClick);
  ToolbarButton971.OnClick = bind(&TForm1::ToolbarButton971Click);
  ToolbarButton972.OnClick = bind(&TForm1::ToolbarButton972Click);
  ToolbarButton975.OnClick = bind(&TForm1::ToolbarButton975Click);
  ToolbarButton976.OnClick = bind(&TForm1::ToolbarButton976Click);
  // Timer and display events come from the message loop: an error in them
  // goes to the error box like any other.
  Timer2.OnTimer = [this] { Perform([this] { Timer2Timer(&Timer2); }); };
  FlipLabel2->OnDone = [this](void* s) { Perform([this, s] { FlipLabel2Done(s); }); };

  // The toolkit reports an error in OnCreate and goes on with the window.
  Perform([this] { FormCreate(this); });
}

TForm1::~TForm1() {
  Timer2.OnTimer = nullptr;
  if (FlipLabel2) FlipLabel2->OnDone = nullptr;
  FormDestroy(this);
}

bool TForm1::Perform(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::bad_alloc&) {
    FHost.ShowError("Out of memory");
  } catch (const std::exception& e) {
    FHost.ShowError(e.what());
  }
  return false;
}

void TForm1::FormCreate(void*) {
  // The help file sits beside the program.
  std::string exeDir;
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) {
    std::string exe(buf, static_cast<size_t>(n));
    exeDir = exe.substr(0, exe.find_last_of('/') + 1);
  }
  FHelpFile = exeDir + formtext::HelpFileName;
  FCaption = formtext::AppTitle;
  GIFDocument = std::make_unique<TGIFImage>();
  PictureFileName.clear();
  Rendering = false;
  FlipLabel2->Setpicture(nullptr);
  if (!FParams.empty()) LoadFlipFile(FParams[0]);
}

void TForm1::FormDestroy(void*) { GIFDocument.reset(); }

// --- Settings fields ------------------------------------------------------

void TForm1::ApplyIntField(TEdit& edit, const std::function<void(int)>& apply) {
  int value;
  // Not a number (an empty field too): the previous value stays, silently.
  if (TryStrToInt(edit.Text(), value)) apply(value);
}

void TForm1::Edit1Exit(void*) {
  ApplyIntField(Edit1, [this](int v) { FlipLabel2->SetInterval(v); });
}

void TForm1::Edit2Exit(void*) {
  // A fold needs at least one step; fewer count as no number.
  ApplyIntField(Edit2, [this](int v) {
    if (v >= 1) FlipLabel2->SetFrames(v);
  });
}

void TForm1::Edit3Exit(void*) {
  ApplyIntField(Edit3, [this](int v) { FlipLabel2->SetHingeSize(v); });
}

void TForm1::Edit4Exit(void*) {
  ApplyIntField(Edit4, [this](int v) { Timer2.SetInterval(v); });
}

void TForm1::ApplySizeField(TEdit& edit, bool width) {
  double value;
  if (!TryStrToFloat(edit.Text(), value)) return;
  if (!(value > -1e12 && value < 1e12)) return;
  const int64_t size = RoundHalfEven(value);
  // Whole pixels from 1 to 8192; anything else is ignored like a non-number.
  if (size < kMinDisplaySize || size > kMaxDisplaySize) return;
  if (width) {
    FlipLabel2->SetWidth(static_cast<int>(size));
    Ruler2.SetStart(FlipLabel2->Width() * 0.1);
  } else {
    FlipLabel2->SetHeight(static_cast<int>(size));
    Ruler1.SetStart(FlipLabel2->Height() * 0.1);
  }
}

void TForm1::Edit6Change(void*) { ApplySizeField(Edit6, true); }
void TForm1::Edit7Change(void*) { ApplySizeField(Edit7, false); }

void TForm1::Ruler1Tick(void*, double Value, std::string& Label) {
  Label = FormatFloat("#", Value * 10);
}

void TForm1::Ruler2Tick(void*, double Value, std::string& Label) {
  Label = FormatFloat("#", Value * 10);
}

void TForm1::Ruler1Scroll(void*, double Start) { Edit7.SetText(FormatFloat("#", Start * 10)); }
void TForm1::Ruler2Scroll(void*, double Start) { Edit6.SetText(FormatFloat("#", Start * 10)); }

void TForm1::SetAlignment(TAlignment alignment) { FlipLabel2->SetAlignment(alignment); }

void TForm1::tbLeftClick(void*) {
  if (tbLeft.Down()) SetAlignment(taLeftJustify);
}
void TForm1::tbCenterClick(void*) {
  if (tbCenter.Down()) SetAlignment(taCenter);
}
void TForm1::tbRightClick(void*) {
  if (tbRight.Down()) SetAlignment(taRightJustify);
}

void TForm1::tbFontClick(void*) {
  FontDialog1.Font.Assign(FlipLabel2->Font());
  if (FHost.Execute(FontDialog1)) FlipLabel2->Font().Assign(FontDialog1.Font);
}

void TForm1::ToolbarButton974Click(void*) {
  ColorDialog1.Color = FlipLabel2->Font().Color();
  if (FHost.Execute(ColorDialog1)) FlipLabel2->Font().SetColor(ColorDialog1.Color);
}

void TForm1::tbHingeColorClick(void*) {
  ColorDialog1.Color = FlipLabel2->HingeColor();
  if (FHost.Execute(ColorDialog1)) FlipLabel2->SetHingeColor(ColorDialog1.Color);
}

void TForm1::tbBackColorClick(void*) {
  ColorDialog1.Color = FlipLabel2->Color();
  if (FHost.Execute(ColorDialog1)) FlipLabel2->SetColor(ColorDialog1.Color);
}

void TForm1::ToolbarButton971Click(void*) {
  if (!FHost.Execute(OpenPictureDialog1)) return;
  // Load first: a file that is no bitmap leaves picture and name as they were.
  TBitmap picture;
  picture.LoadFromFile(OpenPictureDialog1.FileName);
  FlipLabel2->Setpicture(&picture);
  PictureFileName = OpenPictureDialog1.FileName;
}

void TForm1::ToolbarButton972Click(void*) {
  FlipLabel2->Setpicture(nullptr);
  PictureFileName.clear();
}

void TForm1::cbStretchClick(void*) { FlipLabel2->SetStretch(cbStretch.Checked()); }

// --- Live display -----------------------------------------------------------

void TForm1::ShowNextLine() {
  FlipLabel2->SetCaption(Memo1.Line(LineIndex));
  ++LineIndex;
  if (LineIndex > Memo1.LineCount() - 1) LineIndex = 0;
}

void TForm1::cbContinuousClick(void*) {
  const bool continuous = cbContinuous.Checked();
  Edit4.SetEnabled(!continuous);
  Timer2.SetEnabled(!continuous);
  if (continuous) FlipLabel2Done(this);
}

void TForm1::tbAnimateClick(void*) {
  const bool down = tbAnimate.Down();
  if (cbContinuous.Checked()) {
    Timer2.SetEnabled(false);
    AdvStatusBar1.SetPanelText(0, down ? formtext::Animating : "");
    // The chain of lines needs timed folds (only they end in OnDone), so
    // starting in this mode switches the display's own animation on too.
    if (down) FlipLabel2->SetAutoAnimate(true);
    FlipLabel2Done(this);
  } else {
    Timer2.SetEnabled(down);
    FlipLabel2->SetAutoAnimate(down);
    AdvStatusBar1.SetPanelText(0, Timer2.Enabled() ? formtext::Animating : "");
  }
}

void TForm1::Timer2Timer(void*) { ShowNextLine(); }

void TForm1::FlipLabel2Done(void*) {
  if (cbContinuous.Checked() && tbAnimate.Down()) ShowNextLine();
}

void TForm1::Memo1Change(void*) {
  const int n = CaretLine(Memo1);
  FlipLabel2->SetCaption(std::string());
  FlipLabel2->SetCaption(Memo1.Line(n));
}

void TForm1::ToolbarButton975Click(void*) { Memo1.Clear(); }

void TForm1::ToolbarButton976Click(void*) {
  if (!FHost.Execute(OpenDialog2)) return;
  Memo1.Clear();
  Memo1.LoadFromFile(OpenDialog2.FileName);
}

void TForm1::WrapToFit(std::vector<std::string>& Lines, int Width, const TFont& Font) {
  Lines = WrapToFitLines(Lines, Width, Font);
}

void TForm1::Button1Click(void*) {
  std::vector<std::string> lines = Memo1.Lines();
  WrapToFit(lines, FlipLabel2->Width(), FlipLabel2->Font());
  Memo1.SetLines(lines);
}

void TForm1::Contents1Click(void*) { FHost.ShowHelp(0); }
void TForm1::Index1Click(void*) { FHost.ShowHelp(0); }
void TForm1::Exit1Click(void*) { FHost.CloseWindow(); }
