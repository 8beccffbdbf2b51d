#include "rules_model.h"

#include <cstdio>
#include <sstream>

namespace kavarin_model {
namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int32_t kWinningScore = 3;

// Nose x of each ship, and which way its beam flies.
constexpr int32_t kNoseX[2] = {370, 30};
constexpr int32_t kBeamStep[2] = {-10, 10};

// The five ship segments as offsets from the right ship's nose; the left ship negates them.
constexpr int32_t kShip[5][4] = {
    {0, 0, 15, 3}, {0, 0, 15, -3}, {9, 9, 18, 9}, {9, -9, 18, -9}, {15, 9, 15, -9}};

constexpr int32_t kRestDX[10] = {0, 15, 0, 15, 9, 18, 9, 18, 15, 15};
constexpr int32_t kRestDY[10] = {0, 3, 0, -3, 9, 9, -9, -9, 9, -9};

// Wreck motion per phase 2, 3, 4: DX[i] then DY[i] for i = 0..9.
constexpr int32_t kMotion[3][20] = {
    {-1, 1, -2, 2, -2, -1, -3, -1, -1, -1, -2, 0, 0, 1, 0, 1, -1, -1, 1, 1},
    {-1, 1, -2, 1, -2, -1, -3, -1, -1, -1, -1, -1, 0, 1, 0, 1, 0, -1, 0, 1},
    {-1, 1, -2, 1, -2, -1, -3, -1, -1, -1, -1, -1, 0, 1, 0, 1, 1, 0, -1, 0}};

constexpr int32_t kSine[19] = {0,  5,  10, 15, 20, 25, 30, 34, 38, 42,
                               46, 49, 52, 54, 56, 58, 59, 59, 60};

using Stroke = std::vector<Point>;
using Glyph = std::vector<Stroke>;

const Glyph kDigits[4] = {{{{0, 0}, {32, 0}, {32, 32}, {0, 32}, {0, 0}}},
                          {{{8, 0}, {16, 0}, {16, 32}, {8, 32}, {24, 32}}},
                          {{{0, 8}, {0, 0}, {32, 0}, {32, 16}, {0, 24}, {0, 32}, {32, 32}}},
                          {{{0, 0}, {32, 0}, {32, 16}, {0, 16}, {32, 16}, {32, 32}, {0, 32}}}};

const Glyph kG = {{{12, 0}, {0, 0}, {0, 16}, {12, 16}, {12, 8}, {8, 8}}};
const Glyph kA = {{{0, 16}, {6, 0}, {12, 16}}, {{4, 8}, {8, 8}}};
const Glyph kM = {{{0, 16}, {0, 0}, {6, 8}, {12, 0}, {12, 16}}};
const Glyph kE = {{{12, 0}, {0, 0}, {0, 8}, {12, 8}, {0, 8}, {0, 16}, {12, 16}}};
const Glyph kO = {{{0, 0}, {12, 0}, {12, 16}, {0, 16}, {0, 0}}};
const Glyph kV = {{{0, 0}, {6, 16}, {12, 0}}};
const Glyph kR = {{{0, 16}, {0, 0}, {12, 0}, {12, 8}, {0, 8}, {13, 17}}};

}  // namespace

Model::Model() {
  // FormCreate: the round reset, then the three timers stopped.
  ResetRound(false);
  SetInterval(2, 0);
  SetInterval(1, 0);
  SetInterval(3, 0);
}

void Model::SetInterval(int timer, int32_t value) {
  timer_[timer - 1] = value;
  if (trace_)
    *trace_ += "interval Timer" + std::to_string(timer) + " " + std::to_string(value) + "\n";
}

void Model::ClearField() {
  pen_ = kBlack;
  if (trace_) *trace_ += "clear\n";
}

void Model::Polyline(const std::vector<Point>& points) {
  if (!trace_) return;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(pen_));
  std::string& out = *trace_;
  out += "polyline ";
  out += buf;
  for (const Point& p : points) {
    out += ' ';
    out += std::to_string(p.x);
    out += ',';
    out += std::to_string(p.y);
  }
  out += '\n';
}

void Model::Cue(const char* name) {
  if (trace_) *trace_ += std::string("cue ") + name + "\n";
}

void Model::ResetWreck(int side) {
  wreck_phase[side] = 1;
  wreck_ticks[side] = 1;
  wreck_x[side] = 100;
  wreck_y[side] = 100;
  for (int i = 0; i < 10; ++i) {
    wreck_dx[side][i] = kRestDX[i];
    wreck_dy[side][i] = kRestDY[i];
  }
  down[side] = 0;
}

void Model::ResetRound(bool clear_field) {
  y = {200, 200};
  thrust = {0, 0};
  speed = {0, 0};
  momentum = {0, 0};
  beam_state = {0, 0};
  beam_x = {370, 30};
  spin_a = 1;
  spin_b = 8;
  spin_clock = 1;
  ResetWreck(R);
  ResetWreck(L);
  casualty = 0;
  if (clear_field) ClearField();
  star_num = {20, 20};
  star_den = {20, 20};
  star_mode = 1;
  afterglow = {1, 1};
  charge = 1;
  round_over = 0;
}

void Model::Start() {
  SetInterval(2, 50);
  SetInterval(3, 50);
  SetInterval(1, 50);
  ResetRound(true);
  score = {0, 0};
  hit_mute = 0;
}

void Model::Continue() {
  ResetRound(true);
  SetInterval(2, 50);
  SetInterval(1, 50);
  SetInterval(3, 50);
  hit_mute = 0;
}

void Model::KeyDown(int code) {
  if (code == 191) thrust[R] = 1;
  if (code == 219) thrust[R] = -1;
  if (code == 221) thrust[R] = -1;
  if (beam_state[R] == 0 && code == 186) beam_state[R] = 1;
  if (code == 88) thrust[L] = 1;
  if (code == 81) thrust[L] = -1;
  if (code == 65) thrust[L] = -1;
  if (beam_state[L] == 0 && code == 83) beam_state[L] = 1;
  if (code == 32 && charge > 80) star_mode = 2;
  if (code == 32 && score[R] < kWinningScore && score[L] < kWinningScore && timer_[1] == 0 &&
      timer_[0] == 0 && timer_[2] == 0)
    Continue();
}

void Model::KeyUp(int code) {
  if (code == 88 || code == 65 || code == 81) thrust[L] = 0;
  if (code == 191 || code == 221 || code == 219) thrust[R] = 0;
}

void Model::Fire() {
  if (!Running()) return;
  ++tally.ticks;
  if (charge < 100) ++charge;  // ChargeStar
  UpdateShip(R);
  LaunchBeam(R);
  FlyBeam(R);
  UpdateShip(L);
  LaunchBeam(L);
  FlyBeam(L);
  UpdateStar();
  UpdateWreck(R);
  UpdateWreck(L);
  UpdateCasualty();
  AwardPoints();
  DrawScoreboard();
}

// ---- Ships ----

void Model::DrawShip(int side, uint32_t colour) {
  Pen(colour);
  if (!trace_) return;
  const int32_t sign = side == R ? 1 : -1;
  for (const auto& s : kShip)
    Polyline({{kNoseX[side] + sign * s[0], y[side] + sign * s[1]},
              {kNoseX[side] + sign * s[2], y[side] + sign * s[3]}});
}

void Model::UpdateShip(int side) {
  DrawShip(side, kBlack);
  y[side] += speed[side];
  momentum[side] += thrust[side];
  // Speed changes only when the momentum lands exactly on a threshold.
  static constexpr int32_t kThreshold[8] = {0, 10, 20, 27, 33, 38, 42, 45};
  for (int32_t s = 0; s < 8; ++s) {
    if (momentum[side] == kThreshold[s]) speed[side] = s;
    if (s > 0 && momentum[side] == -kThreshold[s]) speed[side] = -s;
  }
  if (momentum[side] > 50) momentum[side] = 48;
  if (momentum[side] < -50) momentum[side] = -48;
  if (y[side] < 1) y[side] += 300;
  if (y[side] > 300) y[side] -= 300;
  DrawShip(side, down[side] == 1 ? kBlack : kWhite);
}

// ---- Beams ----

void Model::LaunchBeam(int side) {
  if (beam_state[side] != 1) return;
  beam_state[side] = 2;
  beam_y[side] = y[side];
  beam_x[side] = kNoseX[side];
  beam_dy[side] = 0;
  if (hit_mute == 0 && star_num[1] != 35) Cue("hassha");
}

void Model::DrawBeam(int side, uint32_t colour) {
  Pen(colour);
  Polyline({{beam_x[side], beam_y[side]},
            {beam_x[side] + kBeamStep[side], beam_y[side] + beam_dy[side]}});
}

void Model::FlyBeam(int side) {
  if (beam_state[side] != 2) return;
  DrawBeam(side, kBlack);
  const int32_t x = beam_x[side];
  const bool in_band = side == R ? (x > 100 && x < 200) : (x > 200 && x < 300);
  if (in_band && star_mode == 1) {
    // The calm star pulls a passing beam towards the middle height, y 150.
    const int32_t by = beam_y[side];
    int32_t& dy = beam_dy[side];
    if (by > 150 && by < 201)
      dy -= 4;
    else if (by > 200 && by < 251)
      dy -= 2;
    else if (by > 250 && by < 300)
      dy -= 1;
    else if (by < 151 && by > 100)
      dy += 4;
    else if (by < 101 && by > 50)
      dy += 2;
    else if (by < 51 && by > 0)
      dy += 1;
  }
  beam_x[side] += kBeamStep[side];
  beam_y[side] += beam_dy[side];
  DrawBeam(side, kWhite);
  const int32_t tip = beam_x[side] + kBeamStep[side];
  if (tip < 0 || tip > 400) {
    DrawBeam(side, kBlack);
    beam_state[side] = 0;
  }
}

// Hit test for `side`'s ship against the other side's beam.
void Model::TestBeamHit(int side) {
  const int other = 1 - side;
  const int32_t column = side == R ? 380 : 20;
  const int32_t diff = beam_y[other] - y[side];
  // Once only the other ship is down, this one is spared.
  const int32_t spared = side == R ? 2 : 1;
  if (beam_x[other] == column && diff > -15 && diff < 15 && casualty == spared) ++tally.spared;
  if (beam_x[other] == column && diff > -15 && diff < 15 && casualty != spared) {
    if (down[side] == 1) ++tally.rehits;
    down[side] = 1;
    Cue("hakai");
    hit_mute = 1;
    ++tally.beam_hits;
  }
}

// ---- Star ----

std::vector<Point> Model::StarOutline(int32_t i, int32_t num, int32_t den) {
  const int32_t j = 19 - i, k = i + 9, m = 10 - i;
  auto s = [&](int32_t n) { return kSine[n - 1] * num / den; };
  return {{200 + s(i), 150 + s(j)}, {200 + s(k), 150 + s(m)}, {200 + s(j), 150 - s(i)},
          {200 + s(m), 150 - s(k)}, {200 - s(i), 150 - s(j)}, {200 - s(k), 150 - s(m)},
          {200 - s(j), 150 + s(i)}, {200 - s(m), 150 + s(k)}, {200 + s(i), 150 + s(j)}};
}

void Model::UpdateStar() {
  if (++spin_clock == 4) spin_clock = 1;
  Pen(kBlack);
  if (trace_) Polyline(StarOutline(spin_a, star_num[0], star_den[0]));
  if (spin_clock == 2 && ++spin_a == 9) spin_a = 1;
  UpdateSupernova(0);
  Pen(kWhite);
  if (trace_) Polyline(StarOutline(spin_a, star_num[0], star_den[0]));
  Pen(kBlack);
  if (trace_) Polyline(StarOutline(spin_b, star_num[1], star_den[1]));
  if (spin_clock == 1 && --spin_b == 0) spin_b = 8;
  UpdateSupernova(1);
  Pen(kWhite);
  if (trace_) Polyline(StarOutline(spin_b, star_num[1], star_den[1]));
}

void Model::UpdateSupernova(int f) {
  int32_t& num = star_num[f];
  int32_t& den = star_den[f];
  if (num == 35) {
    ++afterglow[f];
    // Figure A blasts the right ship, B the left; the edge bands are safe.
    const int side = f == 0 ? R : L;
    const int32_t spared = f == 0 ? 2 : 1;
    if (y[side] > 40 && y[side] < 260 && casualty == spared) ++tally.spared;
    if (y[side] > 40 && y[side] < 260 && casualty != spared) {
      if (down[side] == 0) ++tally.blast_kills;
      down[side] = 1;
    }
  }
  if (afterglow[f] == 100) {
    afterglow[f] = 1;
    if (f == 1) charge = 1;
  }
  if (afterglow[f] != 1) return;
  if (num == 35) {
    num = 20;
    den = 20;
    star_mode = 1;
  }
  if (star_mode == 2 && num == 20) ++den;
  if (f == 0 && den == 21) Cue("shuku");
  if (den == 201) {
    den = 10;
    num = 2;
  }
  if (den == 10) num *= 2;
  if (num == 32) {
    num = 35;
    if (f == 1) {
      Cue("chou");
      ++tally.blasts;
    }
  }
}

// ---- Wrecks ----

void Model::DrawWreck(int side, uint32_t colour) {
  Pen(colour);
  if (!trace_) return;
  const int32_t sign = side == R ? 1 : -1;
  for (int i = 0; i < 10; i += 2)
    Polyline({{wreck_x[side] + sign * wreck_dx[side][i], wreck_y[side] + sign * wreck_dy[side][i]},
              {wreck_x[side] + sign * wreck_dx[side][i + 1],
               wreck_y[side] + sign * wreck_dy[side][i + 1]}});
}

void Model::UpdateWreck(int side) {
  DrawWreck(side, kBlack);
  TestBeamHit(side);
  if (down[side] == 1) {
    ++wreck_ticks[side];
    if (wreck_phase[side] == 1 && wreck_ticks[side] == 2) wreck_phase[side] = 2;
    if (wreck_ticks[side] == 10) {
      ++wreck_phase[side];
      wreck_ticks[side] = 1;
    }
    // The wreck follows the destroyed ship's nose.
    wreck_x[side] = kNoseX[side];
    wreck_y[side] = y[side];
  }
  const int32_t phase = wreck_phase[side];
  if (phase >= 2 && phase <= 4) {
    for (int i = 0; i < 10; ++i) {
      wreck_dx[side][i] += kMotion[phase - 2][2 * i];
      wreck_dy[side][i] += kMotion[phase - 2][2 * i + 1];
    }
  }
  // A parked wreck at (100, 100) is drawn black so that it never shows.
  DrawWreck(side, phase == 5 || wreck_x[side] == 100 ? kBlack : kWhite);
  if (phase == 5) {
    ResetWreck(side);
    round_over = 1;
  }
}

// ---- Round end ----

void Model::UpdateCasualty() {
  if (down[R] == 1) casualty = 1;
  if (down[L] == 1) casualty = 2;
  if (down[R] == 1 && down[L] == 1) casualty = 3;
}

void Model::AwardPoints() {
  if (round_over == 1) {
    ++tally.rounds;
    if (casualty == 3) ++tally.both_down;
  }
  if (round_over == 1 && (casualty == 1 || casualty == 3)) {
    ++score[L];
    SetInterval(2, 0);
    SetInterval(1, 0);
    SetInterval(3, 0);
  }
  if (round_over == 1 && (casualty == 2 || casualty == 3)) {
    ++score[R];
    SetInterval(2, 0);
    SetInterval(1, 0);
    SetInterval(3, 0);
  }
  if (round_over == 1 && (score[R] >= kWinningScore || score[L] >= kWinningScore))
    ++tally.game_overs;
}

void Model::DrawGlyph(const std::vector<std::vector<Point>>& strokes) {
  for (const Stroke& stroke : strokes) {
    Stroke moved;
    for (const Point& p : stroke) moved.push_back({pen_x + p.x, pen_y + p.y});
    Polyline(moved);
  }
}

void Model::DrawScoreboard() {
  if (round_over != 1) return;
  Pen(kWhite);
  pen_x = 268;
  pen_y = 50;
  if (score[R] >= 0 && score[R] <= 3) DrawGlyph(kDigits[score[R]]);
  pen_x = 100;
  pen_y = 50;
  if (score[L] >= 0 && score[L] <= 3) DrawGlyph(kDigits[score[L]]);
  if (score[R] == 3 || score[L] == 3) {
    pen_x = 132;
    pen_y = 250;
    const Glyph* legend[8] = {&kG, &kA, &kM, &kE, &kO, &kV, &kE, &kR};
    for (int n = 0; n < 8; ++n) {
      DrawGlyph(*legend[n]);
      if (n < 7) pen_x += n == 3 ? 32 : 16;
    }
  }
}

// ---- State line and scripts ----

std::string Model::StateLine() const {
  // The record in its declared order; the four wreck offset fields hold ten values each.
  static const char* const kNames =
      "RightY LeftY RightThrust LeftThrust RightSpeed RightMomentum LeftSpeed LeftMomentum "
      "RightBeamState LeftBeamState RightBeamX RightBeamY LeftBeamX LeftBeamY RightBeamDY "
      "LeftBeamDY SpinA SpinB SpinClock RightWreckPhase RightWreckTicks LeftWreckPhase "
      "LeftWreckTicks RightWreckDX RightWreckDY RightWreckX RightWreckY LeftWreckDX LeftWreckDY "
      "LeftWreckX LeftWreckY RightDown LeftDown Casualty StarANum StarADen StarBNum StarBDen "
      "StarMode StarAAfterglow StarBAfterglow Charge RoundOver PenX PenY RightScore LeftScore "
      "HitMute Timer1 Timer2 Timer3";
  // clang-format off
  const int32_t* const values[] = {
      &y[R], &y[L], &thrust[R], &thrust[L], &speed[R], &momentum[R], &speed[L], &momentum[L],
      &beam_state[R], &beam_state[L], &beam_x[R], &beam_y[R], &beam_x[L], &beam_y[L], &beam_dy[R],
      &beam_dy[L], &spin_a, &spin_b, &spin_clock, &wreck_phase[R], &wreck_ticks[R], &wreck_phase[L],
      &wreck_ticks[L], wreck_dx[R].data(), wreck_dy[R].data(), &wreck_x[R], &wreck_y[R],
      wreck_dx[L].data(), wreck_dy[L].data(), &wreck_x[L], &wreck_y[L], &down[R], &down[L],
      &casualty, &star_num[0], &star_den[0], &star_num[1], &star_den[1], &star_mode, &afterglow[0],
      &afterglow[1], &charge, &round_over, &pen_x, &pen_y, &score[R], &score[L], &hit_mute,
      &timer_[0], &timer_[1], &timer_[2]};
  // clang-format on
  std::istringstream names(kNames);
  std::string s = "state", name;
  for (const int32_t* v : values) {
    names >> name;
    s += ' ' + name + '=';
    const int count = name.find("WreckD") != std::string::npos ? 10 : 1;
    for (int i = 0; i < count; ++i) s.append(i ? "," : "").append(std::to_string(v[i]));
  }
  return s + "\n";
}

void ApplyCommand(Model& m, const std::string& line, std::string* out) {
  std::istringstream words(line);
  std::string cmd, arg;
  words >> cmd >> arg;
  if (cmd == "start") {
    m.Start();
  } else if (cmd == "down") {
    m.KeyDown(std::stoi(arg));
  } else if (cmd == "up") {
    m.KeyUp(std::stoi(arg));
  } else if (cmd == "tick") {
    // Firings while play is stopped do nothing, so a long wait can stop early.
    const long n = arg.empty() ? 1 : std::stol(arg);
    for (long i = 0; i < n && m.Running(); ++i) m.Fire();
  } else if (cmd == "state") {
    if (out) *out += m.StateLine();
  } else if (cmd == "trace") {
    m.SetTrace(arg == "on" ? out : nullptr);
  }
}

std::string RunScript(const std::string& script, std::vector<int>* line_command) {
  Model m;
  std::string out;
  std::istringstream in(script);
  std::string line;
  size_t lines_before = 0;
  for (int index = 0; std::getline(in, line); ++index) {
    ApplyCommand(m, line, &out);
    if (line_command) {
      for (size_t p = lines_before; p < out.size(); ++p)
        if (out[p] == '\n') line_command->push_back(index);
    }
    lines_before = out.size();
  }
  return out;
}

}  // namespace kavarin_model
