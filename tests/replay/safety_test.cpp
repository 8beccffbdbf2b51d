// kavarin-replay against hostile paths and faults: field files, lost output, huge lines, CR LF
// line ends, and the causes its messages give.

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "replay_support.h"

namespace kavarin {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder for one test; the tool runs inside it, so that messages name short paths.
struct Scratch {
  Scratch() {
    std::string name = (fs::path(::testing::TempDir()) / "kavarin-replay-XXXXXX").string();
    EXPECT_NE(mkdtemp(name.data()), nullptr);
    dir = name;
  }
  ~Scratch() {
    fs::remove_all(dir);
    fs::remove(dir.string() + ".out");
    fs::remove(dir.string() + ".err");
  }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name, std::ios::binary) << text;
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename());
    return names;
  }
  // Runs `sh -c COMMAND` in the folder, with $R naming the tool.
  ReplayRun Shell(const std::string& command) const {
    const std::string out = dir.string() + ".out", err = dir.string() + ".err";
    const std::string line = "cd '" + dir.string() + "' && R='" + KAVARIN_REPLAY_EXE + "' && { " +
                             command + "; } >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(line.c_str());
    ReplayRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
  }
  fs::path dir;
};

struct stat Stat(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

const std::string Header = "P5\n400 300\n255\n";

TEST(ReplayFieldFile, RefusesAnythingButARegularFileAndLeavesItAlone) {
  Scratch s;
  ASSERT_EQ(mkfifo((s.dir / "fifo").c_str(), 0600), 0);
  fs::create_directory(s.dir / "folder");
  fs::create_symlink("fifo", s.dir / "to-fifo");
  fs::create_symlink("missing", s.dir / "to-nothing");
  // A copy of /dev/full: a failed write once removed whatever the path named.
  const bool device = mknod((s.dir / "full").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0;
  s.Write("out", "");
  struct Case {
    std::string path, run, why;
  };
  const Case cases[] = {
      {"folder", "$R script", "Is a directory"},
      {"fifo", "$R script", "not a regular file"},
      {"to-fifo", "$R script", "not a regular file"},
      {"to-nothing", "$R script", "a symbolic link to nothing"},
      {device ? "full" : "/dev/null", "$R script", "not a regular file"},
      {"script", "$R script", "it is the script being read"},
      {"script", "$R <script", "it is the script being read"},
      {"out", "$R script >out", "it is standard output (field - writes there)"},
  };
  for (const Case& c : cases) {
    const std::string script = "state\nfield " + c.path + "\nstate\n";
    s.Write("script", script);
    const struct stat before = Stat(s.dir / c.path);
    const ReplayRun run = s.Shell("timeout 10 " + c.run);
    EXPECT_EQ(run.status, 2) << c.path;
    EXPECT_EQ(run.err, "kavarin-replay: line 2: cannot write '" + c.path + "': " + c.why + "\n");
    const struct stat after = Stat(s.dir / c.path);
    EXPECT_EQ(after.st_ino, before.st_ino) << c.path;
    EXPECT_EQ(after.st_mode, before.st_mode) << c.path;
    EXPECT_EQ(ReadAll(s.dir / "script"), script);
  }
  EXPECT_EQ(s.Names().size(), device ? 7u : 6u) << "no temporary file left";
}

TEST(ReplayFieldFile, AFailedWriteLeavesThePathAsItWas) {
  Scratch s;
  s.Write("old.pgm", "the old picture");
  s.Write("script", "start\ntick\nfield old.pgm\n");
  s.Write("script2", "field new.pgm\n");
  // Files may not grow past a few KiB here, so the picture fails part way.
  for (const std::string script : {"script", "script2"}) {
    const ReplayRun run = s.Shell("(trap '' XFSZ; ulimit -f 8; exec $R " + script + ")");
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.ends_with(": File too large\n")) << run.err;
  }
  EXPECT_EQ(ReadAll(s.dir / "old.pgm"), "the old picture");
  EXPECT_EQ(s.Names(), (std::set<std::string>{"old.pgm", "script", "script2"}));
}

TEST(ReplayFieldFile, AWholePictureReplacesAFileKeepingItsPermissionsAndLinks) {
  Scratch s;
  s.Write("picture", "old");
  fs::permissions(s.dir / "picture", fs::perms(0640));
  fs::create_symlink("picture", s.dir / "link");
  s.Write("script", "start\ntick\nfield link\nfield new.pgm\n");
  const ReplayRun run = s.Shell("umask 022 && $R script");
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string picture = ReadAll(s.dir / "picture");
  EXPECT_EQ(picture.size(), Header.size() + 400 * 300);
  EXPECT_TRUE(picture.starts_with(Header));
  EXPECT_EQ(ReadAll(s.dir / "new.pgm"), picture);
  EXPECT_EQ(Stat(s.dir / "picture").st_mode & 07777, 0640u);
  EXPECT_EQ(Stat(s.dir / "new.pgm").st_mode & 07777, 0644u);
  EXPECT_TRUE(fs::is_symlink(s.dir / "link"));
  EXPECT_EQ(s.Names(), (std::set<std::string>{"picture", "link", "new.pgm", "script"}));

  // `field -` prints the same picture, after the output that came before it.
  const std::string path = (s.dir / "same.pgm").string();
  const ReplayRun dash = RunScript("start\ntick\nstate\nfield -\nfield " + path + "\nstate\n");
  ASSERT_EQ(dash.status, 0) << dash.err;
  const size_t end = dash.out.find('\n') + 1;
  EXPECT_EQ(dash.out.substr(end, picture.size()), ReadAll(path));
  EXPECT_EQ(dash.out.substr(0, end) + dash.out.substr(end + picture.size()),
            dash.lines[0] + "\n" + dash.lines[0] + "\n");
  // A picture written to a file comes after the output before it, too.
  struct Noting : OutputSink {
    std::optional<std::string> Write(std::string_view bytes) override {
      if (bytes.starts_with("state")) pictureFirst = fs::exists(picture);
      return std::nullopt;
    }
    fs::path picture;
    bool pictureFirst = true;
  } noting;
  noting.picture = s.dir / "late.pgm";
  std::istringstream in("state\nfield " + noting.picture.string() + "\n");
  StreamSource source(in);
  std::ostringstream err;
  EXPECT_EQ(RunReplay(source, noting, err), ReplayOk) << err.str();
  EXPECT_FALSE(noting.pictureFirst);
}

// Takes `room` bytes, then fails as a full disk does.
struct FullSink : OutputSink {
  explicit FullSink(size_t room) : room(room) {}
  std::optional<std::string> Write(std::string_view bytes) override {
    if (failures > 0 || bytes.size() > room) {
      ++failures;
      return "No space left on device";
    }
    room -= bytes.size();
    return std::nullopt;
  }
  size_t room;
  int failures = 0;
};

TEST(ReplayOutputFailure, TheFirstLostWriteStopsTheRunAtOnceWithOneMessage) {
  const std::string lost =
      "kavarin-replay: cannot write standard output: No space left on device\n";
  // A billion traced ticks would run for hours, and the bad line would have its own message.
  const std::string traced = "trace on\nstart\ndown 83\ntick 1000000000\n";
  const std::pair<std::string, size_t> cases[] = {
      {traced, 0}, {traced, 100000}, {traced, 1000000}, {"state\nbogus\n", 0}};
  for (const auto& [script, room] : cases) {
    std::istringstream in(script);
    StreamSource source(in);
    FullSink sink(room);
    std::ostringstream err;
    EXPECT_EQ(RunReplay(source, sink, err), ReplayOutputFailed);
    EXPECT_EQ(sink.failures, 1) << "nothing is written after the first failure";
    EXPECT_EQ(err.str(), lost);
  }
  Scratch s;
  s.Write("short", "start\ntick 5\nstate\n");
  s.Write("long", "trace on\nstart\ndown 83\ntick 1000000000\n");
  const ReplayRun full = s.Shell("$R short >/dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, lost);
  // A reader that goes away, whether SIGPIPE is ignored or not.
  for (const std::string pipe : {"", "trap '' PIPE; "}) {
    const ReplayRun gone =
        s.Shell(pipe + "(timeout 20 $R long; echo $? >status) | head -c 1000 >/dev/null");
    EXPECT_EQ(ReadAll(s.dir / "status"), "1\n") << "124 when it kept running";
    EXPECT_EQ(gone.err, "kavarin-replay: cannot write standard output: Broken pipe\n");
  }
}

// `head`, `count` copies of `unit`, then `tail`, made as they are read, noting the most heap
// that was in use at any read. Then the end, or a failure as a disk's.
struct MadeScript : ScriptSource {
  static size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
  }
  MadeScript(std::string head, std::string unit, size_t count, std::string tail)
      : text(std::move(head)), unit(std::move(unit)), count(count), tail(std::move(tail)) {}
  size_t Read(char* data, size_t size) override {
    peak = std::max(peak, HeapInUse());
    while (text.size() < size && (count > 0 || !tail.empty())) {
      if (count == 0) {
        text += std::exchange(tail, "");
      } else {
        text += unit;
        --count;
      }
    }
    if (text.empty() && fails) throw ReadFailure{"Input/output error"};
    const size_t n = std::min(size, text.size());
    std::copy_n(text.data(), n, data);
    text.erase(0, n);
    return n;
  }
  std::string text, unit;
  size_t count;
  std::string tail;
  size_t peak = 0;
  bool fails = false;
};

TEST(ReplayReading, MemoryFollowsTheArgumentsNotTheLine) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator does not report its heap";
#endif
  constexpr size_t Line = 50 << 20, MiB = 1 << 20;
  struct Case {
    const char* head;
    std::string unit;
    const char* tail;
    std::string err;
    size_t most;
  };
  const std::string line1 = "kavarin-replay: line 1: ";
  const Case cases[] = {
      {"#", "x", "\nstate\n", "", MiB},
      {"", "x", "\n", line1 + "unknown command '" + std::string(40, 'x') + "...'\n", MiB},
      {"state ", "y", "\n", line1 + "extra word '" + std::string(40, 'y') + "...'\n", MiB},
      {"start", " z", "\n", line1 + "extra word 'z'\n", MiB},
      // An argument is kept whole: its leading zeros count.
      {"down ", "0", "65\nstate\n", "", 100 * MiB},
  };
  for (const Case& c : cases) {
    MadeScript script(c.head, c.unit, Line / c.unit.size(), c.tail);
    std::ostringstream out, err;
    StreamSink sink(out);
    const size_t before = MadeScript::HeapInUse();
    RunReplay(script, sink, err);
    EXPECT_EQ(err.str(), c.err);
    EXPECT_LT(script.peak - before, c.most) << c.head << c.unit;
  }
}

TEST(ReplayLineEnds, ACrLfScriptReadsLikeItsLfTwin) {
  const std::string scripts[] = {
      "# flight\n\nstart\ndown 83\ntrace on\ntick 36\n\tstate \nfield -\ntrace off\ntick 99",
      "start\ntick 2\n  # note\nfly 3\nstate\n",
      "down 65\ntick\t3\nstate\nup 65 66\n",
  };
  for (const std::string& lf : scripts) {
    std::string crlf, mixed;
    for (char c : lf) {
      crlf += c == '\n' ? "\r\n" : std::string(1, c);
      mixed += c == '\n' && mixed.size() % 2 ? "\r\n" : std::string(1, c);
    }
    const ReplayRun a = RunScript(lf), b = RunScript(crlf + "\r"), m = RunScript(mixed);
    for (const ReplayRun* r : {&b, &m}) {
      EXPECT_EQ(r->status, a.status);
      EXPECT_TRUE(r->out == a.out) << lf;  // not printed: it holds a picture
      EXPECT_EQ(r->err, a.err);
    }
  }
  // Anywhere else a CR is part of its word.
  EXPECT_EQ(RunScript("down 6\r5\r\n").err,
            "kavarin-replay: line 1: malformed key code '6\\x0D5'\n");
  EXPECT_EQ(RunScript("\r\r\n").err, "kavarin-replay: line 1: unknown command '\\x0D'\n");
}

TEST(ReplayCauses, EveryFailureNamesItsCause) {
  MadeScript failing("state\n\nstart", "", 0, "");
  failing.fails = true;
  std::ostringstream out, err;
  StreamSink sink(out);
  EXPECT_EQ(RunReplay(failing, sink, err), ReplayError);
  EXPECT_EQ(err.str(), "kavarin-replay: line 3: cannot read the script: Input/output error\n");
  EXPECT_EQ(out.str().find("state "), 0u) << "the lines before it ran";

  Scratch s;
  fs::create_directory(s.dir / "folder");
  s.Write("script", "field no-folder/x.pgm\n");
  struct Case {
    std::string run, err;
  };
  const Case cases[] = {
      {"$R folder", "kavarin-replay: line 1: cannot read the script: Is a directory\n"},
      {"$R missing", "kavarin-replay: cannot read 'missing': No such file or directory\n"},
      {"$R script",
       "kavarin-replay: line 1: cannot write 'no-folder/x.pgm': cannot create a temporary file "
       "beside it: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    const ReplayRun run = s.Shell(c.run);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, c.err);
  }
}

}  // namespace
}  // namespace kavarin
