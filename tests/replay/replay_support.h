#pragma once

// Runs kavarin-replay scripts in-process and picks apart what they print.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/replay/replay.h"

namespace kavarin {

struct ReplayRun {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> lines;  // `out` split into lines

  // The `state` lines, in order, each as a map from field name to its printed value.
  std::vector<std::map<std::string, std::string>> States() const {
    std::vector<std::map<std::string, std::string>> states;
    for (const std::string& line : lines) {
      if (!line.starts_with("state ")) continue;
      std::map<std::string, std::string> fields;
      std::istringstream words(line.substr(6));
      std::string word;
      while (words >> word) {
        const size_t eq = word.find('=');
        fields[word.substr(0, eq)] = eq == std::string::npos ? "" : word.substr(eq + 1);
      }
      states.push_back(fields);
    }
    return states;
  }
  // Index of the first output line equal to `line` at or after `from`, or -1.
  int Find(const std::string& line, size_t from = 0) const {
    for (size_t i = from; i < lines.size(); ++i)
      if (lines[i] == line) return static_cast<int>(i);
    return -1;
  }
  int Count(const std::string& line) const {
    int n = 0;
    for (const std::string& l : lines) n += l == line ? 1 : 0;
    return n;
  }
};

inline ReplayRun RunScript(const std::string& script) {
  std::istringstream in(script);
  std::ostringstream out, err;
  ReplayRun run;
  run.status = RunReplay(in, out, err);
  run.out = out.str();
  run.err = err.str();
  std::istringstream split(run.out);
  for (std::string line; std::getline(split, line);) run.lines.push_back(line);
  return run;
}

}  // namespace kavarin
