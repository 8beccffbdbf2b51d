#pragma once

// Every text the game's window shows a player: the menu, the two dialogs, the titles and the
// message of online play. The Japanese texts are the game's own and the source of every
// translation; the English ones are in app/translations/kavarin_en.ts, which lupdate fills from
// the marks below. The desktop shell looks them up with QCoreApplication::translate(context,
// text); anything without Qt (the web build) can read the same .ts file. This header needs the
// standard library only.

#ifndef QT_TRANSLATE_NOOP
// Without Qt the mark is only the text (lupdate reads it from the source either way), spelled
// as Qt spells it so that either definition may come first.
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace kavarin::captions {

// A text and the context lupdate files it under: the window it belongs to.
struct Caption {
  const char* context;
  const char* text;  // UTF-8, Japanese
};

// The menu bar of the main window. "&" marks the access key, as in Qt and Windows.
inline constexpr Caption GameMenu{"TForm1", QT_TRANSLATE_NOOP("TForm1", "ゲーム(&G)")};
inline constexpr Caption StartCommand{"TForm1", QT_TRANSLATE_NOOP("TForm1", "開始(&S)")};
inline constexpr Caption ExitCommand{"TForm1", QT_TRANSLATE_NOOP("TForm1", "終了(&X)")};
inline constexpr Caption HelpMenu{"TForm1", QT_TRANSLATE_NOOP("TForm1", "？(&H)")};
inline constexpr Caption HowToPlayCommand{"TForm1", QT_TRANSLATE_NOOP("TForm1", "遊び方(&P)")};
inline constexpr Caption VersionCommand{"TForm1", QT_TRANSLATE_NOOP("TForm1", "ﾊﾞｰｼﾞｮﾝ情報(&A)")};

// Version information (the modal box).
inline constexpr Caption VersionTitle{"TForm2", QT_TRANSLATE_NOOP("TForm2", "ﾊﾞｰｼﾞｮﾝ情報")};
inline constexpr Caption VersionProduct{"TForm2",
                                        QT_TRANSLATE_NOOP("TForm2", "Kavarin for Windows95")};
inline constexpr Caption VersionNumber{"TForm2", QT_TRANSLATE_NOOP("TForm2", "Version 0.970819ot")};
inline constexpr Caption VersionSound{"TForm2", QT_TRANSLATE_NOOP("TForm2", "(音付きﾊﾞｰｼﾞｮﾝ）")};
inline constexpr Caption VersionNotice{"TForm2",
                                       QT_TRANSLATE_NOOP("TForm2", "自由に遊んで配ってください。")};
inline constexpr Caption VersionOk{"TForm2", QT_TRANSLATE_NOOP("TForm2", "OK")};

// How to play (the window beside the game).
inline constexpr Caption HowToPlayTitle{"TForm3", QT_TRANSLATE_NOOP("TForm3", "遊び方")};

// One of How to play's fixed labels: its name, its place in the client area (pixels), its text
// and, for headings, their own pixel size (0: the dialog's 12 px font).
struct PlacedLabel {
  const char* name;
  int left;
  int top;
  Caption caption;
  int headingPixelSize;
};

// Top to bottom as the player reads them: the rules, then the two players' keys. Every
// language uses the same places.
inline constexpr PlacedLabel HowToPlayLabels[] = {
    {"Label1", 96, 8, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "遊び方")}, 19},
    {"Label2",
     16,
     40,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "２人対戦専用のシューティングゲームです。")},
     0},
    {"Label13",
     16,
     56,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "撃ち合って相手の宇宙船を破壊してください。")},
     0},
    {"Label17",
     16,
     80,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "どちらか一方、または両方が破壊されると")},
     0},
    {"Label18",
     16,
     96,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "ゲームは一時中断し、得点を表示します。")},
     0},
    {"Label19", 16, 112, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "このとき")}, 0},
    {"Label20", 88, 112, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "スペースキー")}, 16},
    {"Label21",
     64,
     136,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "を押せばゲームは続行されます。")},
     0},
    {"Label14", 16, 160, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "どちらか一方、または両方が")}, 0},
    {"Label15", 168, 156, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "３ポイント")}, 16},
    {"Label16",
     16,
     176,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "になったところでゲームオーバーとなります。")},
     0},
    {"Label3", 88, 208, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "操作方法")}, 19},
    {"Label5", 48, 240, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "左側")}, 0},
    {"Label4", 192, 240, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "右側")}, 0},
    {"Label6", 8, 264, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "”Ａ”－上方移動")}, 0},
    {"Label9", 152, 264, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "上方移動－”］”(む)")}, 0},
    {"Label7", 24, 280, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "”Ｓ”－光線発射")}, 0},
    {"Label10", 136, 280, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "光線発射－”：”(け)")}, 0},
    {"Label8", 24, 296, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "”Ｘ”－下方移動")}, 0},
    {"Label11", 128, 296, {"TForm3", QT_TRANSLATE_NOOP("TForm3", "下方移動－”／”(め)")}, 0},
    {"Label12",
     24,
     320,
     {"TForm3", QT_TRANSLATE_NOOP("TForm3", "”スペース”・・・超新星爆発・・・”スペース”")},
     0},
};

// Online play: the window's title while waiting, connecting, playing and after the end, and the
// message box that says why the match ended. %1 is filled in: a port, where the guest connects
// to, the round trip in milliseconds, the record file or why it could not be written.
inline constexpr Caption WaitingTitle{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - ポート %1 で対戦相手を待っています")};
// %1 where the guest connects to, %2 for how many seconds it has tried.
inline constexpr Caption ConnectingTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - %1 に接続中 (%2 秒)")};
// %1 how the last match ended (one of the titles below), %2 the port.
inline constexpr Caption WaitingAgainTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "%1 / ポート %2 で次の対戦相手を待っています")};
// What the host's router said when asked to forward the port, after the waiting title: %1 the
// address and port the router forwards, %2 the protocol that asked.
inline constexpr Caption RouterAskingNote{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "（ルーターに転送を依頼中）")};
inline constexpr Caption RouterMappedNote{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "（ルーターが %1 を転送中、%2）")};
inline constexpr Caption RouterRefusedNote{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "（ルーターが転送を断りました）")};
inline constexpr Caption RouterSilentNote{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch", "（ルーターは UPnP にも NAT-PMP にも応じません）")};
inline constexpr Caption ConnectedTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 対戦相手と接続しました")};
inline constexpr Caption PlayingTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 対戦相手と接続中 (往復 %1 ms)")};
// Through a lobby: asking it for a room or for the room of a code, a host waiting in its room
// (%1 the code), and play through a TURN relay (%1 the round trip).
inline constexpr Caption AskingLobbyTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - ロビー %1 に問い合わせ中")};
inline constexpr Caption RoomWaitingTitle{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - ルーム %1 で待機中")};
inline constexpr Caption RelayedPlayingTitle{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 中継サーバー経由で対戦中 (往復 %1 ms)")};
inline constexpr Caption PeerLeftTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 対戦相手が退出しました")};
inline constexpr Caption PeerLostTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 対戦相手との接続が切れました")};
inline constexpr Caption CouldNotConnectTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 接続できませんでした")};
inline constexpr Caption DesyncedTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 対戦を中止しました")};
inline constexpr Caption EndedTitle{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "Kavarin - 対戦が終わりました")};
inline constexpr Caption NeverConnectedMessage{
    "OnlineMatch",
    QT_TRANSLATE_NOOP(
        "OnlineMatch",
        "対戦相手に接続できませんでした。\n相手のアドレスとポート番号を確かめてください。")};
// A host whose port could not be opened again after a match; %1 says why.
inline constexpr Caption RewaitFailedMessage{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "対戦相手を待ち直せませんでした: %1")};
inline constexpr Caption LostBeforeStartMessage{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch", "対戦が始まる前に対戦相手との接続が切れました。")};
inline constexpr Caption PeerLeftMessage{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch",
                      "対戦相手がゲームを終了しました。\nオンライン対戦を終わります。")};
inline constexpr Caption PeerLostMessage{
    "OnlineMatch",
    QT_TRANSLATE_NOOP(
        "OnlineMatch",
        "対戦相手から 5 秒以上応答がありません。\n接続が切れたため、オンライン対戦を終わります。")};
inline constexpr Caption DesyncedMessage{
    "OnlineMatch",
    QT_TRANSLATE_NOOP("OnlineMatch",
                      "二台のゲームの進行が食い違ったため、オンライン対戦を中止しました。\n"
                      "両方の記録ファイルを不具合の報告に添えてください。")};
inline constexpr Caption EndedMessage{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "オンライン対戦が終わりました。")};
// What to do next, after the message and a blank line: a host waits by itself, a guest asks.
inline constexpr Caption HostWaitsNext{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "次の対戦相手を待っています。")};
inline constexpr Caption GuestConnectsAgain{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "F2 キーでもう一度接続します。")};
// Added after the message, after a blank line.
inline constexpr Caption RecordNotWritten{
    "OnlineMatch", QT_TRANSLATE_NOOP("OnlineMatch", "記録ファイルを書けませんでした: %1")};
inline constexpr Caption RecordWritten{"OnlineMatch",
                                       QT_TRANSLATE_NOOP("OnlineMatch", "記録ファイル: %1")};

// Playing against the computer: the window's title at each of its three levels.
inline constexpr Caption ComputerEasyTitle{
    "ComputerMatch",
    QT_TRANSLATE_NOOP("ComputerMatch", "Kavarin - コンピュータと対戦 (レベル 1: やさしい)")};
inline constexpr Caption ComputerFairTitle{
    "ComputerMatch",
    QT_TRANSLATE_NOOP("ComputerMatch", "Kavarin - コンピュータと対戦 (レベル 2: ふつう)")};
inline constexpr Caption ComputerStrongTitle{
    "ComputerMatch",
    QT_TRANSLATE_NOOP("ComputerMatch", "Kavarin - コンピュータと対戦 (レベル 3: つよい)")};
// The web page's choice of playing against the computer, beside its menu bar.
inline constexpr Caption ComputerChoiceLabel{"ComputerMatch",
                                             QT_TRANSLATE_NOOP("ComputerMatch", "コンピュータ")};
inline constexpr Caption ComputerOff{"ComputerMatch", QT_TRANSLATE_NOOP("ComputerMatch", "なし")};
inline constexpr Caption ComputerEasy{"ComputerMatch",
                                      QT_TRANSLATE_NOOP("ComputerMatch", "レベル 1: やさしい")};
inline constexpr Caption ComputerFair{"ComputerMatch",
                                      QT_TRANSLATE_NOOP("ComputerMatch", "レベル 2: ふつう")};
inline constexpr Caption ComputerStrong{"ComputerMatch",
                                        QT_TRANSLATE_NOOP("ComputerMatch", "レベル 3: つよい")};

// Every caption above by name, for tools and tests that go through them all; How to play's
// labels are in HowToPlayLabels.
inline constexpr Caption Named[] = {
    GameMenu,
    StartCommand,
    ExitCommand,
    HelpMenu,
    HowToPlayCommand,
    VersionCommand,
    VersionTitle,
    VersionProduct,
    VersionNumber,
    VersionSound,
    VersionNotice,
    VersionOk,
    HowToPlayTitle,
    WaitingTitle,
    ConnectingTitle,
    WaitingAgainTitle,
    RouterAskingNote,
    RouterMappedNote,
    RouterRefusedNote,
    RouterSilentNote,
    ConnectedTitle,
    PlayingTitle,
    AskingLobbyTitle,
    RoomWaitingTitle,
    RelayedPlayingTitle,
    PeerLeftTitle,
    PeerLostTitle,
    CouldNotConnectTitle,
    DesyncedTitle,
    EndedTitle,
    NeverConnectedMessage,
    RewaitFailedMessage,
    LostBeforeStartMessage,
    PeerLeftMessage,
    PeerLostMessage,
    DesyncedMessage,
    EndedMessage,
    HostWaitsNext,
    GuestConnectsAgain,
    RecordNotWritten,
    RecordWritten,
    ComputerEasyTitle,
    ComputerFairTitle,
    ComputerStrongTitle,
    ComputerChoiceLabel,
    ComputerOff,
    ComputerEasy,
    ComputerFair,
    ComputerStrong,
};

}  // namespace kavarin::captions
