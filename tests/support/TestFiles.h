// Real files for tests: a scratch folder of the running test's own, and
// whole-file reads and writes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// A folder named after the running test (prefix + suite + name), emptied when
// made and removed with everything in it at the end.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = prefix + (info ? info->test_suite_name() : "x") + "-" + (info ? info->name() : "y");
    std::replace(name.begin(), name.end(), '/', '_');
    FPath = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~ScratchDir() { std::filesystem::remove_all(FPath); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const { return (FPath / name).string(); }
  const std::filesystem::path& Path() const { return FPath; }
  // Names of the entries in the folder, sorted.
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
