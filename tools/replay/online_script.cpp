#include "tools/replay/online_script.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "online/own_ship_keys.h"
#include "tools/replay/line_reader.h"

namespace kavarin {

namespace {

struct BadLine {
  std::string what;
};

int64_t Number(std::string_view word, std::string_view what, int64_t highest) {
  int64_t value = 0;
  bool ok = !word.empty();
  for (char c : word) {
    ok = ok && c >= '0' && c <= '9';
    if (ok) value = std::min<int64_t>(value * 10 + (c - '0'), highest + 1);
  }
  if (!ok || value > highest)
    throw BadLine{std::string(what) + " '" + std::string(word.substr(0, 40)) +
                  "' is not a number in 0.." + std::to_string(highest)};
  return value;
}

// How many words an online script's command takes, its name included.
size_t OnlineWordsTaken(std::string_view name) {
  return name == "down" || name == "up" || name == "tick" ? 2 : 1;
}

}  // namespace

std::vector<Step> ReadSteps(ScriptSource& source, Player player, std::ostream& err, bool& ok) {
  std::vector<Step> steps;
  Step step;
  int64_t frames = 0;  // the frames the steps kept run
  // Kept are the steps of the longest match only, ticks without events joined into the step
  // before: the steps held are bounded however long the script. The rest is still checked.
  const auto keep = [&](const Step& s) {
    if (frames >= LongestMatchFrames) return;
    if (s.events.Empty() && !steps.empty())
      steps.back().ticks += s.ticks;
    else
      steps.push_back(s);
    frames = std::min(frames + s.ticks, LongestMatchFrames);
  };
  LineReader reader(source, OnlineWordsTaken);
  ok = true;
  try {
    while (reader.Next()) {
      const std::vector<std::string_view>& words = reader.Words();
      if (words.empty()) continue;  // blank, or a comment
      const std::string_view command = words[0];
      const size_t wanted = command == "down" || command == "up" ? 2 : command == "tick" ? 0 : 1;
      if (command != "down" && command != "up" && command != "start" && command != "tick")
        throw BadLine{"'" + std::string(command.substr(0, 40)) +
                      "' cannot be used online: only down, up, start and tick"};
      if ((wanted != 0 && words.size() != wanted) || words.size() > 2)
        throw BadLine{"wrong number of words for " + std::string(command)};
      if (command == "tick") {
        step.ticks = words.size() == 2 ? Number(words[1], "tick count", 1'000'000'000) : 1;
        if (step.ticks == 0) throw BadLine{"tick count 0"};
        keep(step);
        step = Step{};
        continue;
      }
      InputEvent event{EventKind::Start, 0};
      if (command != "start") {
        event.kind = command == "down" ? EventKind::KeyDown : EventKind::KeyUp;
        event.key = static_cast<uint16_t>(Number(words[1], "key code", 65535));
      }
      // Keys the game does not use are dropped, as the session drops them.
      if (const std::optional<InputEvent> own = ForOwnShip(player, event)) {
        if (!step.events.Add(*own))
          throw BadLine{"more than " + std::to_string(MaxEventsPerFrame) + " events in one frame"};
      }
    }
  } catch (const BadLine& bad) {
    err << "kavarin-replay: line " << reader.Number() << ": " << bad.what << "\n";
    ok = false;
    return steps;
  } catch (const ReadFailure& failure) {
    err << "kavarin-replay: line " << reader.Number() + 1
        << ": cannot read the script: " << failure.cause << "\n";
    ok = false;
    return steps;
  }
  if (!step.events.Empty()) keep(step);  // a frame of its own
  return steps;
}

void Feeder::Feed(Session& session) {
  if (!Done() && !fed_) {
    for (const InputEvent& e : steps_[step_].events.Events()) session.Input(e);
    fed_ = true;
    left_ = steps_[step_].ticks;
    if (left_ == 0) Next();
  }
  if (Done() && !ended_) {
    session.EndInputs();
    ended_ = true;
  }
}

}  // namespace kavarin
