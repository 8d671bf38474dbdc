#include "gui/QtFormHost.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include "gui/HelpWindow.h"
#include "platform/Font.h"
#include "platform/Types.h"

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    // "*.*" means every file; on this system many names have no dot.
    for (QString& p : patterns)
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    QString name = parts[i];
    // A description that already lists its patterns is not repeated.
    const int paren = name.indexOf(QLatin1Char('('));
    if (paren > 0) name = name.left(paren).trimmed();
    out << QStringLiteral("%1 (%2)").arg(name, patterns.join(QLatin1Char(' ')));
  }
  return out.join(QStringLiteral(";;"));
}

std::string WithDefaultExtension(const std::string& fileName, const std::string& defaultExt) {
  if (fileName.empty() || defaultExt.empty()) return fileName;
  const QFileInfo info(QString::fromStdString(fileName));
  if (!info.suffix().isEmpty()) return fileName;
  QString ext = QString::fromStdString(defaultExt);
  ext = ext.compare(QLatin1String("flp"), Qt::CaseInsensitive) == 0 ? QStringLiteral("Flp") : ext.toLower();
  return fileName + "." + ext.toStdString();
}

QFont ToQFont(const TFont& font) {
  QFont q(QString::fromStdString(font.Name()));
  // Points, as the font dialog lists sizes in points; TFont's points are at
  // 96 pixels per inch, so 64-pixel characters are 48 points.
  if (font.Size() > 0) q.setPointSize(font.Size());
  q.setBold(font.HasStyle(fsBold));
  q.setItalic(font.HasStyle(fsItalic));
  q.setUnderline(font.HasStyle(fsUnderline));
  q.setStrikeOut(font.HasStyle(fsStrikeOut));
  return q;
}

void AssignQFont(TFont& font, const QFont& q) {
  TFont result;
  result.Assign(font);
  if (!q.family().isEmpty()) result.SetName(q.family().toStdString());
  if (q.pixelSize() > 0)
    result.SetHeight(-q.pixelSize());
  else if (q.pointSizeF() > 0)
    result.SetSize(static_cast<int>(q.pointSizeF() + 0.5));
  TFontStyles style = 0;
  if (q.bold()) style |= 1u << fsBold;
  if (q.italic()) style |= 1u << fsItalic;
  if (q.underline()) style |= 1u << fsUnderline;
  if (q.strikeOut()) style |= 1u << fsStrikeOut;
  result.SetStyle(style);
  font.Assign(result);
}

TQtFormHost::TQtFormHost() = default;
TQtFormHost::~TQtFormHost() = default;

bool TQtFormHost::Execute(TFileDialog& dialog) {
  const QString filter = QtFileFilter(dialog.Filter);
  const QString start = QString::fromStdString(dialog.FileName);
  QString chosen;
  if (dialog.Kind == TFileDialog::dkSave) {
    QFileDialog::Options options;
    if (!dialog.OverwritePrompt) options |= QFileDialog::DontConfirmOverwrite;
    chosen = QFileDialog::getSaveFileName(FWindow, QString(), start, filter, nullptr, options);
  } else {
    chosen = QFileDialog::getOpenFileName(FWindow, QString(), start, filter);
  }
  if (chosen.isEmpty()) return false;
  std::string name = chosen.toStdString();
  if (dialog.Kind == TFileDialog::dkSave) name = WithDefaultExtension(name, dialog.DefaultExt);
  dialog.FileName = name;
  return true;
}

bool TQtFormHost::Execute(TColorDialog& dialog) {
  const TColor rgb = ColorToRGB(dialog.Color);
  const QColor initial(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  const QColor chosen = QColorDialog::getColor(initial, FWindow);
  if (!chosen.isValid()) return false;
  dialog.Color = RGBColor(static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                          static_cast<uint8_t>(chosen.blue()));
  return true;
}

bool TQtFormHost::Execute(TFontDialog& dialog) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, ToQFont(dialog.Font), FWindow);
  if (!ok) return false;
  AssignQFont(dialog.Font, chosen);
  return true;
}

void TQtFormHost::ShowError(const std::string& message) {
  QMessageBox::critical(FWindow, QStringLiteral("Klaptor"), QString::fromStdString(message));
}

THelpWindow& TQtFormHost::Help() {
  if (!FHelp) FHelp = std::make_unique<THelpWindow>();
  return *FHelp;
}

void TQtFormHost::ShowHelp(int context) { Help().ShowContext(context); }

void TQtFormHost::CloseWindow() {
  if (FWindow) FWindow->close();
}
