#include "tools/replay/arena_command.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "computer/arena.h"
#include "computer/computer_level.h"
#include "tools/replay/replay.h"

namespace kavarin {
namespace {

constexpr std::string_view Usage =
    "kavarin-replay: usage: kavarin-replay --arena LEFT RIGHT [--matches N] [--seed S]\n"
    "  LEFT, RIGHT: a computer level 1, 2 or 3, or random\n";

std::optional<int32_t> PlayerOf(std::string_view word) {
  if (word == "random") return RandomKeys;
  if (word.size() == 1 && word[0] >= '0' + LowestComputerLevel &&
      word[0] <= '0' + HighestComputerLevel)
    return word[0] - '0';
  return std::nullopt;
}

std::optional<uint64_t> NumberOf(std::string_view word, uint64_t highest) {
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || ec != std::errc() || end != word.data() + word.size() || value > highest)
    return std::nullopt;
  return value;
}

}  // namespace

bool IsArenaCommand(int argc, char** argv) {
  return argc > 1 && std::string_view(argv[1]) == "--arena";
}

int RunArena(int argc, char** argv, std::ostream& out, std::ostream& err) {
  auto wrong = [&err](const std::string& why) {
    err << "kavarin-replay: --arena: " << why << "\n" << Usage;
    return ReplayError;
  };
  if (argc < 4) return wrong("needs the two players");
  const auto left = PlayerOf(argv[2]);
  const auto right = PlayerOf(argv[3]);
  if (!left || !right) return wrong("a player is 1, 2, 3 or random");
  uint64_t matches = 20;
  uint64_t seed = 1;
  for (int i = 4; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) return wrong("'" + std::string(option) + "' needs a number");
    if (option == "--matches") {
      const auto n = NumberOf(argv[i + 1], 1000000);
      if (!n || *n == 0) return wrong("--matches takes a number 1..1000000");
      matches = *n;
    } else if (option == "--seed") {
      const auto s = NumberOf(argv[i + 1], UINT64_MAX);
      if (!s) return wrong("--seed takes a number 0.." + std::to_string(UINT64_MAX));
      seed = *s;
    } else {
      return wrong("unknown option '" + std::string(option) + "'");
    }
  }
  const ArenaResult result = PlayArena(*left, *right, static_cast<int64_t>(matches), seed);
  out << ArenaLine(*left, *right, result) << "\n" << std::flush;
  return out ? ReplayOk : ReplayOutputFailed;
}

}  // namespace kavarin
