#include "platform/FileUtils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// The same words as TFileStream's own error when it cannot create a file.
[[noreturn]] void CreateError(const std::string& fileName, int err) {
  throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(err));
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes the temporary file unless released.
struct TempFileGuard {
  std::string Path;
  bool Armed = true;
  ~TempFileGuard() {
    if (Armed && !Path.empty()) ::unlink(Path.c_str());
  }
};

}  // namespace

void WriteFileAtomically(const std::string& fileName, const std::function<void(TStream&)>& write,
                         const std::function<bool()>& commit) {
  // Writing through a symbolic link replaces the file it points to, not the link.
  std::string target = fileName;
  struct stat st {};
  if (::lstat(fileName.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(fileName.c_str(), resolved) != nullptr) target = resolved;
  }
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) CreateError(fileName, EISDIR);
  // A file the user may not write stays protected, although renaming over it
  // would be allowed by its folder.
  if (exists && ::access(target.c_str(), W_OK) != 0) CreateError(fileName, errno);

  TempFileGuard temp;
  std::random_device rd;
  std::mt19937 rng(rd());
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp.Path = DirectoryOf(target) + "/." + BaseNameOf(target) + ".tmp" + std::to_string(rng() % 1000000);
    fd = ::open(temp.Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) {
      const int err = errno;
      temp.Path.clear();
      CreateError(fileName, err);
    }
  }
  if (fd < 0) {
    temp.Path.clear();
    CreateError(fileName, EEXIST);
  }
  if (exists) (void)::fchmod(fd, st.st_mode & 07777);
  ::close(fd);

  {
    TFileStream stream(temp.Path, fmOpenWrite);
    write(stream);
    stream.Flush();
  }
  fd = ::open(temp.Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (rc != 0) throw EWriteError("Cannot write file \"" + fileName + "\". " + std::strerror(err));
  }
  if (commit && !commit()) return;  // the guard removes the temporary file
  if (::rename(temp.Path.c_str(), target.c_str()) != 0) CreateError(fileName, errno);
  temp.Armed = false;
}
