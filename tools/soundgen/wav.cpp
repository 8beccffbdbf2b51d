#include "tools/soundgen/wav.h"

namespace kavarin::soundgen {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xff));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

}  // namespace

std::vector<std::uint8_t> EncodeWav(const std::vector<std::int16_t>& samples, int sample_rate) {
  constexpr std::uint32_t Channels = 1;
  constexpr std::uint32_t BytesPerSample = 2;
  const auto data_bytes = static_cast<std::uint32_t>(samples.size() * BytesPerSample);
  const auto rate = static_cast<std::uint32_t>(sample_rate);

  std::vector<std::uint8_t> out;
  out.reserve(44 + data_bytes);
  PutTag(out, "RIFF");
  Put32(out, 36 + data_bytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  Put32(out, 16);
  Put16(out, 1);  // integer PCM
  Put16(out, Channels);
  Put32(out, rate);
  Put32(out, rate * Channels * BytesPerSample);
  Put16(out, Channels * BytesPerSample);
  Put16(out, BytesPerSample * 8);
  PutTag(out, "data");
  Put32(out, data_bytes);
  for (std::int16_t s : samples) Put16(out, static_cast<std::uint16_t>(s));
  return out;
}

}  // namespace kavarin::soundgen
