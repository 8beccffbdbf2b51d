// Runs saved fuzz inputs (the seed corpus and every input the fuzzer once failed on) through the
// same checks as the fuzzer, without libFuzzer: kavarin-replay-regress FILE-OR-FOLDER... It is
// linked with each fuzzer's checks in turn (kavarin-packet-regress too).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/replay_fuzz.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const std::string name = fs::path(argc > 0 ? argv[0] : "regress").filename().string();
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg = argv[i];
    if (fs::is_directory(arg)) {
      for (const auto& entry : fs::directory_iterator(arg))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else if (fs::is_regular_file(arg)) {
      inputs.push_back(arg);
    } else {
      std::fprintf(stderr, "%s: no such input '%s'\n", name.c_str(), argv[i]);
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "%s: no inputs given\n", name.c_str());
    return 2;
  }
  for (const fs::path& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (!file.eof() && file.fail()) {
      std::fprintf(stderr, "%s: cannot read '%s'\n", name.c_str(), path.c_str());
      return 2;
    }
    std::printf("%s\n", path.filename().c_str());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("%zu inputs ran cleanly\n", inputs.size());
  return 0;
}
