#include "app/controllers/controller_poller.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string_view>
#include <utility>

namespace kavarin {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A controller without a node of its own is polled about 120 times a second while play runs, so
// that a press reaches the next tick within half a tick; while play is stopped, a little less
// than once a second, which still lets Start start the round.
constexpr milliseconds PlayingPoll{8};
constexpr milliseconds StoppedPoll{1500};
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

// The controller's device node, opened to be told when it has news for SDL; -1 if it has none
// that can be read (SDL's virtual controllers have none).
int OpenNode(SDL_GameController* controller) {
#if SDL_VERSION_ATLEAST(2, 24, 0)
  const char* path = SDL_JoystickPath(SDL_GameControllerGetJoystick(controller));
  if (path == nullptr || std::string_view(path).rfind("/dev/", 0) != 0) return -1;
  return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#else
  (void)controller;
  return -1;
#endif
}

}  // namespace

struct ControllerPoller::Seated {
  SDL_GameController* controller = nullptr;
  int node = -1;
  std::unique_ptr<QSocketNotifier> news;

  ~Seated() {
    // A controller pulled out may be let go from inside its own notifier's signal.
    if (news) {
      news->setEnabled(false);
      news.release()->deleteLater();
    }
    if (node >= 0) close(node);
    SDL_GameControllerClose(controller);
  }
};

ControllerPoller::ControllerPoller(ControllerKeys::Send send, QString deviceFolder,
                                   std::function<KeyRepeat()> repeat, QObject* parent)
    : QObject(parent), keys_(std::move(send), repeat()), repeat_(std::move(repeat)), poll_(this) {
  poll_.setSingleShot(true);
  poll_.setTimerType(Qt::PreciseTimer);  // fire repeats keep their time
  connect(&poll_, &QTimer::timeout, this, &ControllerPoller::Poll);
  SDL_LogSetOutputFunction(DiscardSdlLog, nullptr);
  // SDL would turn SIGINT and SIGTERM into quit events that nobody reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // SDL's own HID drivers read some controllers themselves and stream their reports (motion
  // sensors included) hundreds of times a second; through the kernel's driver every controller
  // is a device node that has news only when a button or stick changes. The environment may
  // still choose otherwise.
  SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
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
  open_.clear();
  if (sdl_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void ControllerPoller::SetPlayRunning(bool running) {
  if (running == playRunning_) return;
  playRunning_ = running;
  Rearm();
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
  auto seated = std::make_unique<Seated>();
  seated->controller = controller;
  seated->node = OpenNode(controller);
  if (seated->node >= 0) {
    seated->news = std::make_unique<QSocketNotifier>(seated->node, QSocketNotifier::Read);
    connect(seated->news.get(), &QSocketNotifier::activated, this, [this, id] { NodeChanged(id); });
  }
  open_[id] = std::move(seated);
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
  open_.erase(it);
  keys_.Disconnect(id);
}

void ControllerPoller::NodeChanged(int32_t id) {
  const auto it = open_.find(id);
  if (it == open_.end()) return;
  Seated& seated = *it->second;
  // What the node says is SDL's to read from its own copy; this copy only tells that it spoke.
  std::array<char, 4096> events;
  ssize_t got = 0;
  while ((got = read(seated.node, events.data(), events.size())) > 0) {
  }
  // A node pulled out reads as an error at once, ever after: stop listening, and let the device
  // folder tell SDL of the removal.
  if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) seated.news->setEnabled(false);
  Poll();
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
  std::optional<Clock::duration> wait;
  const auto sooner = [&wait](Clock::duration d) {
    if (!wait || d < *wait) wait = d;
  };
  if (Clock::now() < settleUntil_) sooner(SettlePoll);
  const bool unwatched = std::any_of(open_.begin(), open_.end(),
                                     [](const auto& seat) { return seat.second->node < 0; });
  if (unwatched) sooner(playRunning_ ? PlayingPoll : StoppedPoll);
  if (const auto repeat = keys_.NextRepeat()) sooner(std::max(*repeat - Now(), Clock::duration{}));
  if (!wait) {
    poll_.stop();  // nothing to look for: wake nothing until a node or the device folder changes
    return;
  }
  // Rounded up, so a fire repeat is never looked for before it is due.
  const auto ms = std::chrono::ceil<milliseconds>(*wait);
  poll_.start(ms);
}

}  // namespace kavarin
