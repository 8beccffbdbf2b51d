#pragma once

#include <QWidget>

#include "render/field.h"

namespace kavarin {

// The play field on screen: the game draws into the pixels of a Field, and this widget shows
// them. Because the widget paints from those pixels, the picture (the scoreboard too) survives
// the window being covered, minimised and restored.
class FieldView : public QWidget, public DrawingSurface {
  Q_OBJECT

 public:
  explicit FieldView(QWidget* parent = nullptr);

  void SetPenColor(Color color) override { field_.SetPenColor(color); }
  void Polyline(std::span<const Point> points) override;
  void ClearField() override;
  void SetBackgroundColor(Color color) override;
  void SetClientSize(int32_t width, int32_t height) override;

  // Schedules one repaint if anything was drawn since the last one.
  void Flush();

  const Field& Pixels() const { return field_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Field field_;
  bool dirty_ = false;
};

}  // namespace kavarin
