#pragma once

#include <sys/types.h>

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kavarin {

// Which file a path or descriptor leads to.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// The file open on `fd`, if it can be told.
std::optional<FileId> IdOfOpenFile(int fd);

// A file that must never be replaced, such as the script being read, and how a message calls it.
struct KeptFile {
  FileId id;
  std::string name;
};

// Writes `parts`, one after the other, as the regular file `path`: into a new temporary file in
// the same folder, which replaces `path` only once every byte is written and synced. Through a
// symbolic link, the file it leads to is replaced. Returns nothing when done, or why not; then
// `path` is as it was and the temporary file is gone. Anything at `path` that is not a regular
// file, or that is one of `kept`, is refused untouched: it is never opened.
std::optional<std::string> ReplaceFile(const std::string& path,
                                       std::span<const std::string_view> parts,
                                       std::span<const KeptFile> kept);

// Whether ReplaceFile could replace `path` now: nothing refused stands there, and a file can be
// made beside it. What it says, when it cannot, is why.
std::optional<std::string> CheckReplaceable(const std::string& path,
                                            std::span<const KeptFile> kept);

}  // namespace kavarin
