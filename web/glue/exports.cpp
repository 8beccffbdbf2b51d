// The module's functions for the page (web/site/kavarin.js) and for the tests that drive it.
#include <emscripten/emscripten.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/controllers/controller_keys.h"
#include "app/view_key_rule.h"
#include "app/zoom_rule.h"
#include "tools/soundgen/synth.h"
#include "web/glue/icon_pixels.h"
#include "web/glue/web_game.h"
#include "web/glue/web_keys.h"

using kavarin::WebGame;

namespace {

std::unique_ptr<WebGame> game;
std::array<int32_t, 4> changed;
std::string text;  // the last text handed to the page
std::vector<std::vector<int16_t>> cueSamples;
std::vector<uint8_t> icon;
int iconSize[2];

// The page's clock in milliseconds, as nanoseconds.
WebGame::Time PageTime(double ms) {
  return WebGame::Time(static_cast<int64_t>(std::floor(ms * 1e6)));
}

const char* Text(std::string s) {
  text = std::move(s);
  return text.c_str();
}

}  // namespace

extern "C" {

// A new game, as the window is created: everything 0, then FormCreate. With `computerLevel` 1
// to 3 the computer flies the right ship, its seed from the page's random numbers.
EMSCRIPTEN_KEEPALIVE void kv_create(int computerLevel, uint32_t seedHigh, uint32_t seedLow) {
  const int level = computerLevel >= 1 && computerLevel <= 3 ? computerLevel : 0;
  game = std::make_unique<WebGame>(level, (uint64_t{seedHigh} << 32) | seedLow);
}

EMSCRIPTEN_KEEPALIVE int kv_computer_level() {
  return game->ComputerLevel();
}

EMSCRIPTEN_KEEPALIVE void kv_start(double now) {
  game->StartCommand(PageTime(now));
}

EMSCRIPTEN_KEEPALIVE void kv_key(int down, int code, double now) {
  game->Key(down != 0, code, PageTime(now));
}

EMSCRIPTEN_KEEPALIVE int kv_frame(double now) {
  return game->Frame(PageTime(now));
}

EMSCRIPTEN_KEEPALIVE void kv_fire() {
  game->FireTimer();
}

EMSCRIPTEN_KEEPALIVE int kv_running() {
  return game->Running() ? 1 : 0;
}

// The canvas's RGBA pixels, brought up to date; kv_changed() then points at x, y, width, height
// of what changed.
EMSCRIPTEN_KEEPALIVE const uint8_t* kv_pixels() {
  return game->TakeChanged(changed);
}

EMSCRIPTEN_KEEPALIVE const int32_t* kv_changed() {
  return changed.data();
}

EMSCRIPTEN_KEEPALIVE int kv_cue() {
  return game->TakeCue();
}

// SimulationHash, in two halves: a 64-bit number does not cross to the page as one.
EMSCRIPTEN_KEEPALIVE uint32_t kv_hash_high() {
  return static_cast<uint32_t>(kavarin::SimulationHash(game->Sim()) >> 32);
}

EMSCRIPTEN_KEEPALIVE uint32_t kv_hash_low() {
  return static_cast<uint32_t>(kavarin::SimulationHash(game->Sim()));
}

EMSCRIPTEN_KEEPALIVE void kv_mark_shown() {
  game->Record().MarkShown();
}

EMSCRIPTEN_KEEPALIVE const char* kv_record() {
  return Text(game->Record().Shown());
}

EMSCRIPTEN_KEEPALIVE const char* kv_layout_codes(const char* layout) {
  return Text(kavarin::WebLayoutCodes(layout));
}

EMSCRIPTEN_KEEPALIVE int kv_key_by_place(const char* code, const char* key) {
  return kavarin::WebKeyByPlace(code, key);
}

EMSCRIPTEN_KEEPALIVE int kv_view_key(int named, int modifiers) {
  return static_cast<int>(
      kavarin::ViewKeyOf(static_cast<kavarin::NamedKey>(named), static_cast<uint8_t>(modifiers)));
}

EMSCRIPTEN_KEEPALIVE int kv_fitting_zoom(int roomWidth, int roomHeight, int chromeWidth,
                                         int chromeHeight, double ratio) {
  return kavarin::zoom_rule::LargestFittingZoom({roomWidth, roomHeight},
                                                {chromeWidth, chromeHeight}, ratio);
}

EMSCRIPTEN_KEEPALIVE int kv_full_screen_zoom(int width, int height, double ratio) {
  return kavarin::zoom_rule::FullScreenZoom({width, height}, ratio);
}

EMSCRIPTEN_KEEPALIVE int kv_smallest_zoom(double ratio) {
  return kavarin::zoom_rule::SmallestZoom(ratio);
}

EMSCRIPTEN_KEEPALIVE int kv_pad_connect(int id) {
  return game->Controllers().Connect(id) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void kv_pad_disconnect(int id) {
  game->Controllers().Disconnect(id);
}

// `button` is a kavarin::PadButton.
EMSCRIPTEN_KEEPALIVE void kv_pad_button(int id, int button, int pressed, double now) {
  game->Controllers().Button(id, static_cast<kavarin::PadButton>(button), pressed != 0,
                             PageTime(now));
}

EMSCRIPTEN_KEEPALIVE void kv_pad_stick(int id, int value) {
  game->Controllers().StickY(id, value);
}

// The cue sounds, synthesised here by the same generator that writes the desktop's files.
EMSCRIPTEN_KEEPALIVE int kv_cue_count() {
  return static_cast<int>(std::size(kavarin::soundgen::Cues));
}

EMSCRIPTEN_KEEPALIVE int kv_cue_rate() {
  return kavarin::soundgen::SampleRate;
}

EMSCRIPTEN_KEEPALIVE const char* kv_cue_name(int cue) {
  return Text(std::string(kavarin::soundgen::Cues[cue].name));
}

EMSCRIPTEN_KEEPALIVE const int16_t* kv_cue_samples(int cue) {
  if (cueSamples.empty()) {
    for (const auto& c : kavarin::soundgen::Cues)
      cueSamples.push_back(kavarin::soundgen::ToPcm16(c.make(), c.peak_dbfs));
  }
  return cueSamples[cue].data();
}

EMSCRIPTEN_KEEPALIVE int kv_cue_length(int cue) {
  kv_cue_samples(cue);
  return static_cast<int>(cueSamples[cue].size());
}

EMSCRIPTEN_KEEPALIVE const uint8_t* kv_icon() {
  if (icon.empty()) icon = kavarin::IconPixels(iconSize[0], iconSize[1]);
  return icon.data();
}

EMSCRIPTEN_KEEPALIVE int kv_icon_size() {
  kv_icon();
  return iconSize[0];
}

}  // extern "C"
