#include "files/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace kavarin {

namespace {

std::string Cause(int error) {
  return std::strerror(error);
}

// What stands at a path: nothing, or a regular file (through any symbolic links).
struct Found {
  bool exists = false;
  FileId id;
  mode_t mode = 0;
};

// Looks at `path` and says why it must not be replaced, if it must not.
std::optional<std::string> Inspect(const std::string& path, std::span<const KeptFile> kept,
                                   Found& found) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    const int error = errno;
    if (error != ENOENT) return Cause(error);
    if (::lstat(path.c_str(), &st) == 0) return "a symbolic link to nothing";
    found = Found{};
    return std::nullopt;
  }
  if (S_ISDIR(st.st_mode)) return Cause(EISDIR);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  found = Found{true, FileId{st.st_dev, st.st_ino}, st.st_mode};
  for (const KeptFile& k : kept)
    if (k.id == found.id) return "it is " + k.name;
  return std::nullopt;
}

// The file that is replaced: `path`, or where its symbolic links lead.
std::optional<std::string> Resolved(const std::string& path, std::string& target) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return Cause(errno);
  if (!S_ISLNK(st.st_mode)) {
    target = path;
    return std::nullopt;
  }
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return Cause(errno);
  target = real;
  std::free(real);
  return std::nullopt;
}

// A new, empty file of our own beside `target`, made with the usual permissions (the process's
// umask applies, so the umask itself is never touched: other threads may be making files).
int CreateTemp(const std::string& target, std::string& temp) {
  const size_t slash = target.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::random_device device;
  std::mt19937_64 rng(uint64_t{device()} << 32 | device());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, ".kavarin-%012llx",
                  static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
    temp = folder + name;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Closes `fd` (unless it is -1) and removes the temporary file; returns `error` in words.
std::string Discard(const std::string& temp, int fd, int error) {
  if (fd >= 0) ::close(fd);
  ::unlink(temp.c_str());
  return Cause(error);
}

// What may be replaced at `path` (`found`), the file that is then replaced (`target`, where its
// symbolic links lead), and a new temporary file of our own beside it, open on `fd`. Returns why
// not, if not; then nothing was made.
std::optional<std::string> OpenBeside(const std::string& path, std::span<const KeptFile> kept,
                                      Found& found, std::string& target, std::string& temp,
                                      int& fd) {
  if (auto refused = Inspect(path, kept, found)) return refused;
  target = path;
  if (found.exists) {
    if (auto failed = Resolved(path, target)) return failed;
  }
  fd = CreateTemp(target, temp);
  if (fd < 0) return "cannot create a temporary file beside it: " + Cause(errno);
  return std::nullopt;
}

}  // namespace

std::optional<FileId> IdOfOpenFile(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

std::optional<std::string> ReplaceFile(const std::string& path,
                                       std::span<const std::string_view> parts,
                                       std::span<const KeptFile> kept) {
  Found before;
  std::string target;
  std::string temp;
  int fd = -1;
  if (auto refused = OpenBeside(path, kept, before, target, temp, fd)) return refused;
  // From here on a failure removes the temporary file, and nothing else.
  for (std::string_view part : parts)
    if (!WriteAll(fd, part)) return Discard(temp, fd, errno);
  // A file that replaces another keeps that one's permissions; a new one has the usual ones.
  if (before.exists && ::fchmod(fd, before.mode & 07777) != 0) return Discard(temp, fd, errno);
  if (::fsync(fd) != 0) return Discard(temp, fd, errno);
  if (::close(fd) != 0) return Discard(temp, -1, errno);

  // Whatever took the path's place while the file was written is left alone too.
  Found after;
  std::optional<std::string> refused = Inspect(path, kept, after);
  if (!refused && (after.exists != before.exists || after.id != before.id))
    refused = "it changed while the file was being written";
  if (refused) {
    Discard(temp, -1, 0);
    return refused;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) return Discard(temp, -1, errno);
  return std::nullopt;
}

std::optional<std::string> CheckReplaceable(const std::string& path,
                                            std::span<const KeptFile> kept) {
  Found found;
  std::string target;
  std::string temp;
  int fd = -1;
  if (auto refused = OpenBeside(path, kept, found, target, temp, fd)) return refused;
  ::close(fd);
  ::unlink(temp.c_str());
  return std::nullopt;
}

}  // namespace kavarin
