#include "app/controllers/controller_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "match/keys.h"

namespace kavarin {
namespace {

using std::chrono::milliseconds;
using Event = std::pair<bool, int32_t>;
using Events = std::vector<Event>;

constexpr Event Down(int32_t code) {
  return {true, code};
}
constexpr Event Up(int32_t code) {
  return {false, code};
}

constexpr KeyRepeat Xorg{milliseconds(660), milliseconds(40)};
constexpr ControllerKeys::Time At(int ms) {
  return milliseconds(ms);
}

// The key events sent, taken out as they are checked.
struct Log {
  Events sent;
  ControllerKeys::Send Sink() {
    return [this](bool down, int32_t code) { sent.emplace_back(down, code); };
  }
  Events Take() { return std::exchange(sent, {}); }
};

TEST(ControllerKeys, TwoSeatsInPlugOrderAndAFreedSeatWaitsForTheNextPlug) {
  Log log;
  ControllerKeys keys(log.Sink(), Xorg);
  EXPECT_TRUE(keys.Connect(10));
  EXPECT_TRUE(keys.Connect(20));
  EXPECT_FALSE(keys.Connect(30));  // a third is ignored
  EXPECT_TRUE(keys.Connect(10));   // announced again: still seated, still left
  EXPECT_EQ(keys.SeatCount(), 2);

  // Every input of both seats, then the same from the third.
  for (int32_t id : {10, 20, 30}) {
    keys.Button(id, PadButton::Up, true, At(0));
    keys.Button(id, PadButton::Up, false, At(0));
    keys.StickY(id, 30000);
    keys.StickY(id, 0);
    keys.Button(id, PadButton::FaceNorth, true, At(0));
    keys.Button(id, PadButton::FaceNorth, false, At(0));
    keys.Button(id, PadButton::Start, true, At(0));
    keys.Button(id, PadButton::Start, false, At(0));
  }
  keys.RunDue(At(5000));
  EXPECT_EQ(log.Take(), (Events{Down(VkA), Up(VkA), Down(VkX), Up(VkX), Down(VkS), Up(VkS),
                                Down(VkSpace), Up(VkSpace), Down(VkOem6), Up(VkOem6), Down(VkOem2),
                                Up(VkOem2), Down(VkOem1), Up(VkOem1), Down(VkSpace), Up(VkSpace)}));

  // A stick resting near the edge does not chatter; swung straight across it changes keys.
  keys.StickY(20, 20000);
  for (int32_t y : {15000, 13000, 16383, 12288, 16000}) keys.StickY(20, y);
  keys.StickY(20, 12287);
  keys.StickY(20, 32767);
  keys.StickY(20, -16384);
  keys.StickY(20, 0);
  EXPECT_EQ(log.Take(),
            (Events{Down(VkOem2), Up(VkOem2), Down(VkOem2), Up(VkOem2), Down(VkOem6), Up(VkOem6)}));

  // The left controller is pulled out holding up, fire and Start: all of it is let go.
  keys.StickY(10, -32768);
  keys.Button(10, PadButton::FaceSouth, true, At(0));
  keys.Button(10, PadButton::Start, true, At(0));
  log.Take();
  keys.Disconnect(10);
  EXPECT_EQ(log.Take(), (Events{Up(VkA), Up(VkS), Up(VkSpace)}));
  keys.Button(10, PadButton::Up, true, At(0));
  keys.Button(30, PadButton::Up, true, At(0));  // the ignored one stays ignored
  keys.RunDue(At(5000));
  EXPECT_EQ(log.Take(), Events{});
  EXPECT_FALSE(keys.Seated(30));

  // The next one plugged in takes the empty left seat; the right player keeps theirs.
  EXPECT_TRUE(keys.Connect(40));
  keys.Button(40, PadButton::Down, true, At(0));
  keys.Button(20, PadButton::Down, true, At(0));
  EXPECT_EQ(log.Take(), (Events{Down(VkX), Down(VkOem2)}));
  EXPECT_FALSE(keys.Connect(50));
}

// Random input on two seats and an ignored third, against what a player holding the controller
// expects at every step.
TEST(ControllerKeys, KeysFollowWhatIsHeldThroughRandomPlay) {
  Log log;
  ControllerKeys keys(log.Sink(), Xorg);
  std::mt19937 random(20240611);
  constexpr std::array<std::array<int32_t, 3>, 2> Codes = {
      {{VkA, VkX, VkS}, {VkOem6, VkOem2, VkOem1}}};
  struct Held {
    int32_t id = 0;
    bool dpad[2] = {};
    int32_t stick = 0;
    int faces = 0;
  };
  std::array<Held, 2> held{Held{1}, Held{2}};
  int32_t nextId = 4;
  for (const Held& h : held) keys.Connect(h.id);
  keys.Connect(3);
  std::map<int32_t, bool> down;  // per code, as the game sees it from the events

  const PadButton faces[] = {PadButton::FaceSouth, PadButton::FaceEast, PadButton::FaceWest,
                             PadButton::FaceNorth};
  for (int step = 0; step < 20000; ++step) {
    const int seat = static_cast<int>(random() % 2);
    Held& h = held[seat];
    const int action = static_cast<int>(random() % 9);
    const auto now = At(step * 7);
    if (action <= 1) {
      h.dpad[action] = !h.dpad[action];
      keys.Button(h.id, action == 0 ? PadButton::Up : PadButton::Down, h.dpad[action], now);
    } else if (action <= 4) {
      // Mostly near the thresholds, where chattering would show.
      const int32_t edge = random() % 2 ? ControllerKeys::StickPushed : ControllerKeys::StickLetGo;
      h.stick = std::clamp<int32_t>(static_cast<int32_t>(random() % 2 ? edge : -edge) +
                                        static_cast<int32_t>(random() % 4001) - 2000,
                                    -32768, 32767);
      keys.StickY(h.id, h.stick);
    } else if (action <= 6) {
      const int face = static_cast<int>(random() % 4);
      const bool press = (h.faces & (1 << face)) == 0;
      h.faces ^= 1 << face;
      keys.Button(h.id, faces[face], press, now);
    } else if (action == 7) {
      keys.Button(3, PadButton::Up, random() % 2, now);  // the third controller
      keys.StickY(3, static_cast<int32_t>(random() % 65536) - 32768);
      EXPECT_EQ(log.sent, Events{}) << step;
    } else if (random() % 20 == 0) {
      // Pulled out: what it held is let go, which the checks below see.
      keys.Disconnect(h.id);
      h = Held{nextId++};
      ASSERT_TRUE(keys.Connect(h.id));
    }
    keys.RunDue(now);

    for (const auto& [isDown, code] : log.Take()) {
      const bool repeatable = code == VkS || code == VkOem1;  // only fire repeats its key-down
      EXPECT_TRUE(!isDown || !down[code] || repeatable) << "second key-down " << code;
      EXPECT_TRUE(isDown || down[code]) << "key-up of a key not down " << code;
      down[code] = isDown;
    }
    for (int s = 0; s < 2; ++s) {
      const Held& p = held[s];
      const int32_t y = p.stick;
      for (int d = 0; d < 2; ++d) {
        const bool pushed =
            d == 0 ? y <= -ControllerKeys::StickPushed : y >= ControllerKeys::StickPushed;
        const bool atRest =
            d == 0 ? y > -ControllerKeys::StickLetGo : y < ControllerKeys::StickLetGo;
        EXPECT_TRUE(!(p.dpad[d] || pushed) || down[Codes[s][d]]) << "not held " << step;
        EXPECT_TRUE(!(!p.dpad[d] && atRest) || !down[Codes[s][d]]) << "held " << step;
      }
      EXPECT_EQ(down[Codes[s][2]], p.faces != 0) << step;
    }
  }
}

TEST(ControllerKeys, HeldFireRepeatsAsAHeldKeyDoes) {
  Log log;
  ControllerKeys keys(log.Sink(), Xorg);
  keys.Connect(7);
  // Held from 100 ms to 2100 ms, polled every 8 ms: down at the press, then at the first poll at
  // or after 760, 800, 840, ... ms; up at the release.
  keys.Button(7, PadButton::FaceEast, true, At(100));
  EXPECT_EQ(log.Take(), Events{Down(VkS)});
  std::vector<int> times = {100};
  for (int t = 100; t <= 2100; t += 8) {
    keys.RunDue(At(t));
    for (auto& e : log.Take()) {
      EXPECT_EQ(e, Down(VkS));
      times.push_back(t);
    }
  }
  keys.Button(7, PadButton::FaceEast, false, At(2100));
  EXPECT_EQ(log.Take(), Events{Up(VkS)});
  ASSERT_EQ(times.size(), 1u + 1u + (2100u - 760u) / 40u);
  for (size_t k = 1; k < times.size(); ++k) {
    const int due = 760 + 40 * static_cast<int>(k - 1);
    EXPECT_GE(times[k], due);
    EXPECT_LT(times[k], due + 8);
  }
  keys.RunDue(At(9000));
  EXPECT_EQ(log.Take(), Events{});

  // A second face button pressed while one is held fires at once and starts the delay anew; a
  // late poll fires once, not a burst. Without repeat a held button fires once.
  keys.Button(7, PadButton::FaceSouth, true, At(10000));
  keys.Button(7, PadButton::FaceWest, true, At(10500));
  keys.RunDue(At(11000));
  keys.RunDue(At(11159));
  keys.RunDue(At(11160));
  keys.RunDue(At(13000));
  keys.RunDue(At(13039));
  keys.RunDue(At(13040));
  keys.Button(7, PadButton::FaceSouth, false, At(13040));
  keys.SetRepeat({milliseconds(500), milliseconds(0)});
  keys.Button(7, PadButton::FaceSouth, true, At(14000));
  keys.RunDue(At(16000));
  EXPECT_EQ(log.Take(), (Events{Down(VkS), Down(VkS), Down(VkS), Down(VkS), Down(VkS), Down(VkS)}));
}

}  // namespace
}  // namespace kavarin
