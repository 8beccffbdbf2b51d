#pragma once

#include <QString>

#include "online/online_loop.h"

namespace kavarin {

// The window title while waiting for the other player, while connected, and once the match has
// ended: in the game's own language.
QString WaitingTitle(int port);
QString ConnectingTitle(const QString& where);
QString PlayingTitle(int roundTripMs);
QString EndedTitle(MatchEnd why);

// The message that tells the player why the online match ended, and what was kept. A guest that
// never reached its host is told so, not that the link broke.
QString EndMessage(MatchEnd why, const QString& record, const QString& recordError);

}  // namespace kavarin
