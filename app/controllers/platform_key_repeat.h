#pragma once

#include "app/controllers/controller_keys.h"

namespace kavarin {

// How a held key repeats on this display. On X11 it is the server's own setting (the delay and
// interval that `xset r rate` sets, none when repeat is off), which is what a held fire key does;
// Qt does not report it. Elsewhere it is Qt's repeat rate after half a second.
KeyRepeat PlatformKeyRepeat();

}  // namespace kavarin
