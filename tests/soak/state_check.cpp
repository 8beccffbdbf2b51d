#include "tests/soak/state_check.h"

#include <string_view>

#include "match/sides.h"

namespace kavarin::soak {

namespace {

class Report {
 public:
  explicit Report(std::string_view prefix = "") : prefix_(prefix) {}
  void Range(std::string_view name, int32_t value, int32_t low, int32_t high) {
    if (value < low || value > high)
      Add(std::string(prefix_) + std::string(name) + "=" + std::to_string(value) + " outside " +
          std::to_string(low) + ".." + std::to_string(high));
  }
  // The message is only put together when the check fails: this runs after every tick.
  template <typename Message>
  void Require(bool ok, Message&& message) {
    if (!ok) Add(std::string(prefix_) + std::string(message()));
  }
  void SetPrefix(std::string_view prefix) { prefix_ = prefix; }
  void Add(std::string what) { found_.push_back(std::move(what)); }
  std::vector<std::string> Take() { return std::move(found_); }

 private:
  std::string_view prefix_;
  std::vector<std::string> found_;
};

// A star figure's scale is one of: 20/20 calm, 20/21..20/200 collapsing, 4/10, 8/10, 16/10
// expanding, 35/10 at blast size.
bool AllowedScale(int32_t num, int32_t den) {
  if (num == 20) return den >= 20 && den <= 200;
  if (den == 10) return num == 4 || num == 8 || num == 16 || num == 35;
  return false;
}

void CheckSide(Report& r, const MatchState& s, Side side) {
  const auto f = FieldsOf(s, side);
  const bool right = side == Side::Right;
  r.SetPrefix(right ? "Right" : "Left");
  r.Range("Y", f.Y, 1, 300);
  r.Range("Thrust", f.Thrust, -1, 1);
  r.Range("Speed", f.Speed, -7, 7);
  r.Range("Momentum", f.Momentum, -50, 50);
  r.Range("BeamState", f.BeamState, 0, 2);
  r.Range("Down", f.Down, 0, 1);
  r.Range("Score", f.Score, 0, WinningScore);

  // The beam head: at the nose before any flight, on a 10-pixel step while flying, and at the
  // far edge after a flight.
  const int32_t x = f.BeamX;
  const int32_t nose = right ? 370 : 30;
  const int32_t edge = right ? 0 : 400;
  const bool flightStep = x % 10 == 0 && (right ? x >= 10 && x <= 360 : x >= 40 && x <= 390);
  if (f.BeamState == 2) {
    r.Require(flightStep,
              [&] { return "BeamX=" + std::to_string(x) + " is no place of a beam in flight"; });
  } else {
    r.Require(x == nose || x == edge, [&] {
      return "BeamX=" + std::to_string(x) + " with no beam in flight is neither nose nor edge";
    });
  }

  // The wreck: at rest while the ship is whole, on the ship's nose while it is down.
  r.Range("WreckPhase", f.WreckPhase, 1, 4);
  r.Range("WreckTicks", f.WreckTicks, 1, 9);
  if (f.Down == 0) {
    r.Require(f.WreckPhase == 1 && f.WreckTicks == 1,
              [] { return " wreck is animating while the ship is whole"; });
    r.Require(f.WreckX == 100 && f.WreckY == 100, [] { return " wreck is off its rest origin"; });
    r.Require(f.WreckDX == WreckRestOffsets.DX && f.WreckDY == WreckRestOffsets.DY,
              [] { return " wreck offsets are off their rest layout"; });
  } else if (f.Down == 1) {
    r.Require(f.WreckPhase >= 2, [] { return " ship is down but its wreck is not animating"; });
    r.Require(f.WreckX == nose && f.WreckY == f.Y,
              [] { return " wreck origin does not follow the destroyed ship"; });
  }
  r.SetPrefix("");
}

}  // namespace

std::vector<std::string> Violations(const MatchState& s, const TimerIntervals& timers) {
  Report r;
  CheckSide(r, s, Side::Right);
  CheckSide(r, s, Side::Left);

  r.Range("SpinA", s.SpinA, 1, 8);
  r.Range("SpinB", s.SpinB, 1, 8);
  r.Range("SpinClock", s.SpinClock, 1, 3);
  r.Range("Casualty", s.Casualty, 0, 3);
  r.Range("StarMode", s.StarMode, 1, 2);
  r.Range("StarAAfterglow", s.StarAAfterglow, 1, 99);
  r.Range("StarBAfterglow", s.StarBAfterglow, 1, 99);
  r.Range("Charge", s.Charge, 1, 100);
  r.Range("RoundOver", s.RoundOver, 0, 1);
  r.Range("HitMute", s.HitMute, 0, 1);

  r.Require(AllowedScale(s.StarANum, s.StarADen), [&] {
    return "star scale " + std::to_string(s.StarANum) + "/" + std::to_string(s.StarADen);
  });
  r.Require(s.StarANum == s.StarBNum && s.StarADen == s.StarBDen,
            [] { return "the two star figures have different scales"; });
  if (s.StarMode == 1)
    r.Require(s.StarANum == 20 && s.StarADen == 20, [] { return "calm star off its calm scale"; });
  if (s.StarANum != 35)
    r.Require(s.StarAAfterglow == 1 && s.StarBAfterglow == 1,
              [] { return "afterglow counted outside the blast"; });

  // Casualty names every ship that is down.
  if (s.RightDown == 1)
    r.Require(s.Casualty == 1 || s.Casualty == 3, [] { return "RightDown not in Casualty"; });
  if (s.LeftDown == 1)
    r.Require(s.Casualty == 2 || s.Casualty == 3, [] { return "LeftDown not in Casualty"; });

  const int32_t t1 = timers[TimerId::Timer1];
  const int32_t t2 = timers[TimerId::Timer2];
  const int32_t t3 = timers[TimerId::Timer3];
  r.Require(t1 == t2 && t2 == t3 && (t1 == StoppedInterval || t1 == RunningInterval), [&] {
    return "timer intervals " + std::to_string(t1) + "," + std::to_string(t2) + "," +
           std::to_string(t3);
  });
  // Play stops only at the end of a round, and before the very first one, when nothing has
  // ticked yet.
  const bool stopped = t1 == StoppedInterval;
  const bool untouched =
      s.Charge == 1 && s.SpinClock == 1 && s.Casualty == 0 && s.RightScore == 0 && s.LeftScore == 0;
  r.Require(s.RoundOver == 1 ? stopped : !stopped || untouched, [&] {
    return "RoundOver=" + std::to_string(s.RoundOver) + " with play " +
           (stopped ? "stopped" : "running");
  });
  return r.Take();
}

}  // namespace kavarin::soak
