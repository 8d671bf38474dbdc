// The main window as a toolkit-neutral model: its widgets' state (Widgets.h),
// the flip display FlipLabel2, the GIF document, and every handler: settings,
// the live display loop, the GIF rendering and the flip file. Dialogs, the
// error box and "process messages" go through a TFormHost.
//
//   TScriptedHost host;                 // or the GUI's / command line's host
//   TForm1 form(host, {"demo.Flp"});    // runs FormCreate (loads the file)
//   host.FileAnswers.push_back("out.gif");
//   form.Perform([&] { form.tbRenderClick(nullptr); });
//
// Handlers throw like the toolkit's do; Perform runs one and shows an error in
// the host's error box, as the application's message loop would. The window's
// timers (Timer2, the display's) start on the message loop that is current
// when the window is built: install the front end's loop (SetMessageLoop)
// first.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FormHost.h"
#include "app/Widgets.h"
#include "flip/FlipLabel.h"
#include "gif/GIFImage.h"
#include "platform/Controls.h"

// The window's own texts.
namespace formtext {
inline constexpr const char* AppTitle = "Klaptor";
inline constexpr const char* HelpFileName = "klaptor.hlp";
inline constexpr const char* Animating = "Animating";
inline constexpr const char* RenderingGIF = "Rendering GIF";
inline constexpr const char* Cancelled = "Cancelled";
inline constexpr const char* OptimizingGIF = "Optimizing GIF";
inline constexpr const char* Done = "Done";
inline constexpr const char* WelcomeFirstLine = "Welcome to Klaptor V1.0";
}  // namespace formtext

// The text area's content at start, one entry per line.
const std::vector<std::string>& WelcomeText();

// 0-based line of the memo's caret: the carriage returns before it.
int CaretLine(const TMemo& memo);

class TForm1 {
 public:
  // Builds the window with its initial values and runs FormCreate; `params`
  // are the command-line arguments after the program name.
  explicit TForm1(TFormHost& host, std::vector<std::string> params = {});
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Runs a handler as the application's message loop does: an exception ends
  // it and its message goes to the host's error box. False when it failed.
  bool Perform(const std::function<void()>& handler);

  TFormHost& Host() { return FHost; }
  const std::string& Caption() const { return FCaption; }
  const std::string& HelpFile() const { return FHelpFile; }
  // Fired when the window caption changes (a flip file loaded or saved as).
  std::function<void()> OnCaptionChange;

  // --- Window state
  std::unique_ptr<TGIFImage> GIFDocument;
  bool Rendering = false;
  int LineIndex = 0;
  std::string FlipFileName;
  std::string PictureFileName;

  // --- Components
  std::unique_ptr<TFlipLabel> FlipLabel2;
  TTimer Timer2;

  TToolbar tbKlaptor{"tbKlaptor"};
  TToolbarButton tbOpen{tbKlaptor, "tbOpen", "Load Flip File"};
  TToolbarButton tbSave{tbKlaptor, "tbSave", "Save Flip File"};
  TToolbarButton tbAnimate{tbKlaptor, "tbAnimate", "Start / Stop Animation", 1, true};
  TToolbarButton tbRender{tbKlaptor, "tbRender", "Render Animated GIF"};
  TToolbarButton ToolbarButton973{tbKlaptor, "ToolbarButton973", "Cancel Gif Rendering"};
  TToolbarButton tbLeft{tbKlaptor, "tbLeft", "Left Align Text ", 2};
  TToolbarButton tbCenter{tbKlaptor, "tbCenter", "Center Align Text ", 2};
  TToolbarButton tbRight{tbKlaptor, "tbRight", "Right Align Text ", 2};
  TToolbarButton tbFont{tbKlaptor, "tbFont", "Change Font Properties"};
  TToolbarButton ToolbarButton974{tbKlaptor, "ToolbarButton974", "Change Font Color"};
  TToolbarButton tbHingeColor{tbKlaptor, "tbHingeColor", "Change Seconday Hinge Color"};
  TToolbarButton tbBackColor{tbKlaptor, "tbBackColor", "Change Background Color"};
  TToolbarButton ToolbarButton971{tbKlaptor, "ToolbarButton971", "Load Background Picture"};
  TToolbarButton ToolbarButton972{tbKlaptor, "ToolbarButton972", "Clear Background Picture"};

  TToolbar tbTextArea{"tbTextArea"};
  TToolbarButton ToolbarButton975{tbTextArea, "ToolbarButton975", "Clear the text entry area"};
  TToolbarButton ToolbarButton976{tbTextArea, "ToolbarButton976",
                                  "Load a text file into the text entry area"};

  TEdit Edit1{"Edit1"};  // frame interval (ms)
  TEdit Edit2{"Edit2"};  // frames per line
  TEdit Edit3{"Edit3"};  // hinge size
  TEdit Edit4{"Edit4"};  // time per line (ms)
  TEdit Edit6{"Edit6"};  // width
  TEdit Edit7{"Edit7"};  // height
  TCheckBox cbContinuous{"cbContinuous", "Continuous"};
  TCheckBox CheckBoxMerge{"CheckBoxMerge", "Merge"};
  TCheckBox CheckBoxCrop{"CheckBoxCrop", "Crop"};
  TCheckBox CheckBoxPalette{"CheckBoxPalette", "Palette"};
  TCheckBox cbStretch{"cbStretch", "Bitmap Stretch to Fit"};
  TRuler Ruler1{"Ruler1"};  // height tape
  TRuler Ruler2{"Ruler2"};  // width tape
  TWidget Button1{"Button1"};  // "&Wrap to Fit"
  TMemo Memo1{"Memo1"};
  TStatusBar AdvStatusBar1{"AdvStatusBar1", {100, 200, 50}};
  TProgressBar ProgressBar{"ProgressBar"};

  TFileDialog OpenDialog1;         // flip file
  TFileDialog SaveDialog2;         // flip file
  TFileDialog SaveDialog1;         // GIF
  TFileDialog OpenPictureDialog1;  // background bitmap
  TFileDialog OpenDialog2;         // text file
  TColorDialog ColorDialog1;
  TFontDialog FontDialog1;

  // --- Handlers (Sender may be null)
  void FormCreate(void* Sender);
  void FormDestroy(void* Sender);
  void Edit1Exit(void* Sender);
  void Edit2Exit(void* Sender);
  void Edit3Exit(void* Sender);
  void Edit4Exit(void* Sender);
  void Edit6Change(void* Sender);
  void Edit7Change(void* Sender);
  void Ruler1Tick(void* Sender, double Value, std::string& Label);
  void Ruler2Tick(void* Sender, double Value, std::string& Label);
  void Ruler1Scroll(void* Sender, double Start);
  void Ruler2Scroll(void* Sender, double Start);
  void tbLeftClick(void* Sender);
  void tbCenterClick(void* Sender);
  void tbRightClick(void* Sender);
  void tbFontClick(void* Sender);
  void ToolbarButton974Click(void* Sender);
  void tbHingeColorClick(void* Sender);
  void tbBackColorClick(void* Sender);
  void ToolbarButton971Click(void* Sender);
  void ToolbarButton972Click(void* Sender);
  void cbStretchClick(void* Sender);
  void cbContinuousClick(void* Sender);
  void tbAnimateClick(void* Sender);
  void Timer2Timer(void* Sender);
  void FlipLabel2Done(void* Sender);
  void Memo1Change(void* Sender);
  void ToolbarButton975Click(void* Sender);
  void ToolbarButton976Click(void* Sender);
  void Button1Click(void* Sender);
  void Contents1Click(void* Sender);
  void Index1Click(void* Sender);
  void Exit1Click(void* Sender);

  // Re-wraps Lines in place as a word-wrapping edit box of outer width Width
  // in Font shows them (each piece fits Width less the box's chrome).
  void WrapToFit(std::vector<std::string>& Lines, int Width, const TFont& Font);

  // --- Rendering
  void tbRenderClick(void* Sender);
  void ToolbarButton973Click(void* Sender);
  void AddBitmap(TGIFImage& GIF, const TBitmap& Bitmap, bool Transparent);
  int TransparentIndex(TGIFSubImage& Frame);

  // --- Flip file
  void tbOpenClick(void* Sender);
  void tbSaveClick(void* Sender);
  void SaveAs1Click(void* Sender);
  void SaveData(const std::string& FileName);
  void LoadFlipFile(const std::string& FileName);
  // The flip file's bytes for the window as it is now.
  std::string FlipFileText();
  // Applies a flip file's text (already decoded) as a load does, without
  // taking a file name. Used by LoadFlipFile and for command-line overrides.
  void ApplyFlipText(const std::string& text);

 private:
  void ShowNextLine();
  void SetAlignment(TAlignment alignment);
  void ApplyIntField(TEdit& edit, const std::function<void(int)>& apply);
  void ApplySizeField(TEdit& edit, bool width);
  void SetToolbarHints(bool show);
  void SetFieldText(TEdit& edit, const std::string& text);
  void TakeFileName(const std::string& fileName);
  bool ConfirmWrite();

  TFormHost& FHost;
  std::vector<std::string> FParams;
  std::string FCaption;
  std::string FHelpFile;
};
