#pragma once

#include <array>
#include <span>
#include <string_view>

#include "online/cue_ledger.h"
#include "online/session_display.h"

namespace kavarin {

// Watches each simulated frame: collects its cues, and shows the drawing of new frames only.
class FrameWatcher : public Observer {
 public:
  explicit FrameWatcher(SessionDisplay& display) : display_(display) {}

  void Begin(bool show) {
    show_ = show;
    count_ = 0;
  }
  std::span<const std::string_view> Cues() const {
    return {cues_.data(), static_cast<size_t>(count_)};
  }

  void PenColorSet(Color c) override {
    if (show_) display_.PenColorSet(c);
  }
  void PolylineDrawn(Color pen, std::span<const Point> points) override {
    if (show_) display_.PolylineDrawn(pen, points);
  }
  void FieldCleared() override {
    if (show_) display_.FieldCleared();
  }
  void IntervalSet(TimerId timer, int32_t interval) override {
    if (show_) display_.IntervalSet(timer, interval);
  }
  void WindowColorSet(Color c) override {
    if (show_) display_.WindowColorSet(c);
  }
  void ClientSizeSet(int32_t w, int32_t h) override {
    if (show_) display_.ClientSizeSet(w, h);
  }
  void CuePlayed(std::string_view name) override {
    if (count_ < CueLedger::MaxPerFrame) cues_[static_cast<size_t>(count_++)] = name;
  }

 private:
  SessionDisplay& display_;
  bool show_ = false;
  std::array<std::string_view, CueLedger::MaxPerFrame> cues_{};
  int count_ = 0;
};

}  // namespace kavarin
