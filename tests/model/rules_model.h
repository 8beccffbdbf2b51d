#pragma once

// A second, independent reading of the Kavarin rules, used to check the game core. It keeps the
// match record, runs the resets, the key handlers and the frame tick, and records the three seams
// (drawing, cues, timer intervals) as the text lines that kavarin-replay prints.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kavarin_model {

// Index 0 is the right side, 1 the left side.
constexpr int R = 0;
constexpr int L = 1;

struct Point {
  int32_t x;
  int32_t y;
};

// What the model saw happen; the script generator and the tests read it to know which parts of
// the game a run has reached.
struct Tally {
  int ticks = 0;
  int beam_hits = 0;    // "hakai" cues
  int blast_kills = 0;  // Down flags raised by the blast
  int blasts = 0;       // "chou" cues
  int rounds = 0;       // scoring ticks
  int game_overs = 0;   // scoring ticks that reached 3 points
  int both_down = 0;    // scoring ticks with Casualty 3
  int rehits = 0;       // beam hits on a ship that was already down
  int spared = 0;       // beam or blast kills refused because only the other ship is down
};

class Model {
 public:
  // The record starts all 0, then the window is created: FormCreate runs, untraced.
  Model();

  // Where trace lines go; nullptr turns tracing off.
  void SetTrace(std::string* sink) { trace_ = sink; }

  void Start();  // Game > Start (F2)
  void KeyDown(int code);
  void KeyUp(int code);
  // One timer firing: a whole frame tick while play runs, nothing while it is stopped.
  void Fire();
  bool Running() const { return timer_[0] == 50 && timer_[1] == 50 && timer_[2] == 50; }
  // Finishes with a newline, like every other line.
  std::string StateLine() const;

  // The match record, in the game's own terms.
  std::array<int32_t, 2> y{}, thrust{}, speed{}, momentum{};
  std::array<int32_t, 2> beam_state{}, beam_x{}, beam_y{}, beam_dy{};
  int32_t spin_a = 0, spin_b = 0, spin_clock = 0;
  std::array<int32_t, 2> wreck_phase{}, wreck_ticks{};
  std::array<std::array<int32_t, 10>, 2> wreck_dx{}, wreck_dy{};
  std::array<int32_t, 2> wreck_x{}, wreck_y{};
  std::array<int32_t, 2> down{};
  int32_t casualty = 0;
  // Star figures: index 0 is figure A (right ship's blast test), 1 is figure B.
  std::array<int32_t, 2> star_num{}, star_den{};
  int32_t star_mode = 0;
  std::array<int32_t, 2> afterglow{};
  int32_t charge = 0, round_over = 0, pen_x = 0, pen_y = 0;
  std::array<int32_t, 2> score{};
  int32_t hit_mute = 0;
  std::array<int32_t, 3> timer_{};  // Timer1, Timer2, Timer3

  Tally tally;

  static std::vector<Point> StarOutline(int32_t index, int32_t num, int32_t den);

 private:
  void ResetRound(bool clear_field);
  void ResetWreck(int side);
  void Continue();
  void SetInterval(int timer, int32_t value);  // timer 1..3
  void ClearField();
  void Pen(uint32_t colour) { pen_ = colour; }
  void Polyline(const std::vector<Point>& points);
  void Cue(const char* name);

  void UpdateShip(int side);
  void DrawShip(int side, uint32_t colour);
  void LaunchBeam(int side);
  void FlyBeam(int side);
  void DrawBeam(int side, uint32_t colour);
  void UpdateStar();
  void UpdateSupernova(int figure);
  void UpdateWreck(int side);
  void DrawWreck(int side, uint32_t colour);
  void TestBeamHit(int side);
  void UpdateCasualty();
  void AwardPoints();
  void DrawScoreboard();
  void DrawGlyph(const std::vector<std::vector<Point>>& strokes);

  std::string* trace_ = nullptr;
  uint32_t pen_ = 0;
};

// Runs one script line on `m`. `state` lines and, while tracing is on, trace lines go to `out`;
// with `out` nullptr the line runs silently.
void ApplyCommand(Model& m, const std::string& line, std::string* out);

// Runs a replay script through the model and returns what kavarin-replay would print. If
// `line_command` is given, it receives, for every output line, the 0-based index of the script
// line that printed it.
std::string RunScript(const std::string& script, std::vector<int>* line_command = nullptr);

}  // namespace kavarin_model
