#include "tools/replay/record_file.h"

#include <sys/stat.h>

#include "tools/replay/safe_file.h"

namespace kavarin {

bool MayWriteRecord(const std::string& path, std::string& error) {
  struct stat st {};
  if (path.empty() || path.find('\0') != std::string::npos) {
    error = "no usable record path";
    return false;
  }
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
    error = "cannot write '" + path + "': not a regular file";
    return false;
  }
  return true;
}

bool WriteRecord(const std::string& path, std::string_view text, std::string& error) {
  const std::string_view parts[] = {text};
  if (auto why = ReplaceFile(path, parts, {})) {
    error = "cannot write '" + path + "': " + *why;
    return false;
  }
  return true;
}

}  // namespace kavarin
