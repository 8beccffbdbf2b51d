#include "app/online/online_texts.h"

namespace kavarin {

QString WaitingTitle(int port) {
  return QStringLiteral("Kavarin - ポート %1 で対戦相手を待っています").arg(port);
}

QString ConnectingTitle(const QString& where) {
  return QStringLiteral("Kavarin - %1 に接続しています").arg(where);
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
    case MatchEnd::CouldNotConnect:
      return QStringLiteral("Kavarin - 対戦相手との接続が切れました");
    case MatchEnd::Desynced:
      return QStringLiteral("Kavarin - 対戦を中止しました");
    default:
      return QStringLiteral("Kavarin - 対戦が終わりました");
  }
}

QString EndMessage(MatchEnd why, const QString& record, const QString& recordError) {
  QString text;
  if (why == MatchEnd::CouldNotConnect)
    return QStringLiteral(
        "対戦相手に接続できませんでした。\n相手のアドレスとポート番号を確かめてください。");
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
  return text;
}

}  // namespace kavarin
