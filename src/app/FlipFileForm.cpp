// TForm1 and the flip file: Open, Save, Save As, SaveData and LoadFlipFile.
#include "app/FlipFile.h"
#include "app/TextFiles.h"
#include "app/main.h"
#include "platform/FileUtils.h"
#include "platform/SysUtils.h"

std::string TForm1::FlipFileText() {
  TFlipFileData d;
  d.Alignment = tbRight.Down() ? "Right" : tbCenter.Down() ? "Center" : "Left";
  d.Interval = Edit1.Text();
  d.FramesPerLine = Edit2.Text();
  d.HingeSize = Edit3.Text();
  d.TimePerLine = Edit4.Text();
  d.Width = Edit6.Text();
  d.Height = Edit7.Text();
  d.Bitmap = PictureFileName;
  d.Stretch = cbStretch.Checked();
  d.Merge = CheckBoxMerge.Checked();
  d.Crop = CheckBoxCrop.Checked();
  d.Palette = CheckBoxPalette.Checked();
  d.BackColor = FlipLabel2->Color();
  d.HingeColor = FlipLabel2->HingeColor();
  const TFont& font = FlipLabel2->Font();
  d.FontColor = font.Color();
  d.FontName = font.Name();
  d.FontSize = font.Size();
  d.FontStyle = font.Style();
  d.Lines = Memo1.Lines();
  return FormatFlipFile(d);
}

bool TForm1::ConfirmWrite() { return FHost.KeepWrittenFile(); }

void TForm1::SaveData(const std::string& FileName) {
  const std::string text = FlipFileText();
  // The old file stays whole until the new one is completely written.
  WriteFileAtomically(
      FileName, [&text](TStream& s) { s.WriteBuffer(text.data(), static_cast<int64_t>(text.size())); },
      [this] { return ConfirmWrite(); });
}

void TForm1::TakeFileName(const std::string& fileName) {
  FlipFileName = fileName;
  AdvStatusBar1.SetPanelText(2, FlipFileName);
  FCaption = FlipFileName + " - " + formtext::AppTitle;
  if (OnCaptionChange) OnCaptionChange();
}

void TForm1::SetFieldText(TEdit& edit, const std::string& text) {
  if (edit.Text() != text) {
    edit.SetText(text);  // runs the field's handler
  } else if (edit.OnChange) {
    // A loaded value reaches the display even when the field already shows it.
    edit.OnChange(&edit);
  }
}

void TForm1::ApplyFlipText(const std::string& text) {
  const TFlipFileReader file(text);
  // Everything that can refuse the file is checked before anything changes, so
  // a file that is no flip file (or a damaged one) leaves the window as it was.
  const TColor backColor = StrToInt(file.Value(flipkey::BackColor));
  const TColor hingeColor = StrToInt(file.Value(flipkey::HingeColor));
  const TColor fontColor = StrToInt(file.Value(flipkey::FontColor));
  const int fontSize = StrToInt(file.Value(flipkey::FontSize));
  const std::string bitmap = file.Value(flipkey::Bitmap);
  TBitmap picture;
  if (!bitmap.empty()) picture.LoadFromFile(bitmap);

  FlipLabel2->Setpicture(nullptr);

  const std::string alignment = file.Value(flipkey::Alignment);
  if (alignment == "Left") {
    SetAlignment(taLeftJustify);
    tbLeft.SetDown(true);
  } else if (alignment == "Center") {
    SetAlignment(taCenter);
    tbCenter.SetDown(true);
  } else if (alignment == "Right") {
    SetAlignment(taRightJustify);
    tbRight.SetDown(true);
  }

  SetFieldText(Edit1, file.Value(flipkey::Interval));
  SetFieldText(Edit2, file.Value(flipkey::FramesPerLine));
  SetFieldText(Edit3, file.Value(flipkey::HingeSize));
  SetFieldText(Edit4, file.Value(flipkey::TimePerLine));
  SetFieldText(Edit6, file.Value(flipkey::Width));
  SetFieldText(Edit7, file.Value(flipkey::Height));

  if (!bitmap.empty()) FlipLabel2->Setpicture(&picture);
  PictureFileName = bitmap;

  const bool stretch = file.Value(flipkey::Stretch) == flipkey::True;
  cbStretch.SetChecked(stretch);
  FlipLabel2->SetStretch(stretch);
  CheckBoxMerge.SetChecked(file.Value(flipkey::Merge) == flipkey::True);
  CheckBoxCrop.SetChecked(file.Value(flipkey::Crop) == flipkey::True);
  CheckBoxPalette.SetChecked(file.Value(flipkey::Palette) == flipkey::True);

  FlipLabel2->SetColor(backColor);
  FlipLabel2->SetHingeColor(hingeColor);
  TFont font;
  font.Assign(FlipLabel2->Font());
  font.SetColor(fontColor);
  font.SetName(file.Value(flipkey::FontName));
  font.SetSize(fontSize);
  TFontStyles style = 0;
  if (file.Value(flipkey::Bold) == flipkey::True) style |= 1u << fsBold;
  if (file.Value(flipkey::Italic) == flipkey::True) style |= 1u << fsItalic;
  if (file.Value(flipkey::Underline) == flipkey::True) style |= 1u << fsUnderline;
  if (file.Value(flipkey::StrikeOut) == flipkey::True) style |= 1u << fsStrikeOut;
  font.SetStyle(style);
  FlipLabel2->Font().Assign(font);

  // The lines arrive as if appended one by one: the caret ends after the last
  // one, so the display turns to it.
  TMemo lines;
  lines.SetLines(file.TextLines());
  Memo1.UserEdit(lines.Text(), static_cast<int>(lines.Text().size()));
}

void TForm1::LoadFlipFile(const std::string& FileName) {
  const std::string text = DecodeText(ReadFileBytes(FileName));
  ApplyFlipText(text);
  // Only a file that loaded becomes the current one, so that Save never
  // writes flip data over a file that was opened by mistake.
  TakeFileName(FileName);
}

void TForm1::tbOpenClick(void*) {
  if (FHost.Execute(OpenDialog1)) LoadFlipFile(OpenDialog1.FileName);
}

void TForm1::tbSaveClick(void* Sender) {
  if (!FlipFileName.empty())
    SaveData(FlipFileName);
  else
    SaveAs1Click(Sender);
}

void TForm1::SaveAs1Click(void*) {
  if (!FHost.Execute(SaveDialog2)) return;
  SaveData(SaveDialog2.FileName);
  TakeFileName(SaveDialog2.FileName);
}
