#include "app/online/online_texts.h"

#include "app/captions/caption_text.h"

namespace kavarin {

QString WaitingTitle(int port) {
  return CaptionText(captions::WaitingTitle).arg(port);
}

QString ConnectingTitle(const QString& where) {
  return CaptionText(captions::ConnectingTitle).arg(where);
}

QString PlayingTitle(int roundTripMs) {
  if (roundTripMs < 0) return CaptionText(captions::ConnectedTitle);
  return CaptionText(captions::PlayingTitle).arg(roundTripMs);
}

QString EndedTitle(SessionState why) {
  switch (why) {
    case SessionState::PeerLeft:
      return CaptionText(captions::PeerLeftTitle);
    case SessionState::PeerLost:
      return CaptionText(captions::PeerLostTitle);
    case SessionState::Desynced:
      return CaptionText(captions::DesyncedTitle);
    default:
      return CaptionText(captions::EndedTitle);
  }
}

QString EndMessage(SessionState why, bool connected, const QString& record,
                   const QString& recordError) {
  QString text;
  if (!connected && why == SessionState::PeerLost)
    return CaptionText(captions::NeverConnectedMessage);
  switch (why) {
    case SessionState::PeerLeft:
      text = CaptionText(captions::PeerLeftMessage);
      break;
    case SessionState::PeerLost:
      text = CaptionText(captions::PeerLostMessage);
      break;
    case SessionState::Desynced:
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
  return text;
}

}  // namespace kavarin
