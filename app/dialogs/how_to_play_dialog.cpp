#include "app/dialogs/how_to_play_dialog.h"

#include <QKeyEvent>
#include <QLabel>

#include "app/dialogs/dialog_font.h"

namespace {

struct LabelLine {
  const char* name;
  int left;
  int top;
  const char* caption;
  int heading_pixel_size;  // 0: the dialog's own 12 px font
};

// Top to bottom as the player reads them: the rules, then the two players' keys.
constexpr LabelLine kLabels[] = {
    {"Label1", 96, 8, "遊び方", 19},
    {"Label2", 16, 40, "２人対戦専用のシューティングゲームです。", 0},
    {"Label13", 16, 56, "撃ち合って相手の宇宙船を破壊してください。", 0},
    {"Label17", 16, 80, "どちらか一方、または両方が破壊されると", 0},
    {"Label18", 16, 96, "ゲームは一時中断し、得点を表示します。", 0},
    {"Label19", 16, 112, "このとき", 0},
    {"Label20", 88, 112, "スペースキー", 16},
    {"Label21", 64, 136, "を押せばゲームは続行されます。", 0},
    {"Label14", 16, 160, "どちらか一方、または両方が", 0},
    {"Label15", 168, 156, "３ポイント", 16},
    {"Label16", 16, 176, "になったところでゲームオーバーとなります。", 0},
    {"Label3", 88, 208, "操作方法", 19},
    {"Label5", 48, 240, "左側", 0},
    {"Label4", 192, 240, "右側", 0},
    {"Label6", 8, 264, "”Ａ”－上方移動", 0},
    {"Label9", 152, 264, "上方移動－”］”(む)", 0},
    {"Label7", 24, 280, "”Ｓ”－光線発射", 0},
    {"Label10", 136, 280, "光線発射－”：”(け)", 0},
    {"Label8", 24, 296, "”Ｘ”－下方移動", 0},
    {"Label11", 128, 296, "下方移動－”／”(め)", 0},
    {"Label12", 24, 320, "”スペース”・・・超新星爆発・・・”スペース”", 0},
};

}  // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent, DialogBorderFlags()) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("遊び方"));
  setFont(DialogFont(12));
  setFixedSize(256, 349);
  move(436, 22);
  for (const LabelLine& label : kLabels) {
    PlaceLabel(this, label.name, label.left, label.top, QString::fromUtf8(label.caption),
               label.heading_pixel_size);
  }
}

void TForm3::keyPressEvent(QKeyEvent* event) {
  // The page stays open beside the game until its close button is used, so
  // Escape does not dismiss it; no key it receives reaches the game either.
  event->accept();
}
