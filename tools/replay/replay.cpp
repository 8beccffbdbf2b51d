#include "tools/replay/replay.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "computer/computer_player.h"
#include "computer/seeded_random.h"
#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/simulation.h"
#include "match/tick.h"
#include "tools/observers/trace_lines.h"
#include "tools/replay/line_reader.h"

namespace kavarin {

namespace {

// Collects output lines; everything goes to the sink in large pieces. The first piece that
// cannot be written ends all output: the run is to stop, and nothing after it may appear.
class Output {
 public:
  explicit Output(OutputSink& out) : out_(out) { buffer_.reserve(1 << 16); }
  void Text(std::string_view s) { buffer_.append(s); }
  // For the trace's line writers, which append to it directly.
  std::string& Buffer() { return buffer_; }
  void EndLine() {
    buffer_.push_back('\n');
    if (buffer_.size() > (1 << 16)) Flush();
  }
  void Flush() {
    if (!failure_ && !buffer_.empty()) failure_ = out_.Write(buffer_);
    buffer_.clear();
  }
  bool Held() const { return !buffer_.empty(); }
  // Why output was lost, once it was.
  const std::optional<std::string>& Failure() const { return failure_; }

 private:
  OutputSink& out_;
  std::string buffer_;
  std::optional<std::string> failure_;
};

// Prints every drawing call, cue and interval assignment as it happens, while switched on.
class TraceObserver : public Observer {
 public:
  explicit TraceObserver(Output& out) : out_(out) {}
  bool on = false;

  void PolylineDrawn(Color pen, std::span<const Point> points) override {
    if (!on) return;
    AppendPolylineLine(out_.Buffer(), pen, points);
    out_.EndLine();
  }
  void FieldCleared() override {
    if (!on) return;
    out_.Text(ClearLine);
    out_.EndLine();
  }
  void CuePlayed(std::string_view name) override {
    if (!on) return;
    AppendCueLine(out_.Buffer(), name);
    out_.EndLine();
  }
  void IntervalSet(TimerId timer, int32_t interval) override {
    if (!on) return;
    AppendIntervalLine(out_.Buffer(), timer, interval);
    out_.EndLine();
  }

 private:
  Output& out_;
};

// A word as it may be shown in a message: printable ASCII kept, anything else escaped, and long
// words cut short.
std::string Shown(std::string_view word) {
  std::string shown = "'";
  size_t n = 0;
  for (unsigned char c : word) {
    if (++n > 40) {
      shown += "...";
      break;
    }
    if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
      shown.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    }
  }
  return shown + "'";
}

struct LineError {
  std::string what;
};

// A decimal number of digits only, within lowest..highest.
int64_t ParseNumber(std::string_view word, std::string_view what, int64_t lowest, int64_t highest) {
  bool digits = !word.empty();
  for (char c : word) digits = digits && c >= '0' && c <= '9';
  if (!digits) throw LineError{"malformed " + std::string(what) + " " + Shown(word)};
  size_t first = word.find_first_not_of('0');
  const std::string_view significant = first == std::string_view::npos ? "0" : word.substr(first);
  int64_t value = 0;
  if (significant.size() > 18)
    value = highest + 1;  // far beyond every range used here
  else
    std::from_chars(significant.data(), significant.data() + significant.size(), value);
  if (value < lowest || value > highest) {
    throw LineError{std::string(what) + " " + Shown(word) + " out of range " +
                    std::to_string(lowest) + ".." + std::to_string(highest)};
  }
  return value;
}

void ExpectWords(const std::vector<std::string_view>& words, size_t least, size_t most,
                 std::string_view missing) {
  if (words.size() < least) throw LineError{"missing " + std::string(missing)};
  if (words.size() > most) throw LineError{"extra word " + Shown(words[most])};
}

class Replay {
 public:
  Replay(OutputSink& out, std::span<const KeptFile> kept)
      : kept_(kept), out_(out), trace_(out_), match_(sim_, trace_) {
    FormCreate(match_);
  }

  void Run(const std::vector<std::string_view>& words) {
    if (words.empty() || words[0][0] == '#') return;
    const std::string_view command = words[0];
    if (command == "start") {
      ExpectWords(words, 1, 1, "");
      Start(match_);
    } else if (command == "down" || command == "up") {
      ExpectWords(words, 2, 2, "key code");
      const auto key = static_cast<int32_t>(ParseNumber(words[1], "key code", 0, 65535));
      if (command == "down")
        FormKeyDown(match_, key);
      else
        FormKeyUp(match_, key);
    } else if (command == "tick") {
      ExpectWords(words, 1, 2, "");
      const int64_t firings =
          words.size() == 2 ? ParseNumber(words[1], "tick count", 1, 1000000000) : 1;
      ticks_ += firings;
      if (recordFrames_ >= 0 && ticks_ > recordFrames_)
        throw LineError{"the record's first line says " + std::to_string(recordFrames_) +
                        " frames, and it holds more"};
      Fire(firings);
    } else if (command == "state") {
      ExpectWords(words, 1, 1, "");
      PrintState();
    } else if (command == "hash") {
      ExpectWords(words, 1, 1, "");
      PrintHash();
    } else if (command == "trace") {
      ExpectWords(words, 2, 2, "on or off");
      if (words[1] == "on")
        trace_.on = true;
      else if (words[1] == "off")
        trace_.on = false;
      else
        throw LineError{"trace takes on or off, not " + Shown(words[1])};
    } else if (command == "field") {
      ExpectWords(words, 2, 2, "path");
      WriteField(words[1]);
    } else if (command == "computer") {
      ExpectWords(words, 3, 3, "left or right, and a level or off");
      SetComputer(words[1], words[2]);
    } else {
      throw LineError{"unknown command " + Shown(command)};
    }
    // A record ends with its state; one edited to draw its field instead ends as well.
    if (command != "trace") lastWasState_ = command == "state" || command == "field";
  }

  // A record of an online match says how many frames it holds on its first line.
  void ExpectRecord(std::string_view firstComment) {
    static constexpr std::string_view Header = "# Kavarin online match: ";
    if (!firstComment.starts_with(Header)) return;
    const std::string_view rest = firstComment.substr(Header.size());
    const size_t digits = rest.find_first_not_of("0123456789");
    if (digits == 0 || digits == std::string_view::npos || !rest.substr(digits).starts_with(" "))
      return;
    recordFrames_ = ParseNumber(rest.substr(0, digits), "frame count", 0, 1'000'000'000);
  }
  // Why a record ends too soon, if it does: all its frames, then its final state.
  std::optional<std::string> RecordCutShort() const {
    if (recordFrames_ < 0 || (ticks_ == recordFrames_ && lastWasState_)) return std::nullopt;
    return "the record was cut short: its first line says " + std::to_string(recordFrames_) +
           " frames and a final state, and it ends after " + std::to_string(ticks_) + " frames" +
           (lastWasState_ ? "" : " with no final state");
  }

  // Writes what is held back; returns why output was lost, if it was.
  const std::optional<std::string>& Flush() {
    out_.Flush();
    return out_.Failure();
  }
  const std::optional<std::string>& OutputFailure() const { return out_.Failure(); }
  // A program reading the output through a pipe gets each command's lines when it is done.
  void FlushPrinted() {
    if (out_.Held()) out_.Flush();
  }

 private:
  // Runs `firings` timer firings. Once play stops no further firing does anything. Untraced,
  // long runs are shortened exactly: the tick's next state depends on the state alone, so once
  // the state repeats after a full cycle it cycles for ever; and a cycle of drawing calls repeated
  // over the picture it already painted paints the same picture again.
  void Fire(int64_t firings) {
    if (computers_[0] || computers_[1]) return FireWithComputers(firings);
    MatchState cycleStart{};
    int64_t sinceCycleStart = -1;  // no cycle start recorded yet
    for (int64_t left = firings; left > 0 && match_.Running() && !out_.Failure(); --left) {
      if (!trace_.on && left > LongestCycle) {
        if (sinceCycleStart == LongestCycle && sim_.state == cycleStart) {
          left %= LongestCycle;
          if (left == 0) break;
        }
        if (sinceCycleStart < 0 || sinceCycleStart == LongestCycle) {
          cycleStart = sim_.state;
          sinceCycleStart = 0;
        }
      }
      Timer2Timer(match_);
      ++sinceCycleStart;
    }
  }

  // With a computer playing, every firing is played: the computer remembers what it saw, so the
  // state alone no longer decides what comes next. Before each tick the computers see the game
  // and press their keys, the right one's first; once a tick has stopped play they let go.
  void FireWithComputers(int64_t firings) {
    for (int64_t left = firings; left > 0 && !out_.Failure(); --left) {
      ComputerKeys();
      if (!FireTimer(match_)) break;
      if (!match_.Running()) ComputerKeys();
    }
  }

  void ComputerKeys() {
    std::vector<KeyEvent> events;
    for (auto& computer : computers_) {
      if (!computer) continue;
      const auto pressed = computer->Frame(sim_);
      events.insert(events.end(), pressed.begin(), pressed.end());
    }
    ApplyKeys(match_, events);
  }

  // `computer left|right LEVEL` or `computer left|right off`: from the next tick on.
  void SetComputer(std::string_view sideWord, std::string_view level) {
    if (sideWord != "right" && sideWord != "left")
      throw LineError{"computer takes left or right, not " + Shown(sideWord)};
    const Side side = sideWord == "right" ? Side::Right : Side::Left;
    auto& computer = computers_[static_cast<int>(side)];
    if (level == "off") {
      computer.reset();
      return;
    }
    const auto n = static_cast<int32_t>(
        ParseNumber(level, "computer level", LowestComputerLevel, HighestComputerLevel));
    computer = std::make_unique<ComputerPlayer>(
        side, n, MixSeed(ComputerSeed, n, static_cast<uint64_t>(side)));
  }
  static constexpr uint64_t ComputerSeed = 1;

  // A multiple of every cycle untouched play can fall into: the star's 24 ticks, a ship wrapping
  // the 300 rows, and momentum cycling 48, 49, 50 at top speed.
  static constexpr int64_t LongestCycle = 600;

  void PrintState() {
    AppendStateLine(out_.Buffer(), sim_);
    out_.EndLine();
  }

  // The whole simulation's hash, as the online game compares it and the web build checks it.
  void PrintHash() {
    char hex[24];
    std::snprintf(hex, sizeof hex, "hash %016llx",
                  static_cast<unsigned long long>(SimulationHash(sim_)));
    out_.Text(hex);
    out_.EndLine();
  }

  // `field -` prints the picture after the output before it; any other path gets a whole picture
  // or is left as it was.
  void WriteField(std::string_view path) {
    static constexpr std::string_view Header = "P5\n400 300\n255\n";
    const std::string_view pixels(reinterpret_cast<const char*>(sim_.field.Pixels()),
                                  static_cast<size_t>(FieldWidth) * FieldHeight);
    if (path == "-") {
      out_.Text(Header);
      out_.Text(pixels);
      out_.Flush();
      return;
    }
    if (path.find('\0') != std::string_view::npos) throw LineError{"malformed path " + Shown(path)};
    out_.Flush();  // what was printed before the picture is out before it
    if (out_.Failure()) return;
    const std::string_view parts[] = {Header, pixels};
    if (auto why = ReplaceFile(std::string(path), parts, kept_))
      throw LineError{"cannot write " + Shown(path) + ": " + *why};
  }

  std::span<const KeptFile> kept_;
  int64_t ticks_ = 0;          // timer firings asked for
  int64_t recordFrames_ = -1;  // the frames a record says it holds, or -1
  bool lastWasState_ = false;
  Output out_;
  TraceObserver trace_;
  Simulation sim_;
  Match match_;
  std::unique_ptr<ComputerPlayer> computers_[2];  // by Side: right, left
};

// How many words a command takes, its name included.
size_t WordsTaken(std::string_view name) {
  for (std::string_view command : {"down", "up", "tick", "trace", "field"})
    if (name == command) return 2;
  if (name == "computer") return 3;
  return 1;
}

}  // namespace

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t begin = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > begin) words.push_back(line.substr(begin, i - begin));
  }
  return words;
}

int RunReplay(ScriptSource& script, OutputSink& out, std::ostream& err,
              std::span<const KeptFile> kept) {
  Replay replay(out, kept);
  LineReader reader(script, WordsTaken);
  // One message, for whichever failure came first: lost output, an unreadable script or a bad line.
  auto outputLost = [&err](const std::string& why) {
    err << "kavarin-replay: cannot write standard output: " << why << "\n";
    return ReplayOutputFailed;
  };
  try {
    while (reader.Next()) {
      try {
        if (reader.Number() == 1) replay.ExpectRecord(reader.FirstComment());
        replay.Run(reader.Words());
      } catch (const LineError& e) {
        if (const auto& lost = replay.Flush()) return outputLost(*lost);
        err << "kavarin-replay: line " << reader.Number() << ": " << e.what << "\n";
        return ReplayError;
      }
      replay.FlushPrinted();
      if (const auto& lost = replay.OutputFailure()) return outputLost(*lost);
    }
  } catch (const ReadFailure& e) {
    if (const auto& lost = replay.Flush()) return outputLost(*lost);
    err << "kavarin-replay: line " << reader.Number() + 1 << ": cannot read the script: " << e.cause
        << "\n";
    return ReplayError;
  }
  if (const auto& lost = replay.Flush()) return outputLost(*lost);
  if (const auto cut = replay.RecordCutShort()) {
    err << "kavarin-replay: line " << reader.Number() + 1 << ": " << *cut << "\n";
    return ReplayError;
  }
  return ReplayOk;
}

int RunReplay(std::istream& script, std::ostream& out, std::ostream& err) {
  StreamSource source(script);
  StreamSink sink(out);
  return RunReplay(source, sink, err);
}

}  // namespace kavarin
