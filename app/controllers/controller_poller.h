#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "app/controllers/controller_keys.h"
#include "app/controllers/platform_key_repeat.h"

class QSocketNotifier;
struct _SDL_GameController;

namespace kavarin {

// Owns SDL's game-controller support and feeds what the controllers do to ControllerKeys, whose
// key events go to `send` on the thread that owns the poller. One poller per program.
//
// It wakes only when something happens. The device folder is watched through inotify, and SDL is
// asked about controllers when something in that folder changes, then for a few seconds while
// the new device settles (udev may announce it a little after its node appears). A seated
// controller's own device node is watched too, and SDL is asked for its news whenever the node
// has some; fire repeats come from a timer armed for the next one due. Only a controller without
// a node of its own (SDL's virtual ones) is polled: about 120 times a second while play runs,
// and less than once a second while it is stopped. Without SDL's controller support, or without a
// device folder, controllers connected at start-up are all there is.
class ControllerPoller : public QObject {
 public:
  explicit ControllerPoller(ControllerKeys::Send send, QString deviceFolder = "/dev/input",
                            std::function<KeyRepeat()> repeat = PlatformKeyRepeat,
                            QObject* parent = nullptr);
  ~ControllerPoller() override;
  ControllerPoller(const ControllerPoller&) = delete;
  ControllerPoller& operator=(const ControllerPoller&) = delete;

  // Handles everything SDL has for us now: controllers connected and pulled out, buttons and
  // sticks, then the fire repeats that are due.
  void Poll();

  // Whether play runs (as it does until told otherwise): controllers without a node of their own
  // are then polled often, and otherwise seldom.
  void SetPlayRunning(bool running);

  // Whether a poll is armed: never while no controller has a seat, no device is settling and no
  // fire button is held, nor for a controller whose node is watched.
  bool Polling() const { return poll_.isActive(); }
  int SeatCount() const { return keys_.SeatCount(); }

 private:
  struct Seated;
  void Watch(const QString& folder);
  void DevicesChanged();
  void Connect(int deviceIndex);
  void Disconnect(int32_t id);
  void NodeChanged(int32_t id);
  void Rearm();

  ControllerKeys keys_;
  std::function<KeyRepeat()> repeat_;
  std::map<int32_t, std::unique_ptr<Seated>> open_;  // the seated controllers, by SDL instance id
  QTimer poll_;
  QSocketNotifier* devices_ = nullptr;
  int inotify_ = -1;
  bool sdl_ = false;
  bool playRunning_ = true;
  std::chrono::steady_clock::time_point settleUntil_{};
};

}  // namespace kavarin
