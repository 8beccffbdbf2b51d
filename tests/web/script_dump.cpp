// kavarin-script-dump FIRST COUNT FOLDER: writes COUNT random replay scripts (seeds FIRST on) into
// FOLDER as script-SEED.txt, with a "hash" line after every few lines and at the end, for the
// web build to be checked against the native one.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/model/script_gen.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: kavarin-script-dump FIRST COUNT FOLDER\n";
    return 2;
  }
  const auto first = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
  const auto count = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  for (uint32_t seed = first; seed < first + count; ++seed) {
    const std::string path = std::string(argv[3]) + "/script-" + std::to_string(seed) + ".txt";
    std::ofstream out(path, std::ios::binary);
    std::istringstream lines(kavarin_model::GenerateScript(seed).script);
    std::string line;
    for (int n = 1; std::getline(lines, line); ++n) {
      out << line << "\n";
      if (n % 4 == 0) out << "hash\n";
    }
    out << "hash\n";
    if (!out.flush()) {
      std::cerr << "kavarin-script-dump: cannot write " << path << "\n";
      return 1;
    }
  }
  return 0;
}
