#pragma once

#include <QString>

#include "online/online_loop.h"
#include "online/router_ports.h"

namespace kavarin {

// The window title while waiting for the other player, while connected, and once the match has
// ended: in the game's own language.
QString WaitingTitle(int port);
// A waiting title with what the router said of the port after it; the title alone when the
// router is not asked (`status` null).
QString WithRouterNote(const QString& title, const RouterStatus* status);
// A guest looking for its host, for `seconds` so far.
QString ConnectingTitle(const QString& where, int seconds);
QString PlayingTitle(int roundTripMs);
// Through a lobby: asking it (`lobby` as the player gave it), waiting in the room of `code`,
// and playing through a TURN relay.
QString AskingLobbyTitle(const QString& lobby);
QString RoomWaitingTitle(const QString& code);
QString RelayedPlayingTitle(int roundTripMs);
QString EndedTitle(MatchEnd why);
// A host waiting for the next guest after a match that ended for `last`.
QString WaitingAgainTitle(int port, MatchEnd last);

// The message that tells the player why the online match ended, what was kept, and what comes
// next. A guest that never reached its host is told so (with `failure`, the link's reason), not
// that the link broke; a host that cannot wait again is told why.
QString EndMessage(MatchEnd why, Player me, const QString& record, const QString& recordError,
                   const QString& failure);

}  // namespace kavarin
