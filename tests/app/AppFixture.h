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

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("klaptor-app-") + (info ? info->test_suite_name() : "x") + "-" +
                       (info ? info->name() : "y");
    for (char& c : name)
      if (c == '/') c = '_';
    FPath = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~ScratchDir() { std::filesystem::remove_all(FPath); }
  std::string File(const std::string& name) const { return (FPath / name).string(); }
  const std::filesystem::path& Path() const { return FPath; }
  // Names of the entries in the folder.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(FPath)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path FPath;
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

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
  ScratchDir Dir;
};
