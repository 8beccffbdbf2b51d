// kavarin-replay: runs scripted matches on the game core, with no window, timers or sound.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string_view>

#include "tools/replay/online_peer.h"
#include "tools/replay/replay.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (kavarin::IsOnlinePeerCommand(argc, argv))
    return kavarin::RunOnlinePeer(argc, argv, std::cout, std::cerr);
  if (argc > 2) {
    std::cerr << "kavarin-replay: usage: kavarin-replay [SCRIPT]\n"
                 "       kavarin-replay --host PORT | --join HOST[:PORT] [--record FILE] SCRIPT\n";
    return kavarin::ReplayError;
  }
  const std::string_view path = argc == 2 ? argv[1] : "-";
  if (path == "-") return kavarin::RunReplay(std::cin, std::cout, std::cerr);
  std::ifstream script(argv[1], std::ios::binary);
  if (!script) {
    std::cerr << "kavarin-replay: cannot read '" << path << "': " << std::strerror(errno) << "\n";
    return kavarin::ReplayError;
  }
  return kavarin::RunReplay(script, std::cout, std::cerr);
}
