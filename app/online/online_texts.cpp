#include "app/online/online_texts.h"

#include <algorithm>

#include "app/captions/caption_text.h"

namespace kavarin {

QString WaitingTitle(int port) {
  return CaptionText(captions::WaitingTitle).arg(port);
}

QString WithRouterNote(const QString& title, const RouterStatus* status) {
  if (!status) return title;
  switch (status->answer) {
    case RouterAnswer::Asking:
      return title + CaptionText(captions::RouterAskingNote);
    case RouterAnswer::Mapped:
      return title + CaptionText(captions::RouterMappedNote)
                         .arg(QString::fromStdString(status->external),
                              QString::fromStdString(status->protocol));
    case RouterAnswer::Refused:
      return title + CaptionText(captions::RouterRefusedNote);
    case RouterAnswer::Silent:
      break;
  }
  return title + CaptionText(captions::RouterSilentNote);
}

QString ConnectingTitle(const QString& where, int seconds) {
  return CaptionText(captions::ConnectingTitle).arg(where).arg(seconds);
}

QString WaitingAgainTitle(int port, MatchEnd last) {
  return CaptionText(captions::WaitingAgainTitle).arg(EndedTitle(last)).arg(port);
}

QString PlayingTitle(int roundTripMs) {
  if (roundTripMs < 0) return CaptionText(captions::ConnectedTitle);
  return CaptionText(captions::PlayingTitle).arg(roundTripMs);
}

QString AskingLobbyTitle(const QString& lobby) {
  return CaptionText(captions::AskingLobbyTitle).arg(lobby);
}

QString RoomWaitingTitle(const QString& code) {
  return CaptionText(captions::RoomWaitingTitle).arg(code);
}

QString RelayedPlayingTitle(int roundTripMs) {
  return CaptionText(captions::RelayedPlayingTitle).arg(std::max(roundTripMs, 0));
}

QString EndedTitle(MatchEnd why) {
  switch (why) {
    case MatchEnd::PeerLeft:
      return CaptionText(captions::PeerLeftTitle);
    case MatchEnd::PeerLost:
      return CaptionText(captions::PeerLostTitle);
    case MatchEnd::CouldNotConnect:
      return CaptionText(captions::CouldNotConnectTitle);
    case MatchEnd::Desynced:
      return CaptionText(captions::DesyncedTitle);
    default:
      return CaptionText(captions::EndedTitle);
  }
}

QString EndMessage(MatchEnd why, Player me, const QString& record, const QString& recordError,
                   const QString& failure) {
  // What to do next: a host waits for the next guest by itself, a guest asks with F2.
  const QString next =
      QStringLiteral("\n\n") +
      CaptionText(me == Player::Host ? captions::HostWaitsNext : captions::GuestConnectsAgain);
  QString text;
  if (why == MatchEnd::CouldNotConnect) {
    if (me == Player::Host && !failure.isEmpty())
      return CaptionText(captions::RewaitFailedMessage).arg(failure);
    if (me == Player::Host) return CaptionText(captions::LostBeforeStartMessage) + next;
    text = CaptionText(captions::NeverConnectedMessage);
    if (!failure.isEmpty()) text += QStringLiteral("\n(%1)").arg(failure);
    return text + next;
  }
  switch (why) {
    case MatchEnd::PeerLeft:
      text = CaptionText(captions::PeerLeftMessage);
      break;
    case MatchEnd::PeerLost:
      text = CaptionText(captions::PeerLostMessage);
      break;
    case MatchEnd::Desynced:
      text = CaptionText(captions::DesyncedMessage);
      break;
    default:
      text = CaptionText(captions::EndedMessage);
      break;
  }
  if (!recordError.isEmpty())
    text += QStringLiteral("\n\n") + CaptionText(captions::RecordNotWritten).arg(recordError);
  else if (!record.isEmpty())
    text += QStringLiteral("\n\n") + CaptionText(captions::RecordWritten).arg(record);
  return text + next;
}

}  // namespace kavarin
