// kavarin-replay: runs scripted matches on the game core, with no window, timers or sound.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <new>
#include <string_view>
#include <vector>

#include "tools/replay/arena_command.h"
#include "tools/replay/online_peer.h"
#include "tools/replay/replay.h"

namespace {

// A standard descriptor that was closed gets /dev/null opened the wrong way round, so that
// using it fails as it would have, and no file the tool opens later takes its place.
void HoldStandardDescriptors() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

// The tool itself, below main.
int Run(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
  // Memory runs out with one line and a status, never an abort.
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    static constexpr char Said[] = "kavarin-replay: out of memory\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, Said, sizeof Said - 1);
    return kavarin::ReplayError;
  }
}

namespace {

int Run(int argc, char** argv) {
  HoldStandardDescriptors();
  // A reader that has gone shows as a failed write, reported like any other.
  std::signal(SIGPIPE, SIG_IGN);
  if (kavarin::IsArenaCommand(argc, argv))
    return kavarin::RunArena(argc, argv, std::cout, std::cerr);
  if (kavarin::IsOnlinePeerCommand(argc, argv)) {
    kavarin::FdSink out(STDOUT_FILENO);
    return kavarin::RunOnlinePeer(argc, argv, out, std::cerr);
  }
  if (argc > 2) {
    std::cerr
        << "kavarin-replay: usage: kavarin-replay [SCRIPT]\n"
           "       kavarin-replay --host PORT [--no-router] | --join HOST[:PORT] [--record FILE] "
           "SCRIPT\n"
           "       kavarin-replay --lobby HOST[:PORT] --new-room | --room CODE [--record FILE] "
           "SCRIPT\n"
           "       kavarin-replay --arena LEFT RIGHT [--matches N] [--seed S]\n";
    return kavarin::ReplayError;
  }
  const std::string_view path = argc == 2 ? argv[1] : "-";
  int script = STDIN_FILENO;
  if (path != "-") {
    script = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (script < 0) {
      std::cerr << "kavarin-replay: cannot read '" << path << "': " << std::strerror(errno) << "\n";
      return kavarin::ReplayError;
    }
  }
  std::vector<kavarin::KeptFile> kept;
  if (auto id = kavarin::IdOfOpenFile(script)) kept.push_back({*id, "the script being read"});
  if (auto id = kavarin::IdOfOpenFile(STDOUT_FILENO))
    kept.push_back({*id, "standard output (field - writes there)"});
  kavarin::FdSource source(script);
  kavarin::FdSink out(STDOUT_FILENO);
  return kavarin::RunReplay(source, out, std::cerr, kept);
}

}  // namespace
