#include "files/record_file.h"

namespace kavarin {

bool MayWriteRecord(const std::string& path, std::string& error, std::span<const KeptFile> kept) {
  if (path.empty() || path.find('\0') != std::string::npos) {
    error = "no usable record path";
    return false;
  }
  if (auto why = CheckReplaceable(path, kept)) {
    error = "cannot write the record '" + path + "': " + *why;
    return false;
  }
  return true;
}

bool WriteRecord(const std::string& path, std::string_view text, std::string& error,
                 std::span<const KeptFile> kept) {
  const std::string_view parts[] = {text};
  if (auto why = ReplaceFile(path, parts, kept)) {
    error = "cannot write the record '" + path + "': " + *why;
    return false;
  }
  return true;
}

}  // namespace kavarin
