#include "app/controllers/controller_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "match/keys.h"

namespace kavarin {
namespace {

using std::chrono::milliseconds;
using Events = std::vector<std::pair<bool, int32_t>>;

constexpr ControllerKeys::Time At(int ms) {
  return milliseconds(ms);
}

struct Log {
  Events sent;
  ControllerKeys::Send Sink() {
    return [this](bool down, int32_t code) { sent.emplace_back(down, code); };
  }
};

// Random input on both seats and on an ignored third controller, with controllers pulled out and
// new ones plugged in, checked at every step against what the players hold.
TEST(ControllerKeys, KeysFollowWhatIsHeldThroughRandomPlay) {
  Log log;
  ControllerKeys keys(log.Sink(), {milliseconds(660), milliseconds(40)});
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
  keys.Connect(1);
  keys.Connect(2);
  EXPECT_FALSE(keys.Connect(3));
  std::map<int32_t, bool> down;  // per code, as the game sees it

  // Half-way and three-eighths: in between, the stick keeps what it was.
  auto inBand = [](int32_t y) {
    return std::abs(y) >= ControllerKeys::StickLetGo && std::abs(y) < ControllerKeys::StickPushed;
  };
  std::mt19937 random(20240611);
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
      const int32_t y = std::clamp<int32_t>(
          (random() % 2 ? edge : -edge) + static_cast<int32_t>(random() % 4001) - 2000, -32768,
          32767);
      // Into the band from the same side: whatever the stick held, it still holds.
      const bool chatterOnly = inBand(y) && (h.stick < 0) == (y < 0);
      h.stick = y;
      keys.StickY(h.id, y);
      EXPECT_TRUE(!chatterOnly || log.sent.empty()) << "chatter at step " << step;
    } else if (action <= 6) {
      const int face = static_cast<int>(random() % 4);
      h.faces ^= 1 << face;
      keys.Button(h.id, static_cast<PadButton>(static_cast<int>(PadButton::FaceSouth) + face),
                  (h.faces & (1 << face)) != 0, now);
    } else if (action == 7) {
      keys.Button(3, PadButton::Up, random() % 2, now);
      keys.StickY(3, static_cast<int32_t>(random() % 65536) - 32768);
      EXPECT_EQ(log.sent, Events{}) << "the third controller at step " << step;
    } else if (random() % 20 == 0) {
      keys.Disconnect(h.id);  // what it held is let go, which the checks below see
      h = Held{nextId++};
      ASSERT_TRUE(keys.Connect(h.id));  // a new one takes the free seat, not the third
      EXPECT_FALSE(keys.Seated(3));
    }
    keys.RunDue(now);

    for (const auto& [isDown, code] : std::exchange(log.sent, {})) {
      const bool fire = code == VkS || code == VkOem1;  // only fire repeats its key-down
      EXPECT_TRUE(!isDown || !down[code] || fire) << "second key-down " << code;
      EXPECT_TRUE(isDown || down[code]) << "key-up of a key not down " << code;
      down[code] = isDown;
    }
    for (int s = 0; s < 2; ++s) {
      const Held& p = held[s];
      const bool pushed[2] = {p.stick <= -ControllerKeys::StickPushed,
                              p.stick >= ControllerKeys::StickPushed};
      const bool atRest[2] = {p.stick > -ControllerKeys::StickLetGo,
                              p.stick < ControllerKeys::StickLetGo};
      for (int d = 0; d < 2; ++d) {
        EXPECT_TRUE(!(p.dpad[d] || pushed[d]) || down[Codes[s][d]]) << "not held " << step;
        EXPECT_TRUE(p.dpad[d] || !atRest[d] || !down[Codes[s][d]]) << "held " << step;
      }
      EXPECT_EQ(down[Codes[s][2]], p.faces != 0) << step;
    }
  }
}

TEST(ControllerKeys, HeldFireRepeatsAsAHeldKeyDoes) {
  Log log;
  ControllerKeys keys(log.Sink(), {milliseconds(660), milliseconds(40)});
  keys.Connect(7);
  keys.Connect(8);
  // Held from 100 ms to 2100 ms and polled every 8 ms: down at the press, then at the first poll
  // at or after 760, 800, 840, ... ms.
  keys.Button(8, PadButton::FaceEast, true, At(100));
  EXPECT_EQ(std::exchange(log.sent, {}), (Events{{true, VkOem1}}));
  std::vector<int> times;
  for (int t = 100; t <= 2100; t += 8) {
    keys.RunDue(At(t));
    for (const auto& event : std::exchange(log.sent, {})) {
      EXPECT_EQ(event, std::make_pair(true, int32_t{VkOem1}));
      times.push_back(t);
    }
  }
  ASSERT_EQ(times.size(), 1u + (2100u - 760u) / 40u);
  for (size_t k = 0; k < times.size(); ++k) {
    EXPECT_GE(times[k], 760 + 40 * static_cast<int>(k));
    EXPECT_LT(times[k], 768 + 40 * static_cast<int>(k));
  }

  // A second face button pressed while one is held fires at once and starts the delay anew; a
  // late poll fires once, not a burst; letting go of the last one stops it. Without repeat a held
  // button fires once.
  keys.Button(8, PadButton::FaceEast, false, At(2100));
  EXPECT_EQ(log.sent, (Events{{false, VkOem1}}));
  log.sent.clear();
  keys.Button(7, PadButton::FaceSouth, true, At(10000));
  keys.Button(7, PadButton::FaceWest, true, At(10500));
  for (int t : {11159, 11160, 13000, 13039, 13040}) keys.RunDue(At(t));
  keys.Button(7, PadButton::FaceSouth, false, At(13040));
  keys.Button(7, PadButton::FaceWest, false, At(13040));
  keys.RunDue(At(15000));
  keys.SetRepeat({milliseconds(500), milliseconds(0)});
  keys.Button(7, PadButton::FaceNorth, true, At(16000));
  keys.RunDue(At(19000));
  const auto fire = std::make_pair(true, int32_t{VkS});
  EXPECT_EQ(log.sent, (Events{fire, fire, fire, fire, fire, {false, VkS}, fire}));
}

// The poller sleeps until the next repeat is due: woken exactly then, and never before, the two
// seats' repeats come on time, one each wake-up; with nothing held nothing is due.
TEST(ControllerKeys, NextRepeatIsWhenTheNextRepeatFires) {
  Log log;
  ControllerKeys keys(log.Sink(), {milliseconds(660), milliseconds(40)});
  keys.Connect(7);
  keys.Connect(8);
  EXPECT_EQ(keys.NextRepeat(), std::nullopt);
  keys.Button(7, PadButton::FaceSouth, true, At(100));
  keys.Button(8, PadButton::FaceEast, true, At(130));
  log.sent.clear();
  for (int n = 0; n < 20; ++n) {
    const auto due = keys.NextRepeat();
    ASSERT_TRUE(due.has_value());
    // Left at 760, 800, ... ms and right at 790, 830, ... ms, in turn.
    EXPECT_EQ(*due, At((n % 2 == 0 ? 760 : 790) + 40 * (n / 2))) << n;
    keys.RunDue(*due - std::chrono::nanoseconds(1));
    EXPECT_TRUE(log.sent.empty()) << n;
    keys.RunDue(*due);
    EXPECT_EQ(std::exchange(log.sent, {}).size(), 1u) << n;
  }
  keys.Button(7, PadButton::FaceSouth, false, At(1200));
  EXPECT_EQ(keys.NextRepeat(), At(1190));  // the right seat's, still held
  keys.Button(8, PadButton::FaceEast, false, At(1200));
  EXPECT_EQ(keys.NextRepeat(), std::nullopt);
  keys.SetRepeat({milliseconds(500), milliseconds(0)});
  keys.Button(7, PadButton::FaceNorth, true, At(2000));
  EXPECT_EQ(keys.NextRepeat(), std::nullopt);  // no repeat: fired once, nothing more due
}

}  // namespace
}  // namespace kavarin
