#include "tools/replay/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The file the picture replaces: `path`, or where its symbolic links lead.
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

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
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
  if (auto refused = Inspect(path, kept, before)) return refused;
  std::string target = path;
  if (before.exists) {
    if (auto failed = Resolved(path, target)) return failed;
  }

  const size_t slash = target.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
                     ".kavarin-replay-XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return "cannot create a temporary file beside it: " + Cause(errno);
  // From here on a failure removes the temporary file, and nothing else.
  for (std::string_view part : parts)
    if (!WriteAll(fd, part)) return Discard(temp, fd, errno);
  // A picture that replaces a file keeps that file's permissions; a new one gets the usual ones.
  const mode_t mode = before.exists ? before.mode & 07777 : NewFileMode();
  if (::fchmod(fd, mode) != 0) return Discard(temp, fd, errno);
  if (::fsync(fd) != 0) return Discard(temp, fd, errno);
  if (::close(fd) != 0) return Discard(temp, -1, errno);

  // Whatever took the path's place while the picture was written is left alone too.
  Found after;
  std::optional<std::string> refused = Inspect(path, kept, after);
  if (!refused && (after.exists != before.exists || after.id != before.id))
    refused = "it changed while the picture was being written";
  if (refused) {
    Discard(temp, -1, 0);
    return refused;
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) return Discard(temp, -1, errno);
  return std::nullopt;
}

}  // namespace kavarin
