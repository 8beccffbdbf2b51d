#pragma once

#include "app/view_key_rule.h"

class QKeyEvent;

namespace kavarin {

// The rule of app/view_key_rule.h for a Qt key event.
ViewKey ViewKeyOf(const QKeyEvent& event);

}  // namespace kavarin
