#include <xxhash.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "match/simulation.h"

namespace kavarin {

namespace {

// The numbers of the value in a fixed order, each as four little-endian bytes.
class LittleEndianBytes {
 public:
  void Add(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) bytes_[size_++] = static_cast<uint8_t>(u >> shift);
  }
  void Add(const WreckOffsets& offsets) {
    for (int32_t v : offsets) Add(v);
  }
  const uint8_t* Data() const { return bytes_.data(); }
  size_t Size() const { return size_; }

 private:
  static constexpr size_t Numbers = sizeof(MatchState) / sizeof(int32_t) + 1 + 3;
  std::array<uint8_t, Numbers * 4> bytes_{};
  size_t size_ = 0;
};

}  // namespace

uint64_t SimulationHash(const Simulation& sim) {
  LittleEndianBytes numbers;
  ForEachField(sim.state, [&numbers](const char*, const auto& value) { numbers.Add(value); });
  numbers.Add(static_cast<int32_t>(sim.field.PenColor()));
  for (TimerId t : AllTimers) numbers.Add(sim.timers[t]);

  // The numbers' hash seeds the pixels' hash, so a change in either changes the result.
  const XXH64_hash_t seed = XXH3_64bits(numbers.Data(), numbers.Size());
  return XXH3_64bits_withSeed(sim.field.Pixels(), static_cast<size_t>(FieldWidth) * FieldHeight,
                              seed);
}

}  // namespace kavarin
