#pragma once

#include <cstdint>

namespace kavarin {

// The computer's own random numbers: a small generator (SplitMix64) seeded by whoever makes the
// player, so that the same seed gives the same choices on every machine and in every build.
class SeededRandom {
 public:
  explicit SeededRandom(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number in 0..bound-1; bound > 0.
  int32_t Below(int32_t bound) {
    return static_cast<int32_t>(Next() % static_cast<uint64_t>(bound));
  }
  // True in `perMille` of a thousand calls, on average.
  bool Chance(int32_t perMille) { return Below(1000) < perMille; }

 private:
  uint64_t state_;
};

// One seed from a seed and a few numbers (a match, a side): each mix gives an unrelated stream.
inline uint64_t MixSeed(uint64_t seed, uint64_t a, uint64_t b = 0) {
  SeededRandom r(seed ^ (a * 0xD1B54A32D192ED03ull) ^ (b * 0x8CB92BA72F3D8DD7ull));
  return r.Next();
}

}  // namespace kavarin
