// How long a cue takes from the tick that plays it to its first sample reaching the sound
// device, on a PulseAudio server: the cue player as the game makes it, a match whose left player
// fires, and a recording of the sink's monitor taken in the same process on the same clock.
// The cue is found in the recording by its samples, which reach the monitor unchanged, and dated
// on the recording's own clock: it runs in real time, so sample n was rendered at the earliest
// time a read returned less the samples it had brought by then, plus n samples. A sink renders
// a little ahead of what it plays, and a new stream may be mixed into that stretch at once, so
// the figures are good to within the sink's latency either way. Run with another client keeping
// the sink busy at a low latency and one step above silence (bench/sound_cost.sh does): this
// server's monitor delivers nothing while its sink has only silence to play. Measured for cues
// after silence (the device closed), for cues that cut off a cue playing (the device open), and
// for cues that come just as the device is being closed after a cue (the worst case).
//   kavarin-bench-cue MONITOR_SOURCE [COUNT]   with PULSE_SERVER naming the server
#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/sound/sdl_cue_player.h"
#include "match/keys.h"
#include "match/resets.h"
#include "match/tick.h"

namespace kavarin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::duration;

constexpr int Rate = 44100;
constexpr size_t ReadSamples = 110;  // 2.5 ms a read
constexpr int Heard = 64;
Clock::duration Seconds(size_t samples) {
  return std::chrono::duration_cast<Clock::duration>(
      duration<double>(static_cast<double>(samples) / Rate));
}
// louder than this is no longer silence

// Records the monitor from its own thread, keeping every sample and when each read returned.
class MonitorRecorder {
 public:
  explicit MonitorRecorder(const char* source) {
    const pa_sample_spec format{PA_SAMPLE_S16LE, Rate, 1};
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.fragsize = ReadSamples * sizeof(int16_t);
    int error = 0;
    pa_ = pa_simple_new(nullptr, "kavarin-bench-cue", PA_STREAM_RECORD, source, "monitor", &format,
                        nullptr, &attr, &error);
    if (pa_ == nullptr) {
      std::fprintf(stderr, "kavarin-bench-cue: cannot record %s: %s\n", source, pa_strerror(error));
      std::exit(1);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~MonitorRecorder() {
    stop_ = true;
    thread_.join();
    pa_simple_free(pa_);
  }
  void Dump(const char* file) {
    std::lock_guard lock(mutex_);
    if (FILE* out = std::fopen(file, "wb")) {
      std::fwrite(samples_.data(), sizeof(int16_t), samples_.size(), out);
      std::fclose(out);
    }
  }
  size_t Recorded() {
    std::lock_guard lock(mutex_);
    return samples_.size();
  }
  // When the first sample of `sound` reached the monitor, looking from sample `from` on: where a
  // loud stretch 20 ms into the sound shows up in the recording, less the samples before it (or
  // one further in, should that one be missing). The stretch is taken from inside the sound
  // because a sink that starts a new stream mid-block rewinds and plays it at once, and the
  // monitor never sees the samples it played then.
  std::optional<Clock::time_point> Find(const std::vector<int16_t>& sound, size_t from) {
    for (const size_t into : {Rate / 50, Rate / 20, Rate / 8}) {
      if (const auto found = FindFrom(sound, into, from)) return found;
    }
    return std::nullopt;
  }

 private:
  std::optional<Clock::time_point> FindFrom(const std::vector<int16_t>& sound, size_t k0,
                                            size_t from) {
    constexpr size_t Stretch = 64;
    while (k0 < sound.size() && std::abs(sound[k0]) <= Heard) ++k0;
    if (k0 + Stretch > sound.size()) return std::nullopt;
    std::lock_guard lock(mutex_);
    for (size_t j = from; j + Stretch <= samples_.size(); ++j) {
      bool same = true;
      for (size_t i = 0; i < Stretch && same; ++i)
        same = std::abs(samples_[j + i] - sound[k0 + i]) <= 2;
      if (!same) continue;
      // The monitor brings the samples in real time, each read returning some time after its
      // last sample was played; the earliest of those times, less the samples played by then,
      // dates sample 0 of the recording.
      Clock::time_point start = Clock::time_point::max();
      for (const auto& [end, at] : marks_) start = std::min(start, at - Seconds(end));
      return start + Seconds(j) - Seconds(k0);
    }
    return std::nullopt;
  }

  void Run() {
    std::vector<int16_t> block(ReadSamples);
    while (!stop_) {
      if (pa_simple_read(pa_, block.data(), block.size() * sizeof(int16_t), nullptr) < 0) return;
      const auto now = Clock::now();
      std::lock_guard lock(mutex_);
      samples_.insert(samples_.end(), block.begin(), block.end());
      marks_.emplace_back(samples_.size(), now);
    }
  }

  pa_simple* pa_ = nullptr;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<int16_t> samples_;
  std::vector<std::pair<size_t, Clock::time_point>> marks_;  // samples so far, when read
};

// Plays the match's cues, noting when the first one of a tick was asked for.
class TimedCues : public Observer {
 public:
  explicit TimedCues(SdlCuePlayer& player) : player_(player) {}
  void CuePlayed(std::string_view name) override {
    if (!played_) played_ = Clock::now();
    player_.PlayCue(name);
  }
  std::optional<Clock::time_point> played_;

 private:
  SdlCuePlayer& player_;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int Run(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kavarin-bench-cue MONITOR_SOURCE [COUNT]\n");
    return 2;
  }
  const int count = argc > 2 ? std::atoi(argv[2]) : 10;
  SdlCuePlayer player(SdlCuePlayer::DefaultFolders(KAVARIN_BENCH_SOUND_DIR));
  if (!player.AudioOpen() || player.Sound(CueHassha) == nullptr) {
    std::fprintf(stderr, "kavarin-bench-cue: no audio device, or no sounds\n");
    return 1;
  }

  MonitorRecorder monitor(argv[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the recording settles

  TimedCues cues(player);
  Simulation sim;
  Match match(sim, cues);
  FormCreate(match);
  Start(match);
  // One cue from a tick: the left player fires, and the tick that launches the beam plays it.
  auto fireAndTime = [&]() -> std::optional<double> {
    const size_t from = monitor.Recorded();
    cues.played_.reset();
    FormKeyDown(match, VkS);
    for (int t = 0; t < 10 && !cues.played_; ++t) Timer2Timer(match);
    FormKeyUp(match, VkS);
    if (!cues.played_) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // it has been recorded
    const auto heard = monitor.Find(*player.Sound(CueHassha), from);
    if (!heard) return std::nullopt;
    return duration<double, std::milli>(*heard - *cues.played_).count();
  };
  // Ticks until the beam is over, so the next press fires again.
  auto settle = [&](int ticks) {
    for (int t = 0; t < ticks; ++t) Timer2Timer(match);
  };

  std::vector<double> afterSilence, cuttingOff, whileClosing;
  auto awaitClosed = [&](std::chrono::microseconds step) {
    const auto end = Clock::now() + std::chrono::seconds(3);
    while (player.DeviceOpen() && Clock::now() < end) std::this_thread::sleep_for(step);
  };
  for (int i = 0; i < count; ++i) {
    // After silence: the previous cue and its tail are over and the device is closed.
    awaitClosed(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto quiet = fireAndTime();
    // Cutting off: the blast's rumble plays; a beam then cuts it off.
    settle(60);
    player.PlayCue(CueChou);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto cut = fireAndTime();
    // While closing: the tail is over and the device is being closed, which the cue waits for.
    settle(60);
    awaitClosed(std::chrono::microseconds(200));
    const auto closing = fireAndTime();
    settle(60);
    if (!quiet || !cut || !closing) {
      if (const char* dump = std::getenv("KAVARIN_BENCH_DUMP")) monitor.Dump(dump);
      std::fprintf(stderr, "kavarin-bench-cue: cue %d %s was not heard on the monitor\n", i,
                   !quiet ? "after silence"
                   : !cut ? "cutting off another"
                          : "while closing");
      return 1;
    }
    afterSilence.push_back(*quiet);
    cuttingOff.push_back(*cut);
    whileClosing.push_back(*closing);
  }
  double worst = 0;
  std::printf("Cue delay, tick to first sample at the sink's monitor, %d cues each:\n", count);
  for (const auto& [what, delays] :
       {std::pair{"after silence (device closed):     ", &afterSilence},
        std::pair{"cutting off a cue (device open):   ", &cuttingOff},
        std::pair{"as the device is being closed:     ", &whileClosing}}) {
    const double largest = *std::max_element(delays->begin(), delays->end());
    worst = std::max(worst, largest);
    std::printf("  %s median %.1f ms, max %.1f ms\n", what, Median(*delays), largest);
  }
  std::printf("  largest: %.1f ms  (target <= 30: %s)\n", worst, worst <= 30.0 ? "met" : "MISSED");
  return worst <= 30.0 ? 0 : 3;
}

}  // namespace
}  // namespace kavarin

int main(int argc, char** argv) {
  return kavarin::Run(argc, argv);
}
