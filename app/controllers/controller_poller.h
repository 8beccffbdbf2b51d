#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>

#include "app/controllers/controller_keys.h"
#include "app/controllers/platform_key_repeat.h"

class QSocketNotifier;
struct _SDL_GameController;

namespace kavarin {

// Owns SDL's game-controller support and feeds what the controllers do to ControllerKeys, whose
// key events go to `send` on the thread that owns the poller. One poller per program.
//
// It costs nothing while no controller has a seat: the device folder is watched through inotify,
// and SDL is asked about controllers only when something in that folder changes, then for a few
// seconds while the new device settles (udev may announce it a little after its node appears).
// While a controller has a seat SDL is polled about 120 times a second, and fire repeats are
// sent from the same polls. Without SDL's controller support, or without a device folder,
// controllers connected at start-up are all there is.
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

  // Whether a poll is armed; never while no controller has a seat and no device is settling.
  bool Polling() const { return poll_.isActive(); }
  int SeatCount() const { return keys_.SeatCount(); }

 private:
  void Watch(const QString& folder);
  void DevicesChanged();
  void Connect(int deviceIndex);
  void Disconnect(int32_t id);
  void Rearm();

  ControllerKeys keys_;
  std::function<KeyRepeat()> repeat_;
  std::map<int32_t, _SDL_GameController*> open_;  // the seated controllers, by SDL instance id
  QTimer poll_;
  QSocketNotifier* devices_ = nullptr;
  int inotify_ = -1;
  bool sdl_ = false;
  std::chrono::steady_clock::time_point settleUntil_{};
};

}  // namespace kavarin
