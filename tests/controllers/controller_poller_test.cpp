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
using Events = std::vector<std::pair<bool, int32_t>>;

// Runs the event loop until `done` holds, for at most `ms`.
template <typename Done>
bool Spin(int ms, Done done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
  return done();
}

// A scratch folder standing in for /dev/input: a node appearing in it is a device plugged in.
struct DeviceFolder {
  fs::path path = fs::temp_directory_path() / ("kavarin-pads-" + std::to_string(getpid()));
  int nodes = 0;
  DeviceFolder() { fs::create_directories(path); }
  ~DeviceFolder() { fs::remove_all(path); }
  QString Path() const { return QString::fromStdString(path.string()); }
  void NodeAppears() { std::ofstream(path / ("event" + std::to_string(nodes++))); }
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
    joystick_ = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
    EXPECT_NE(joystick_, nullptr) << SDL_GetError();
  }
  ~VirtualPad() { Pull(); }
  void Press(SDL_GameControllerButton button, bool down = true) {
    SDL_JoystickSetVirtualButton(joystick_, button, down);
  }
  void StickY(int16_t y) { SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTY, y); }
  void Pull() {
    if (joystick_ == nullptr) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(std::exchange(joystick_, nullptr));
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

TEST(ControllerPoller, ControllersPluggedInAndPulledOutWhileTheGameRuns) {
  Events sent;
  // Waits for `n` key events, and a little longer for any that should not come; sorted, as the
  // key-ups of a controller pulled out come in no particular order.
  auto take = [&](size_t n) {
    Spin(2000, [&] { return sent.size() >= n; });
    Spin(50, [] { return false; });
    std::sort(sent.begin(), sent.end());
    return std::exchange(sent, {});
  };
  DeviceFolder devices;
  ControllerPoller poller([&](bool down, int32_t code) { sent.emplace_back(down, code); },
                          devices.Path(),
                          [] {
                            return KeyRepeat{milliseconds(60), milliseconds(20)};
                          });

  // Nothing is asked of SDL until the device folder changes.
  VirtualPad left, right, third;
  Spin(300, [] { return false; });
  EXPECT_FALSE(poller.Polling());
  EXPECT_EQ(poller.SeatCount(), 0);
  devices.NodeAppears();
  ASSERT_TRUE(Spin(2000, [&] { return poller.SeatCount() == 2; }));

  left.Press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  EXPECT_EQ(take(1), (Events{{true, VkA}}));
  right.StickY(-9000);  // inside the dead zone
  third.Press(SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(take(0), Events{});
  right.StickY(20000);
  right.Press(SDL_CONTROLLER_BUTTON_START);
  EXPECT_EQ(take(2), (Events{{true, VkSpace}, {true, VkOem2}}));

  // Held fire: down, then a repeat after 60 ms and every 20 ms after that.
  QElapsedTimer held;
  held.start();
  left.Press(SDL_CONTROLLER_BUTTON_Y);
  const Events fired = take(8);
  EXPECT_GE(fired.size(), 8u);
  EXPECT_LE(fired.size(), static_cast<size_t>(2 + (held.elapsed() - 60) / 20));
  EXPECT_EQ(fired, Events(fired.size(), {true, VkS}));

  // Pulled out holding up and fire, the left controller lets both go. The third stays ignored,
  // and the next one plugged in flies the left ship; the right player keeps theirs.
  left.Pull();
  EXPECT_EQ(take(2), (Events{{false, VkA}, {false, VkS}}));
  VirtualPad next;
  devices.NodeAppears();
  ASSERT_TRUE(Spin(2000, [&] { return poller.SeatCount() == 2; }));
  next.Press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  third.Press(SDL_CONTROLLER_BUTTON_A);
  right.StickY(0);
  EXPECT_EQ(take(2), (Events{{false, VkOem2}, {true, VkX}}));

  // With every controller gone the poller goes quiet once the folder has settled.
  next.Pull();
  right.Pull();
  third.Pull();
  EXPECT_EQ(take(2), (Events{{false, VkSpace}, {false, VkX}}));
  EXPECT_TRUE(Spin(6000, [&] { return !poller.Polling(); }));
}

// Activation reaches the widgets through the event loop; watch for it.
bool Activate(QWidget* window) {
  window->activateWindow();
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
  ASSERT_TRUE(Activate(&form));
  DeviceFolder devices;
  ControllerPoller pads([&](bool down, int32_t code) { form.ControllerKey(down, code); },
                        devices.Path(), [] { return KeyRepeat{}; });
  VirtualPad pad;
  devices.NodeAppears();
  ASSERT_TRUE(Spin(2000, [&] { return pads.SeatCount() == 1; }));
  const MatchState& state = form.Game().state;

  // Start starts the first round as Space does; the stick flies the left ship, also while How to
  // play is in front.
  pad.Press(SDL_CONTROLLER_BUTTON_START);
  ASSERT_TRUE(Spin(2000, [&] { return !AllStopped(form.Timers()); }));
  pad.StickY(-32768);
  EXPECT_TRUE(Spin(2000, [&] { return state.LeftThrust == -1; }));
  form.KP1Click();
  ASSERT_TRUE(Activate(form3));
  pad.StickY(32767);
  EXPECT_TRUE(Spin(2000, [&] { return state.LeftThrust == 1; }));

  // Another window in front (here one of the test's own): nothing reaches the game, as with keys.
  QWidget other;
  other.show();
  ASSERT_TRUE(Activate(&other));
  pad.StickY(0);
  pad.Press(SDL_CONTROLLER_BUTTON_A);
  Spin(200, [] { return false; });
  EXPECT_EQ(state.LeftThrust, 1);
  EXPECT_EQ(state.LeftBeamState, 0);
  pad.Press(SDL_CONTROLLER_BUTTON_A, false);

  // Version information blocks controllers as it blocks keys; once it is closed, they fire.
  ASSERT_TRUE(Activate(&form));
  int32_t beamWhileOpen = -1;
  QTimer::singleShot(300, form2, [&] { pad.Press(SDL_CONTROLLER_BUTTON_B); });
  QTimer::singleShot(600, form2, [&] {
    beamWhileOpen = QApplication::activeModalWidget() == form2 ? state.LeftBeamState : -1;
    form2->accept();
  });
  form.About1Click();
  EXPECT_EQ(beamWhileOpen, 0);
  pad.Press(SDL_CONTROLLER_BUTTON_B, false);
  ASSERT_TRUE(Activate(&form));
  pad.Press(SDL_CONTROLLER_BUTTON_X);
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
