// The four cue sounds, synthesised from nothing but arithmetic and a seeded noise source, so a
// build always produces the same bytes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kavarin::soundgen {

inline constexpr int SampleRate = 44100;

// Mono samples in -1..1, before scaling to 16 bits.
using Signal = std::vector<double>;

Signal Hassha();  // a beam is fired: a short bright zap
Signal Shuku();   // the star collapses: a tone that falls and fades
Signal Chou();    // the supernova: a deep rumbling blast
Signal Hakai();   // a ship is destroyed: a crunching, crackling explosion

// Scales a signal so its largest sample sits at peak_dbfs (below 0) and rounds it to 16 bits.
std::vector<std::int16_t> ToPcm16(const Signal& signal, double peak_dbfs);

struct Cue {
  std::string_view name;
  Signal (*make)();
  double peak_dbfs;
};

// The firing zap comes often, so it sits a little lower than the blasts.
inline constexpr Cue Cues[] = {
    {"hassha", Hassha, -3.0},
    {"shuku", Shuku, -2.0},
    {"chou", Chou, -1.0},
    {"hakai", Hakai, -1.0},
};

}  // namespace kavarin::soundgen
