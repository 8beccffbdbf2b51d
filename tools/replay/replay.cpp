#include "tools/replay/replay.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "match/keys.h"
#include "match/match.h"
#include "match/resets.h"
#include "match/tick.h"
#include "render/field.h"
#include "tools/replay/line_reader.h"

namespace kavarin {

namespace {

// Collects output lines; everything goes to the sink in large pieces. The first piece that
// cannot be written ends all output: the run is to stop, and nothing after it may appear.
class Output {
 public:
  explicit Output(OutputSink& out) : out_(out) { buffer_.reserve(1 << 16); }
  void Text(std::string_view s) { buffer_.append(s); }
  void Number(int64_t v) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, v);
    buffer_.append(digits, end);
  }
  void EndLine() {
    buffer_.push_back('\n');
    if (buffer_.size() > (1 << 16)) Flush();
  }
  void Flush() {
    if (!failure_ && !buffer_.empty()) failure_ = out_.Write(buffer_);
    buffer_.clear();
  }
  // Why output was lost, once it was.
  const std::optional<std::string>& Failure() const { return failure_; }

 private:
  OutputSink& out_;
  std::string buffer_;
  std::optional<std::string> failure_;
};

struct Trace {
  Output& out;
  bool on = false;
};

class TraceSurface : public DrawingSurface {
 public:
  TraceSurface(Field& field, Trace& trace) : field_(field), trace_(trace) {}
  void SetPenColor(Color color) override { field_.SetPenColor(color); }
  void Polyline(std::span<const Point> points) override {
    if (trace_.on) {
      trace_.out.Text(field_.PenColor() == Color::White ? "polyline FFFFFF" : "polyline 000000");
      for (const Point& p : points) {
        trace_.out.Text(" ");
        trace_.out.Number(p.x);
        trace_.out.Text(",");
        trace_.out.Number(p.y);
      }
      trace_.out.EndLine();
    }
    field_.Polyline(points);
  }
  void ClearField() override {
    if (trace_.on) {
      trace_.out.Text("clear");
      trace_.out.EndLine();
    }
    field_.ClearField();
  }
  void SetBackgroundColor(Color color) override { field_.SetBackgroundColor(color); }
  void SetClientSize(int32_t width, int32_t height) override {
    field_.SetClientSize(width, height);
  }

 private:
  Field& field_;
  Trace& trace_;
};

class TraceCues : public CuePlayer {
 public:
  explicit TraceCues(Trace& trace) : trace_(trace) {}
  void PlayCue(std::string_view name) override {
    if (!trace_.on) return;
    trace_.out.Text("cue ");
    trace_.out.Text(name);
    trace_.out.EndLine();
  }

 private:
  Trace& trace_;
};

class TraceTimers : public HeadlessTimers {
 public:
  explicit TraceTimers(Trace& trace) : trace_(trace) {}
  void SetInterval(TimerId timer, int32_t interval) override {
    if (trace_.on) {
      static constexpr const char* Names[] = {"interval Timer1 ", "interval Timer2 ",
                                              "interval Timer3 "};
      trace_.out.Text(Names[static_cast<size_t>(timer)]);
      trace_.out.Number(interval);
      trace_.out.EndLine();
    }
    HeadlessTimers::SetInterval(timer, interval);
  }

 private:
  Trace& trace_;
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
      : kept_(kept),
        out_(out),
        trace_{out_},
        surface_(field_, trace_),
        cues_(trace_),
        timers_(trace_),
        match_{MatchState{}, surface_, cues_, timers_} {
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
      Fire(firings);
    } else if (command == "state") {
      ExpectWords(words, 1, 1, "");
      PrintState();
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
    } else {
      throw LineError{"unknown command " + Shown(command)};
    }
  }

  // Writes what is held back; returns why output was lost, if it was.
  const std::optional<std::string>& Flush() {
    out_.Flush();
    return out_.Failure();
  }
  const std::optional<std::string>& OutputFailure() const { return out_.Failure(); }

 private:
  // Runs `firings` timer firings. Once play stops no further firing does anything. Untraced,
  // long runs are shortened exactly: the tick's next state depends on the state alone, so once
  // the state repeats after a full cycle it cycles for ever; and a cycle of drawing calls repeated
  // over the picture it already painted paints the same picture again.
  void Fire(int64_t firings) {
    MatchState cycleStart{};
    int64_t sinceCycleStart = -1;  // no cycle start recorded yet
    for (int64_t left = firings; left > 0 && !AllStopped(timers_) && !out_.Failure(); --left) {
      if (!trace_.on && left > LongestCycle) {
        if (sinceCycleStart == LongestCycle && match_.state == cycleStart) {
          left %= LongestCycle;
          if (left == 0) break;
        }
        if (sinceCycleStart < 0 || sinceCycleStart == LongestCycle) {
          cycleStart = match_.state;
          sinceCycleStart = 0;
        }
      }
      Timer2Timer(match_);
      ++sinceCycleStart;
    }
  }

  // A multiple of every cycle untouched play can fall into: the star's 24 ticks, a ship wrapping
  // the 300 rows, and momentum cycling 48, 49, 50 at top speed.
  static constexpr int64_t LongestCycle = 600;

  void PrintState() {
    out_.Text("state");
    auto print = [this](const char* name, const auto& value) {
      out_.Text(" ");
      out_.Text(name);
      out_.Text("=");
      if constexpr (std::is_same_v<std::decay_t<decltype(value)>, WreckOffsets>) {
        for (size_t i = 0; i < value.size(); ++i) {
          if (i > 0) out_.Text(",");
          out_.Number(value[i]);
        }
      } else {
        out_.Number(value);
      }
    };
    ForEachField(match_.state, print);
    static constexpr const char* Names[] = {" Timer1=", " Timer2=", " Timer3="};
    for (TimerId t : {TimerId::Timer1, TimerId::Timer2, TimerId::Timer3}) {
      out_.Text(Names[static_cast<size_t>(t)]);
      out_.Number(timers_.Interval(t));
    }
    out_.EndLine();
  }

  // `field -` prints the picture after the output before it; any other path gets a whole picture
  // or is left as it was.
  void WriteField(std::string_view path) {
    static constexpr std::string_view Header = "P5\n400 300\n255\n";
    const std::string_view pixels(reinterpret_cast<const char*>(field_.Pixels()),
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
  Output out_;
  Trace trace_;
  Field field_;
  TraceSurface surface_;
  TraceCues cues_;
  TraceTimers timers_;
  Match match_;
};

// How many words a command takes, its name included.
size_t WordsTaken(std::string_view name) {
  for (std::string_view command : {"down", "up", "tick", "trace", "field"})
    if (name == command) return 2;
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
        replay.Run(reader.Words());
      } catch (const LineError& e) {
        if (const auto& lost = replay.Flush()) return outputLost(*lost);
        err << "kavarin-replay: line " << reader.Number() << ": " << e.what << "\n";
        return ReplayError;
      }
      if (const auto& lost = replay.OutputFailure()) return outputLost(*lost);
    }
  } catch (const ReadFailure& e) {
    if (const auto& lost = replay.Flush()) return outputLost(*lost);
    err << "kavarin-replay: line " << reader.Number() + 1 << ": cannot read the script: " << e.cause
        << "\n";
    return ReplayError;
  }
  if (const auto& lost = replay.Flush()) return outputLost(*lost);
  return ReplayOk;
}

int RunReplay(std::istream& script, std::ostream& out, std::ostream& err) {
  StreamSource source(script);
  StreamSink sink(out);
  return RunReplay(source, sink, err);
}

}  // namespace kavarin
