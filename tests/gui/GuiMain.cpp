// The Qt application every GUI test runs in (offscreen platform unless the
// environment chooses another one).
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class TQtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    FApp = std::make_unique<QApplication>(FArgc, FArgv);
  }
  void TearDown() override { FApp.reset(); }

 private:
  int FArgc = 1;
  char FName[16] = "gui_tests";
  char* FArgv[2] = {FName, nullptr};
  std::unique_ptr<QApplication> FApp;
};

[[maybe_unused]] ::testing::Environment* const gQt = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
