#pragma once

#include <string>
#include <string_view>

namespace kavarin {

// Whether `path` may be written as a record: it names a regular file or nothing yet. Anything
// else (a folder, a device, a pipe, a symbolic link) is refused with `error` set.
bool MayWriteRecord(const std::string& path, std::string& error);

// Writes `text` to `path` whole or not at all: into a new file beside it, which then replaces
// `path` in one step, so a failure never leaves a half-written or emptied record behind.
bool WriteRecord(const std::string& path, std::string_view text, std::string& error);

}  // namespace kavarin
