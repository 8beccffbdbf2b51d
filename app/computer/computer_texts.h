#pragma once

#include <QString>

namespace kavarin {

// The window title while playing against the computer at `level`, in the game's own language.
QString ComputerTitle(int level);

}  // namespace kavarin
