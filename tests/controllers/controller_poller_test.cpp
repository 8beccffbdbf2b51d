#include "app/controllers/controller_poller.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/dialogs/about_dialog.h"
#include "app/dialogs/how_to_play_dialog.h"
#include "app/main_window.h"
#include "match/keys.h"

namespace kavarin {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Event = std::pair<bool, int32_t>;
using Events = std::vector<Event>;

constexpr Event Down(int32_t code) {
  return {true, code};
}
constexpr Event Up(int32_t code) {
  return {false, code};
}

// Runs the event loop until `done` holds, for at most `ms`.
template <typename Done>
bool Spin(int ms, Done done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

// Stands in for /dev/input: a node appearing in it is a device plugged in.
class DeviceFolder {
 public:
  DeviceFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("kavarin-pads-" + std::to_string(getpid()) + "-" + test->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~DeviceFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  QString Path() const { return QString::fromStdString(path_.string()); }
  void NodeAppears() { std::ofstream(path_ / ("event" + std::to_string(nodes_++))); }

 private:
  fs::path path_;
  int nodes_ = 0;
};

// One of SDL's virtual game controllers, with every button and axis of SDL's layout.
class VirtualPad {
 public:
  VirtualPad() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Kavarin test pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    EXPECT_GE(index, 0) << SDL_GetError();
    joystick_ = SDL_JoystickOpen(index);
    EXPECT_NE(joystick_, nullptr) << SDL_GetError();
  }
  ~VirtualPad() { Pull(); }

  void Button(SDL_GameControllerButton button, bool pressed) {
    SDL_JoystickSetVirtualButton(joystick_, button, pressed);
  }
  void StickY(int16_t value) {
    SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTY, value);
  }
  void Pull() {
    if (joystick_ == nullptr) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

// Key-ups of one controller pulled out come in no particular order.
Events Sorted(Events events) {
  std::sort(events.begin(), events.end());
  return events;
}

struct Log {
  Events sent;
  ControllerKeys::Send Sink() {
    return [this](bool down, int32_t code) { sent.emplace_back(down, code); };
  }
  // Waits for `n` events (and a little more for any that should not come), and takes them.
  Events Take(size_t n) {
    Spin(2000, [&] { return sent.size() >= n; });
    Spin(50, [] { return false; });
    return std::exchange(sent, {});
  }
};

TEST(ControllerPoller, ControllersPluggedInAndPulledOutWhileTheGameRuns) {
  DeviceFolder devices;
  Log log;
  ControllerPoller poller(log.Sink(), devices.Path(), [] {
    return KeyRepeat{milliseconds(60), milliseconds(20)};
  });
  EXPECT_FALSE(poller.Polling());

  // Nothing is asked of SDL until the device folder changes.
  VirtualPad left, right, third;
  Spin(300, [] { return false; });
  EXPECT_EQ(poller.SeatCount(), 0);
  EXPECT_FALSE(poller.Polling());
  devices.NodeAppears();
  ASSERT_TRUE(Spin(2000, [&] { return poller.SeatCount() == 2; }));
  EXPECT_TRUE(poller.Polling());

  left.Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  EXPECT_EQ(log.Take(1), Events{Down(VkA)});
  right.StickY(-9000);  // inside the dead zone
  EXPECT_EQ(log.Take(0), Events{});
  right.StickY(20000);
  EXPECT_EQ(log.Take(1), Events{Down(VkOem2)});
  third.Button(SDL_CONTROLLER_BUTTON_START, true);
  third.StickY(-32768);
  right.Button(SDL_CONTROLLER_BUTTON_START, true);
  EXPECT_EQ(log.Take(1), Events{Down(VkSpace)});

  // Held fire repeats: first after 60 ms, then every 20 ms.
  QElapsedTimer held;
  held.start();
  left.Button(SDL_CONTROLLER_BUTTON_Y, true);
  const Events fired = log.Take(8);
  const auto most = static_cast<size_t>(2 + (held.elapsed() - 60) / 20);
  EXPECT_GE(fired.size(), 8u);
  EXPECT_LE(fired.size(), most);
  EXPECT_EQ(fired, Events(fired.size(), Down(VkS)));

  // The left controller is pulled out holding up and fire: both are let go, and the right
  // player keeps their seat.
  left.Pull();
  EXPECT_EQ(Sorted(log.Take(2)), (Events{Up(VkA), Up(VkS)}));
  right.StickY(0);
  EXPECT_EQ(log.Take(1), Events{Up(VkOem2)});

  // The third, already connected, stays ignored; the next one plugged in flies the left ship.
  VirtualPad next;
  devices.NodeAppears();
  ASSERT_TRUE(Spin(2000, [&] { return poller.SeatCount() == 2; }));
  next.Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  third.Button(SDL_CONTROLLER_BUTTON_A, true);
  EXPECT_EQ(log.Take(1), Events{Down(VkX)});

  // With every controller gone the poller goes quiet once the folder has settled.
  next.Pull();
  right.Pull();
  third.Pull();
  EXPECT_EQ(Sorted(log.Take(2)), (Events{Up(VkSpace), Up(VkX)}));
  EXPECT_EQ(poller.SeatCount(), 0);
  EXPECT_TRUE(Spin(6000, [&] { return !poller.Polling(); }));
}

// Activation reaches the widgets through the event loop; watch for it.
bool WaitActive(QWidget* window) {
  return Spin(1000, [&] { return QApplication::activeWindow() == window; });
}

TEST(ControllerPoller, ControllersFlyTheShipsWhileTheGameIsInFront) {
  struct : CuePlayer {
    void PlayCue(std::string_view) override {}
  } cues;
  TForm1 form(cues);
  auto* form2 = new TForm2(&form);
  auto* form3 = new TForm3(&form);
  form.SetDialogs(form2, form3);
  form.show();
  form.activateWindow();
  ASSERT_TRUE(WaitActive(&form));
  DeviceFolder devices;
  ControllerPoller pads([&](bool down, int32_t code) { form.ControllerKey(down, code); },
                        devices.Path(), [] { return KeyRepeat{}; });
  VirtualPad pad;
  devices.NodeAppears();
  ASSERT_TRUE(Spin(2000, [&] { return pads.SeatCount() == 1; }));
  const MatchState& state = form.Game().state;

  // Start as Space starts the first round; the stick flies the left ship.
  pad.Button(SDL_CONTROLLER_BUTTON_START, true);
  ASSERT_TRUE(Spin(2000, [&] { return !AllStopped(form.Timers()); }));
  pad.StickY(-32768);
  EXPECT_TRUE(Spin(2000, [&] { return state.LeftThrust == -1; }));

  // With How to play in front it still does.
  form.KP1Click();
  ASSERT_TRUE(WaitActive(form3));
  pad.StickY(32767);
  EXPECT_TRUE(Spin(2000, [&] { return state.LeftThrust == 1; }));

  // Another window in front (here one of the test's own): nothing reaches the game, as with
  // keys.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(WaitActive(&other));
  pad.StickY(0);
  pad.Button(SDL_CONTROLLER_BUTTON_A, true);
  Spin(200, [] { return false; });
  EXPECT_EQ(state.LeftThrust, 1);
  EXPECT_EQ(state.LeftBeamState, 0);
  pad.Button(SDL_CONTROLLER_BUTTON_A, false);

  // Version information blocks controllers as it blocks keys.
  form.activateWindow();
  ASSERT_TRUE(WaitActive(&form));
  bool modal = false;
  int32_t beamWhileOpen = -1;
  QTimer::singleShot(300, form2, [&] {
    modal = QApplication::activeModalWidget() == form2;
    pad.Button(SDL_CONTROLLER_BUTTON_B, true);
  });
  QTimer::singleShot(600, form2, [&] {
    beamWhileOpen = state.LeftBeamState;
    form2->accept();
  });
  form.About1Click();
  EXPECT_TRUE(modal);
  EXPECT_EQ(beamWhileOpen, 0);

  // Back in front, the next press fires.
  pad.Button(SDL_CONTROLLER_BUTTON_B, false);
  form.activateWindow();
  ASSERT_TRUE(WaitActive(&form));
  pad.Button(SDL_CONTROLLER_BUTTON_X, true);
  EXPECT_TRUE(Spin(2000, [&] { return state.LeftBeamState != 0; }));
}

}  // namespace
}  // namespace kavarin

int main(int argc, char** argv) {
  // Only SDL's virtual controllers take part, whatever is plugged into the machine.
  qputenv("SDL_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT", "0x0000/0x0000");
  qputenv("SDL_JOYSTICK_HIDAPI", "0");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
