#include "script_gen.h"

#include <random>

namespace kavarin_model {
namespace {

constexpr int kMoveKeys[2][3] = {{221, 219, 191}, {65, 81, 88}};
constexpr int kFireKey[2] = {186, 83};
// Keys the game ignores, among them the game's own codes with a high byte set (288 is 32 + 256).
constexpr int kStrayKeys[] = {0,   13,  16,  17,  27,  37,  38,  39,  40,  66,  87,  90,
                              113, 187, 220, 222, 288, 321, 337, 339, 344, 442, 447, 65535};
constexpr int kStrayCount = sizeof kStrayKeys / sizeof kStrayKeys[0];

class Generator {
 public:
  Generator(uint32_t seed, const GenOptions& options) : rng_(seed), opt_(options) {
    // Each script leans its own way: some trigger the supernova at once, some hardly ever.
    nova_ = Uniform(0, 3) == 0 ? 0.02 : Real(0.05, 0.6);
    aim_ = Real(0.3, 0.95);
    wild_fire_ = Real(0.0, 0.2);
  }

  Generated Run() {
    if (Chance(0.2)) Emit("trace on");
    if (Chance(0.3)) StoppedFiddling();
    Emit(Chance(0.7) ? "start" : "down 32");
    while (model_.tally.ticks - waited_ < opt_.ticks && out_.script.size() < 200000) {
      if (model_.Running())
        PlayStep();
      else
        StoppedStep();
    }
    Emit("state");
    out_.tally = model_.tally;
    return out_;
  }

  // Shots at the exact edges of the hit window and of the bending bands, and ships on the edges
  // of the blast's safe bands; case i goes into group i % groups.
  Generated Boundaries(int group, int groups) {
    const int launches[] = {1, 50, 51, 100, 101, 150, 151, 200, 201, 250, 251, 299, 300};
    const int offsets[] = {-15, -14, 14, 15};
    const int blast[][2] = {{40, 41}, {41, 40}, {259, 260}, {260, 259}, {40, 260}, {41, 259}};
    int index = 0;
    for (int side = 0; side < 2; ++side)
      for (int y0 : launches)
        for (int d : offsets)
          if (index++ % groups == group) BeamCase(side, y0, d);
    for (const auto& b : blast)
      if (index++ % groups == group) BlastCase(b[0], b[1]);
    Emit("state");
    out_.tally = model_.tally;
    return out_;
  }

 private:
  void EnsurePlaying() {
    if (model_.Running()) return;
    Emit(PhaseOf(model_, started_) == kGameOver || !started_ ? "start" : "down 32");
  }

  static int Wrap(int y) { return ((y - 1) % 300 + 300) % 300 + 1; }

  // Moves a resting ship to y `target` and brings it to rest there: thrust for 10 ticks, cruise
  // at speed 1, thrust back for 10 ticks.
  void Park(int side, int target) {
    if (model_.y[side] == target) return;
    auto run = [&](Model& m, int cruise, bool emit) {
      const std::string lines[] = {
          "down " + std::to_string(kMoveKeys[side][2]), "tick 10",
          "up " + std::to_string(kMoveKeys[side][2]),   "tick " + std::to_string(cruise),
          "down " + std::to_string(kMoveKeys[side][0]), "tick 10",
          "up " + std::to_string(kMoveKeys[side][0])};
      for (const std::string& line : lines) {
        if (line == "tick 0") continue;
        if (emit)
          Emit(line);
        else
          ApplyCommand(m, line, nullptr);
      }
    };
    Model probe = model_;
    run(probe, 0, false);
    const int cruise = Wrap(target - probe.y[side]) % 300;
    run(model_, cruise, true);
  }

  void BeamCase(int side, int y0, int d) {
    EnsurePlaying();
    const int target = 1 - side;
    Park(target, 5);  // out of the way while the shooter moves
    Park(side, y0);
    Model probe = model_;
    probe.KeyDown(kFireKey[side]);
    for (int i = 0; i < 35; ++i) probe.Fire();
    const int aim = probe.beam_y[side] + d;
    if ((d == 14 || d == -14) && aim >= 1 && aim <= 300) ++out_.aimed_hits;
    Park(target, Wrap(aim));
    Emit("trace on");
    Emit("down " + std::to_string(kFireKey[side]));
    Emit("tick 35");
    Emit("state");
    Emit("trace off");
    Emit("tick 30");
    Emit("state");
  }

  void BlastCase(int right_y, int left_y) {
    EnsurePlaying();
    Park(R, right_y);
    Park(L, left_y);
    if (model_.charge <= 80) Emit("tick " + std::to_string(81 - model_.charge));
    Emit("down 32");
    Emit("tick 183");
    Emit("trace on");
    Emit("tick 3");
    Emit("trace off");
    Emit("state");
    Emit("tick 120");
    Emit("state");
  }

  void Emit(const std::string& line) {
    const MatchPhase phase = PhaseOf(model_, started_);
    if (line == "start") {
      ++out_.starts[phase];
      started_ = true;
    }
    if (line == "down 32") {
      ++out_.spaces[phase];
      if (phase == kWaiting) started_ = true;
    }
    if (line == "trace on") {
      tracing_ = true;
      ticks_in_window_ = 0;
      window_ = Uniform(20, 150);
    }
    if (line == "trace off") tracing_ = false;
    const int before = model_.tally.ticks;
    ApplyCommand(model_, line, nullptr);
    if (tracing_) out_.traced_ticks += model_.tally.ticks - before;
    out_.script += line;
    out_.script += '\n';
  }

  void Tick(int n) { Emit(n == 1 && Chance(0.5) ? "tick" : "tick " + std::to_string(n)); }

  // Keys and waiting while play is stopped: fire requests made now must not launch later.
  void StoppedFiddling() {
    for (int n = Uniform(0, 3); n > 0; --n) {
      switch (Uniform(0, 4)) {
        case 0:
          Emit("down " + std::to_string(kFireKey[Uniform(0, 1)]));
          break;
        case 1:
          Emit("down " + std::to_string(kMoveKeys[Uniform(0, 1)][Uniform(0, 2)]));
          break;
        case 2:
          Tick(Uniform(1, 50));
          break;
        case 3:
          Emit("state");
          break;
        default:
          Emit("down " + std::to_string(kStrayKeys[Uniform(0, kStrayCount - 1)]));
          break;
      }
    }
  }

  void StoppedStep() {
    if (Chance(0.7)) Emit("state");
    if (Chance(0.3) && !tracing_ && out_.traced_ticks < opt_.traced_ticks) Emit("trace on");
    StoppedFiddling();
    const bool game_over = PhaseOf(model_, started_) == kGameOver;
    // At game over Space is refused; press it now and then to see that, then Start.
    if (game_over && Chance(0.5)) {
      Emit("down 32");
      if (Chance(0.7)) Emit("state");  // a charged star is still armed by it
    }
    if (!game_over && Chance(0.2)) Emit("down 32");  // Space twice: the second one is in play
    Emit(game_over || Chance(0.15) ? "start" : "down 32");
  }

  // Would the shot fired now destroy the other ship, if nobody touches a key meanwhile?
  bool ShotLands(int side) {
    Model probe = model_;
    probe.SetTrace(nullptr);
    const int hits = probe.tally.beam_hits;
    probe.KeyDown(kFireKey[side]);
    for (int i = 0; i < 36 && probe.Running(); ++i) probe.Fire();
    return probe.tally.beam_hits > hits;
  }

  void PlayStep() {
    const bool someone_down = model_.down[R] == 1 || model_.down[L] == 1;
    if (tracing_ && ticks_in_window_ > window_) {
      Emit("trace off");
    } else if (!tracing_ && out_.traced_ticks < opt_.traced_ticks &&
               Chance(someone_down ? 0.15 : 0.01)) {
      Emit("trace on");
    }
    for (int side = 0; side < 2; ++side) {
      if (model_.beam_state[side] != 0) continue;
      const bool lands = ShotLands(side);
      if (Chance(lands ? aim_ : wild_fire_)) Emit("down " + std::to_string(kFireKey[side]));
      if (Chance(0.1)) Emit("up " + std::to_string(kFireKey[side]));
    }
    if (Chance(0.25)) {
      const int side = Uniform(0, 1);
      const int key = kMoveKeys[side][Uniform(0, 2)];
      Emit((Chance(0.6) ? "down " : "up ") + std::to_string(key));
    }
    if (Chance(model_.charge > 80 ? nova_ : 0.01)) Emit("down 32");
    if (Chance(0.02)) Emit("down " + std::to_string(kStrayKeys[Uniform(0, kStrayCount - 1)]));
    if (Chance(someone_down ? 0.03 : 0.003)) Emit("start");  // restart mid-round or mid-wreck
    if (Chance(0.1)) Emit("state");
    const int before = model_.tally.ticks;
    const int roll = Uniform(0, 99);
    if (roll < 60)
      Tick(Uniform(1, 4));
    else if (roll < 90)
      Tick(Uniform(5, 40));
    else if (roll < 98 || tracing_)
      Tick(Uniform(41, 200));
    else if (Chance(0.9))
      Tick(Uniform(200, 3000));
    else {
      // A very long wait with nobody touching a key, which the play budget does not count.
      Tick(Uniform(10000, 100000));
      waited_ += model_.tally.ticks - before;
    }
    if (tracing_) ticks_in_window_ += model_.tally.ticks - before;
  }

  int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
  bool Chance(double p) { return Real(0.0, 1.0) < p; }

  std::mt19937 rng_;
  GenOptions opt_;
  Model model_;
  Generated out_;
  bool started_ = false;
  bool tracing_ = false;
  int ticks_in_window_ = 0;
  int waited_ = 0;
  int window_ = 0;
  double nova_ = 0, aim_ = 0, wild_fire_ = 0;
};

}  // namespace

MatchPhase PhaseOf(const Model& m, bool started) {
  if (m.Running()) return m.casualty == 0 ? kPlaying : kShipDown;
  if (m.score[R] >= 3 || m.score[L] >= 3) return kGameOver;
  return started ? kRoundOver : kWaiting;
}

Generated GenerateScript(uint32_t seed, const GenOptions& options) {
  return Generator(seed, options).Run();
}

Generated BoundaryScript(int group, int groups) {
  return Generator(0, {}).Boundaries(group, groups);
}

}  // namespace kavarin_model
