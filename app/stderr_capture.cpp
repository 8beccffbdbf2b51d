#include "app/stderr_capture.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

namespace kavarin {

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  file_ = ::memfd_create("kavarin-stderr", MFD_CLOEXEC);
  if (file_ < 0) return;
  saved_ = ::dup(STDERR_FILENO);
  if (saved_ < 0 || ::dup2(file_, STDERR_FILENO) < 0) {
    if (saved_ >= 0) ::close(saved_);
    ::close(file_);
    saved_ = file_ = -1;
  }
}

StderrCapture::~StderrCapture() {
  const std::string held = Release();
  if (!held.empty()) {
    std::fputs(held.c_str(), stderr);
    std::fflush(stderr);
  }
}

std::string StderrCapture::Release() {
  if (file_ < 0) return {};
  std::fflush(stderr);
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
  std::string held;
  char chunk[4096];
  ssize_t n;
  off_t at = 0;
  while ((n = ::pread(file_, chunk, sizeof chunk, at)) > 0) {
    held.append(chunk, static_cast<size_t>(n));
    at += n;
  }
  ::close(file_);
  saved_ = file_ = -1;
  return held;
}

}  // namespace kavarin
