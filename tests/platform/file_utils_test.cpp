// WriteFileAtomically: the old file survives every failure, no temporary file
// is left behind, and a successful write keeps the replaced file's mode.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileUtils.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

// Each test's own folder.
struct Scratch : ScratchDir {
  Scratch() : ScratchDir("klaptor-platform-") {}
};

auto Writes(const std::string& text) {
  return [text](TStream& s) { s.WriteBuffer(text.data(), static_cast<int64_t>(text.size())); };
}

TEST(WriteFileAtomically, ReplacesTheFileWholeAndKeepsItsMode) {
  Scratch dir;
  const std::string path = dir.File("out.bin");
  WriteAll(path, "old contents that are longer than the new ones");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  bool asked = false;
  WriteFileAtomically(path, Writes("new"), [&] {
    asked = true;
    return true;
  });
  EXPECT_TRUE(asked);
  EXPECT_EQ(ReadAll(path), "new");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bin"});
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(WriteFileAtomically, EveryFailureLeavesTheOldFileAndNoTemporary) {
  struct Case {
    const char* Name;
    std::function<void(TStream&)> Write;
    std::function<bool()> Commit;
  };
  const Case cases[] = {
      {"writer throws half-way",
       [](TStream& s) {
         s.WriteBuffer("partial", 7);
         throw std::runtime_error("writer failed");
       },
       {}},
      {"commit refused", Writes("new"), [] { return false; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Scratch dir;
    const std::string path = dir.File("keep.bin");
    WriteAll(path, "precious");
    try {
      WriteFileAtomically(path, c.Write, c.Commit);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadAll(path), "precious");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.bin"});

    // Without an old file nothing appears at all.
    try {
      WriteFileAtomically(dir.File("new.bin"), c.Write, c.Commit);
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.bin"});
  }
}

TEST(WriteFileAtomically, UnwritablePlacesRaiseACreateErrorNamingTheFile) {
  Scratch dir;
  ASSERT_TRUE(fs::create_directory(dir.File("folder")));
  for (const std::string& path : {dir.File("no/such/folder.bin"), dir.File("folder")}) {
    SCOPED_TRACE(path);
    try {
      WriteFileAtomically(path, Writes("x"));
      ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
      EXPECT_NE(std::string(e.what()).find("Cannot create file \"" + path + "\""), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"folder"});
  EXPECT_TRUE(fs::is_empty(dir.File("folder")));
}

TEST(WriteFileAtomically, ALinkStaysALinkAndItsTargetIsReplaced) {
  Scratch dir;
  const std::string target = dir.File("real.bin");
  const std::string link = dir.File("link.bin");
  WriteAll(target, "old");
  fs::create_symlink(target, link);
  WriteFileAtomically(link, Writes("new"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadAll(target), "new");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"link.bin", "real.bin"}));
}

}  // namespace
