#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace kavarin {

// A failure to read the script, with its cause in words.
struct ReadFailure {
  std::string cause;
};

// Where a script's bytes come from.
class ScriptSource {
 public:
  virtual ~ScriptSource() = default;
  // Puts up to `size` bytes in `data` and returns how many, 0 only at the end of the script.
  // Throws ReadFailure.
  virtual size_t Read(char* data, size_t size) = 0;
};

// Where the output goes.
class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // Writes all of `bytes`, or returns why it could not.
  virtual std::optional<std::string> Write(std::string_view bytes) = 0;
};

// An open file descriptor. Interrupted calls are resumed, and one left non-blocking by whoever
// started the tool is waited on rather than reported as a failure.
class FdSource : public ScriptSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  size_t Read(char* data, size_t size) override;

 private:
  int fd_;
};

class FdSink : public OutputSink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  std::optional<std::string> Write(std::string_view bytes) override;

 private:
  int fd_;
};

// Standard streams, for scripts run in-process. A failed stream tells no cause of its own.
class StreamSource : public ScriptSource {
 public:
  explicit StreamSource(std::istream& in) : in_(in) {}
  size_t Read(char* data, size_t size) override;

 private:
  std::istream& in_;
};

class StreamSink : public OutputSink {
 public:
  explicit StreamSink(std::ostream& out) : out_(out) {}
  std::optional<std::string> Write(std::string_view bytes) override;

 private:
  std::ostream& out_;
};

}  // namespace kavarin
