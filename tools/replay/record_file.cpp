#include "tools/replay/record_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavarin {

namespace {

bool Fail(std::string& error, const std::string& path, int err) {
  error = "cannot write '" + path + "': " + std::strerror(err);
  return false;
}

}  // namespace

bool MayWriteRecord(const std::string& path, std::string& error) {
  struct stat st {};
  if (path.empty() || path.find('\0') != std::string::npos) {
    error = "no usable record path";
    return false;
  }
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    error = "cannot write '" + path + "': not a regular file";
    return false;
  }
  return true;
}

bool WriteRecord(const std::string& path, std::string_view text, std::string& error) {
  if (!MayWriteRecord(path, error)) return false;
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return Fail(error, path, errno);
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = fchmod(fd, 0666 & ~mask) == 0;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  int err = ok ? 0 : errno;
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (close(fd) != 0 && ok) ok = false, err = errno;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    unlink(temp.c_str());
    return Fail(error, path, err != 0 ? err : EIO);
  }
  return true;
}

}  // namespace kavarin
