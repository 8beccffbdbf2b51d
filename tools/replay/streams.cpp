#include "tools/replay/streams.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kavarin {

namespace {

// Waits until `fd` is ready for `events`; true unless polling itself failed.
bool AwaitReady(int fd, short events) {
  pollfd p{fd, events, 0};
  while (::poll(&p, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

}  // namespace

size_t FdSource::Read(char* data, size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_, data, size);
    if (n >= 0) return static_cast<size_t>(n);
    const int error = errno;
    if (error == EINTR) continue;
    if ((error == EAGAIN || error == EWOULDBLOCK) && AwaitReady(fd_, POLLIN)) continue;
    throw ReadFailure{std::strerror(error)};
  }
}

std::optional<std::string> FdSink::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    // Nothing written, and no error said: it would never end.
    if (n == 0) return std::strerror(EIO);
    const int error = errno;
    if (error == EINTR) continue;
    if ((error == EAGAIN || error == EWOULDBLOCK) && AwaitReady(fd_, POLLOUT)) continue;
    return std::strerror(error);
  }
  return std::nullopt;
}

size_t StreamSource::Read(char* data, size_t size) {
  in_.read(data, static_cast<std::streamsize>(size));
  if (in_.bad()) throw ReadFailure{"the input stream failed"};
  return static_cast<size_t>(in_.gcount());
}

std::optional<std::string> StreamSink::Write(std::string_view bytes) {
  out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out_.flush();
  if (!out_) return "the output stream failed";
  return std::nullopt;
}

}  // namespace kavarin
