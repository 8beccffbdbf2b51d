#pragma once

#include <string>

namespace kavarin {

// Holds back everything written to standard error, at the descriptor, so that libraries that
// print for themselves are caught too, until Release. Where no file can be made for it, nothing
// is held back.
class StderrCapture {
 public:
  StderrCapture();
  // Releases what is still held, passing it on to standard error.
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Puts standard error back and returns what was written to it meanwhile; empty once released.
  std::string Release();

 private:
  int saved_ = -1;  // standard error as it was
  int file_ = -1;   // where it goes meanwhile
};

}  // namespace kavarin
