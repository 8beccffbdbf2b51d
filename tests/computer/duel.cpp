#include "tests/computer/duel.h"

#include <memory>

#include "computer/random_keys.h"
#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"
#include "tools/observers/trace_lines.h"

namespace kavarin {
namespace {

void Write(std::string& script, std::span<const KeyEvent> events) {
  for (const KeyEvent& e : events)
    script += (e.down ? "down " : "up ") + std::to_string(e.key) + "\n";
}

}  // namespace

DuelLog PlayDuel(const DuelOptions& options) {
  DuelLog log;
  auto sim = std::make_unique<Simulation>();
  Match match(*sim);
  FormCreate(match);
  Start(match);
  log.script = "start\n";
  ComputerPlayer computer(options.side, options.level, options.seed);
  RandomKeyPlayer opponent(Opponent(options.side), options.opponentSeed);
  RandomKeyPlayer later(Opponent(options.side), options.laterSeed);
  int64_t ticks = 0;
  auto flushTicks = [&] {
    if (ticks > 0) log.script += "tick " + std::to_string(ticks) + "\n";
    ticks = 0;
  };
  for (int64_t frame = 0; frame < options.frames; ++frame) {
    RandomKeyPlayer& other = options.changeAt >= 0 && frame >= options.changeAt ? later : opponent;
    const std::span<const KeyEvent> mine = computer.Frame(*sim);
    log.computer.emplace_back(mine.begin(), mine.end());
    const std::span<const KeyEvent> theirs = other.Frame(*sim);
    // The right player's keys first, as the arena gives them.
    const bool computerFirst = options.side == Side::Right;
    std::vector<KeyEvent> events(computerFirst ? mine.begin() : theirs.begin(),
                                 computerFirst ? mine.end() : theirs.end());
    events.insert(events.end(), computerFirst ? theirs.begin() : mine.begin(),
                  computerFirst ? theirs.end() : mine.end());
    if (!events.empty()) flushTicks();
    Write(log.script, events);
    if (!computerFirst) ApplyKeys(match, theirs);
    const bool stopped = !match.Running();
    ApplyKeys(match, mine);
    if (stopped && match.Running()) log.continuedByComputer = true;
    if (computerFirst) ApplyKeys(match, theirs);
    if (FireTimer(match)) {
      ++ticks;
    } else if (sim->state.LeftScore < WinningScore && sim->state.RightScore < WinningScore) {
      flushTicks();
      log.script += "down 32\n";
      FormKeyDown(match, VkSpace);
    } else {
      flushTicks();
      log.script += "start\n";
      Start(match);
    }
  }
  flushTicks();
  log.script += "state\n";
  AppendStateLine(log.finalState, *sim);
  return log;
}

}  // namespace kavarin
