#include "app/controllers/controller_poller.h"

#include <SDL.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <optional>
#include <utility>

namespace kavarin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// About 120 polls a second while a controller has a seat: a press reaches the next tick within
// half a tick, and a fire repeat comes within 8 ms of its time.
constexpr milliseconds SeatedPoll{8};
// After the device folder changes, SDL is asked ten times a second for this long.
constexpr milliseconds SettlePoll{100};
constexpr std::chrono::seconds SettleTime{4};

void DiscardSdlLog(void*, int, SDL_LogPriority, const char*) {}

std::optional<PadButton> ButtonOf(uint8_t button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
      return PadButton::Up;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
      return PadButton::Down;
    case SDL_CONTROLLER_BUTTON_A:
      return PadButton::FaceSouth;
    case SDL_CONTROLLER_BUTTON_B:
      return PadButton::FaceEast;
    case SDL_CONTROLLER_BUTTON_X:
      return PadButton::FaceWest;
    case SDL_CONTROLLER_BUTTON_Y:
      return PadButton::FaceNorth;
    case SDL_CONTROLLER_BUTTON_START:
      return PadButton::Start;
    default:
      return std::nullopt;
  }
}

ControllerKeys::Time Now() {
  return Clock::now().time_since_epoch();
}

}  // namespace

ControllerPoller::ControllerPoller(ControllerKeys::Send send, QString deviceFolder,
                                   std::function<KeyRepeat()> repeat, QObject* parent)
    : QObject(parent), keys_(std::move(send), repeat()), repeat_(std::move(repeat)), poll_(this) {
  connect(&poll_, &QTimer::timeout, this, &ControllerPoller::Poll);
  SDL_LogSetOutputFunction(DiscardSdlLog, nullptr);
  // SDL would turn SIGINT and SIGTERM into quit events that nobody reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  sdl_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  if (!sdl_) return;
  Watch(deviceFolder);
  Poll();  // the controllers already connected
}

ControllerPoller::~ControllerPoller() {
  poll_.stop();
  delete devices_;
  if (inotify_ >= 0) close(inotify_);
  // No key-ups now: the window they would go to may be gone already.
  for (auto& [id, controller] : open_) SDL_GameControllerClose(controller);
  if (sdl_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void ControllerPoller::Watch(const QString& folder) {
  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0) return;
  const uint32_t changes = IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM;
  if (inotify_add_watch(inotify_, folder.toLocal8Bit().constData(), changes) < 0) {
    close(inotify_);
    inotify_ = -1;
    return;
  }
  devices_ = new QSocketNotifier(inotify_, QSocketNotifier::Read);
  connect(devices_, &QSocketNotifier::activated, this, &ControllerPoller::DevicesChanged);
}

void ControllerPoller::DevicesChanged() {
  std::array<char, 4096> events;
  while (read(inotify_, events.data(), events.size()) > 0) {
  }
  settleUntil_ = Clock::now() + SettleTime;
  Poll();
}

void ControllerPoller::Connect(int deviceIndex) {
  SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
  if (controller == nullptr) return;
  const int32_t id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
  // A controller announced twice is opened twice; the second hold on it goes at once.
  if (open_.count(id) != 0 || !keys_.Connect(id)) {
    SDL_GameControllerClose(controller);
    return;
  }
  open_[id] = controller;
  keys_.SetRepeat(repeat_());
  // Whatever is held already counts, as if pressed now.
  const auto now = Now();
  for (uint8_t button = 0; button < SDL_CONTROLLER_BUTTON_MAX; ++button) {
    const auto pad = ButtonOf(button);
    if (pad && SDL_GameControllerGetButton(controller, SDL_GameControllerButton(button)))
      keys_.Button(id, *pad, true, now);
  }
  keys_.StickY(id, SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTY));
}

void ControllerPoller::Disconnect(int32_t id) {
  const auto it = open_.find(id);
  if (it == open_.end()) return;
  SDL_GameControllerClose(it->second);
  open_.erase(it);
  keys_.Disconnect(id);
}

void ControllerPoller::Poll() {
  if (!sdl_) return;
  SDL_Event event;
  while (SDL_PollEvent(&event) == 1) {
    switch (event.type) {
      case SDL_CONTROLLERDEVICEADDED:
        Connect(event.cdevice.which);
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
        Disconnect(event.cdevice.which);
        break;
      case SDL_CONTROLLERBUTTONDOWN:
      case SDL_CONTROLLERBUTTONUP:
        if (const auto pad = ButtonOf(event.cbutton.button))
          keys_.Button(event.cbutton.which, *pad, event.cbutton.state == SDL_PRESSED, Now());
        break;
      case SDL_CONTROLLERAXISMOTION:
        if (event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY)
          keys_.StickY(event.caxis.which, event.caxis.value);
        break;
      default:
        break;
    }
  }
  keys_.RunDue(Now());
  Rearm();
}

void ControllerPoller::Rearm() {
  if (!open_.empty()) {
    if (!poll_.isActive() || poll_.intervalAsDuration() != SeatedPoll) poll_.start(SeatedPoll);
  } else if (Clock::now() < settleUntil_) {
    if (!poll_.isActive() || poll_.intervalAsDuration() != SettlePoll) poll_.start(SettlePoll);
  } else {
    poll_.stop();  // nothing connected: wake nothing until the device folder changes
  }
}

}  // namespace kavarin
