#include "app/online/online_texts.h"

namespace kavarin {

QString WaitingTitle(int port) {
  return QStringLiteral("Kavarin - ポート %1 で対戦相手を待っています").arg(port);
}

QString ConnectingTitle(const QString& where, int seconds) {
  return QStringLiteral("Kavarin - %1 に接続中 (%2 秒)").arg(where).arg(seconds);
}

QString WaitingAgainTitle(int port, MatchEnd last) {
  return QStringLiteral("%1 / ポート %2 で次の対戦相手を待っています")
      .arg(EndedTitle(last))
      .arg(port);
}

QString PlayingTitle(int roundTripMs) {
  if (roundTripMs < 0) return QStringLiteral("Kavarin - 対戦相手と接続しました");
  return QStringLiteral("Kavarin - 対戦相手と接続中 (往復 %1 ms)").arg(roundTripMs);
}

QString EndedTitle(MatchEnd why) {
  switch (why) {
    case MatchEnd::PeerLeft:
      return QStringLiteral("Kavarin - 対戦相手が退出しました");
    case MatchEnd::PeerLost:
      return QStringLiteral("Kavarin - 対戦相手との接続が切れました");
    case MatchEnd::CouldNotConnect:
      return QStringLiteral("Kavarin - 接続できませんでした");
    case MatchEnd::Desynced:
      return QStringLiteral("Kavarin - 対戦を中止しました");
    default:
      return QStringLiteral("Kavarin - 対戦が終わりました");
  }
}

QString EndMessage(MatchEnd why, Player me, const QString& record, const QString& recordError,
                   const QString& failure) {
  // What to do next: a host waits for the next guest by itself, a guest asks with F2.
  const QString next = me == Player::Host ? QStringLiteral("\n\n次の対戦相手を待っています。")
                                          : QStringLiteral("\n\nF2 キーでもう一度接続します。");
  QString text;
  if (why == MatchEnd::CouldNotConnect) {
    if (me == Player::Host && !failure.isEmpty())
      return QStringLiteral("対戦相手を待ち直せませんでした: %1").arg(failure);
    if (me == Player::Host)
      return QStringLiteral("対戦が始まる前に対戦相手との接続が切れました。") + next;
    text = QStringLiteral(
        "対戦相手に接続できませんでした。\n相手のアドレスとポート番号を確かめてください。");
    if (!failure.isEmpty()) text += QStringLiteral("\n(%1)").arg(failure);
    return text + next;
  }
  switch (why) {
    case MatchEnd::PeerLeft:
      text = QStringLiteral("対戦相手がゲームを終了しました。\nオンライン対戦を終わります。");
      break;
    case MatchEnd::PeerLost:
      text = QStringLiteral(
          "対戦相手から 5 "
          "秒以上応答がありません。\n接続が切れたため、オンライン対戦を終わります。");
      break;
    case MatchEnd::Desynced:
      text = QStringLiteral(
          "二台のゲームの進行が食い違ったため、オンライン対戦を中止しました。\n"
          "両方の記録ファイルを不具合の報告に添えてください。");
      break;
    default:
      text = QStringLiteral("オンライン対戦が終わりました。");
      break;
  }
  if (!recordError.isEmpty())
    text += QStringLiteral("\n\n記録ファイルを書けませんでした: %1").arg(recordError);
  else if (!record.isEmpty())
    text += QStringLiteral("\n\n記録ファイル: %1").arg(record);
  return text + next;
}

}  // namespace kavarin
