#include "gui/Gui.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gui/Icons.h"
#include "gui/MainWindow.h"
#include "gui/QtFormHost.h"
#include "gui/QtMessageLoop.h"

namespace {

// The window as it is on the screen (the X server's pixels where there is
// one), else as Qt paints it.
bool SaveScreenshot(QWidget& window, const QString& path) {
  QCoreApplication::processEvents();
  QPixmap shot;
  if (QScreen* screen = window.screen()) {
    const QRect frame = window.frameGeometry();
    shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  }
  if (shot.isNull()) shot = window.grab();
  return shot.save(path, "PNG");
}

// Runs the self-photographing set up by the KLAPTOR_SCREENSHOT variables.
void ArmScreenshot(TMainWindow& window, const QString& path) {
  const int delay = qEnvironmentVariableIsSet("KLAPTOR_SCREENSHOT_DELAY")
                        ? qEnvironmentVariableIntValue("KLAPTOR_SCREENSHOT_DELAY")
                        : 2500;
  const int renderFrame = qEnvironmentVariableIntValue("KLAPTOR_SCREENSHOT_RENDER");
  auto finish = [&window, path](bool ok) {
    if (!ok) std::fprintf(stderr, "klaptor: could not write %s\n", path.toLocal8Bit().constData());
    QCoreApplication::exit(ok ? 0 : 1);
  };
  if (renderFrame <= 0) {
    QTimer::singleShot(delay, &window, [&window, path, finish] { finish(SaveScreenshot(window, path)); });
    return;
  }
  QTimer::singleShot(delay, &window, [&window, path, renderFrame, finish] {
    TForm1& form = window.Form();
    auto shown = form.ProgressBar.OnUpdate;
    bool taken = false;
    bool ok = false;
    form.ProgressBar.OnUpdate = [&, shown] {
      if (shown) shown();
      if (taken || form.ProgressBar.Position() < renderFrame) return;
      taken = true;
      ok = SaveScreenshot(window, path);
      form.ToolbarButton973Click(nullptr);
    };
    window.Run([&form] { form.tbRenderClick(nullptr); });
    form.ProgressBar.OnUpdate = shown;
    finish(taken && ok);
  });
}

}  // namespace

int RunGui(int argc, char** argv, const std::string& flipFile) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Klaptor"));
  QApplication::setApplicationDisplayName(QStringLiteral("Klaptor"));
  QApplication::setDesktopFileName(QStringLiteral("klaptor"));
  QApplication::setWindowIcon(AppIcon());

  // The loop first: the window's timers register with it as they are built.
  TQtMessageLoop loop;
  TQtFormHost host;
  std::vector<std::string> params;
  if (!flipFile.empty()) params.push_back(flipFile);
  TMainWindow window(host, loop, params);
  window.show();

  const QString shot = qEnvironmentVariable("KLAPTOR_SCREENSHOT");
  if (!shot.isEmpty()) ArmScreenshot(window, shot);
  return app.exec();
}
