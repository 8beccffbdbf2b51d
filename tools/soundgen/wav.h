#pragma once

#include <cstdint>
#include <vector>

namespace kavarin::soundgen {

// A complete mono 16-bit PCM WAV file (RIFF header, fmt and data chunks), little-endian.
std::vector<std::uint8_t> EncodeWav(const std::vector<std::int16_t>& samples, int sample_rate);

}  // namespace kavarin::soundgen
