// A main window on a virtual clock with a scripted host, and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/main.h"
#include "platform/Controls.h"
#include "support/TestFiles.h"

// The window is created after the loop is installed so that its timers run on
// the virtual clock, and destroyed before the loop goes away.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageLoop(&Loop);
    Form = std::make_unique<TForm1>(Host);
  }
  void TearDown() override {
    Form.reset();
    SetMessageLoop(nullptr);
  }
  // A new window with command-line arguments.
  void Recreate(std::vector<std::string> params = {}) {
    Form.reset();
    Form = std::make_unique<TForm1>(Host, std::move(params));
  }
  // Applies the settings fields to the display as leaving each field does.
  void ApplyFields() {
    for (TEdit* e : {&Form->Edit1, &Form->Edit2, &Form->Edit3, &Form->Edit4}) e->Exit();
  }

  THeadlessLoop Loop;
  TScriptedHost Host;
  std::unique_ptr<TForm1> Form;
  ScratchDir Dir{"klaptor-app-"};
};
