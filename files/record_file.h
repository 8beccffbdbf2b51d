#pragma once

#include <span>
#include <string>
#include <string_view>

#include "files/safe_file.h"

namespace kavarin {

// Whether `path` may be written as a record, checked before a match so that its end does not find
// the record unwritable: it names a regular file or nothing yet, in a folder where a file can be
// made, and none of `kept`. Otherwise `error` says why.
bool MayWriteRecord(const std::string& path, std::string& error,
                    std::span<const KeptFile> kept = {});

// Writes `text` to `path` whole or not at all: into a new file beside it, which then replaces
// `path` in one step, so a failure never leaves a half-written or emptied record behind.
bool WriteRecord(const std::string& path, std::string_view text, std::string& error,
                 std::span<const KeptFile> kept = {});

}  // namespace kavarin
