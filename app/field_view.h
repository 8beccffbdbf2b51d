#pragma once

#include <QWidget>

#include "render/field.h"

namespace kavarin {

// The play field on screen. It shows the pixels of the simulation's field, which the game draws
// into; because the widget paints from those pixels, the picture (the scoreboard too) survives
// the window being covered, minimised and restored.
class FieldView : public QWidget {
  Q_OBJECT

 public:
  explicit FieldView(const Field& field, QWidget* parent = nullptr);

  // The window colour behind the field, and the client size Start puts back.
  void SetBackgroundColor(Color color);
  void SetClientSize(int32_t width, int32_t height);

  // Something was drawn; Flush shows it.
  void Changed() { dirty_ = true; }
  // Schedules one repaint if anything was drawn since the last one.
  void Flush();

  const Field& Pixels() const { return field_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const Field& field_;
  bool dirty_ = false;
};

}  // namespace kavarin
