// The generated cue sounds, read back as data: their format, length and character.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Wav {
  uint16_t format = 0;
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
  std::vector<double> samples;  // -1..1

  double Seconds() const { return static_cast<double>(samples.size()) / rate; }

  // The part of the sound from `from` to `to` seconds.
  std::vector<double> Window(double from, double to) const {
    const auto a = std::min(samples.size(), static_cast<size_t>(from * rate));
    const auto b = std::min(samples.size(), static_cast<size_t>(to * rate));
    return {samples.begin() + a, samples.begin() + b};
  }
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

// Reads a plain WAV file: RIFF header, a 16-byte fmt chunk, then the data chunk.
Wav ReadWav(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> b{std::istreambuf_iterator<char>(in), {}};
  Wav wav;
  const auto tag = [&b](size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); };
  if (b.size() < 44 || tag(0) != "RIFF" || tag(8) != "WAVE" || tag(12) != "fmt " ||
      Le(b, 16, 4) != 16 || tag(36) != "data" || Le(b, 4, 4) + 8 != b.size() ||
      Le(b, 40, 4) + 44 != b.size()) {
    ADD_FAILURE() << path << " is not a plain WAV file";
    return wav;
  }
  wav.format = static_cast<uint16_t>(Le(b, 20, 2));
  wav.channels = static_cast<uint16_t>(Le(b, 22, 2));
  wav.rate = Le(b, 24, 4);
  wav.bits = static_cast<uint16_t>(Le(b, 34, 2));
  for (size_t i = 44; i + 1 < b.size(); i += 2) {
    wav.samples.push_back(static_cast<int16_t>(Le(b, i, 2)) / 32768.0);
  }
  return wav;
}

double Rms(const std::vector<double>& s) {
  double sum = 0;
  for (double x : s) sum += x * x;
  return s.empty() ? 0 : std::sqrt(sum / s.size());
}

// The frequency a signal's zero crossings give: high for bright sounds and hiss, low for rumble.
double CrossingHz(const std::vector<double>& s, uint32_t rate) {
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
  return s.empty() ? 0 : crossings / 2.0 * rate / s.size();
}

class CueSounds : public ::testing::Test {
 protected:
  static Wav Load(const char* name) {
    return ReadWav(std::filesystem::path(KAVARIN_TEST_SOUND_DIR) / (std::string(name) + ".wav"));
  }
};

TEST_F(CueSounds, AreSixteenBitPcmOfTheirLengthsWithoutClicksOrClipping) {
  struct Want {
    const char* name;
    double min_s, max_s;
  };
  for (const Want& want : {Want{"hassha", 0.05, 0.3}, Want{"shuku", 0.85, 1.15},
                           Want{"chou", 0.8, 1.5}, Want{"hakai", 0.3, 1.0}}) {
    SCOPED_TRACE(want.name);
    const Wav wav = Load(want.name);
    EXPECT_EQ(wav.format, 1);  // integer PCM
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 44100u);
    ASSERT_FALSE(wav.samples.empty());
    EXPECT_GE(wav.Seconds(), want.min_s);
    EXPECT_LE(wav.Seconds(), want.max_s);

    double peak = 0;
    for (double x : wav.samples) peak = std::max(peak, std::abs(x));
    EXPECT_LT(peak, 0.99);  // headroom: never clipped
    EXPECT_GT(peak, 0.5);   // and not lost under the game's other sounds
    EXPECT_LT(std::abs(wav.samples.front()), 0.01);
    EXPECT_LT(std::abs(wav.samples.back()), 0.01);
  }
}

TEST_F(CueSounds, HasshaIsAShortBrightZap) {
  const Wav wav = Load("hassha");
  const auto attack = wav.Window(0.0, 0.05);
  EXPECT_GT(CrossingHz(attack, wav.rate), 2000.0);
  // Nearly all of it is in the first 50 ms.
  EXPECT_GT(Rms(attack), 4.0 * Rms(wav.Window(0.1, 0.15)));
}

TEST_F(CueSounds, ShukuFallsAndShrinks) {
  const Wav wav = Load("shuku");
  double last_hz = 1e9, last_rms = 1e9;
  for (double t = 0.0; t < 0.8; t += 0.1) {
    SCOPED_TRACE(t);
    const auto w = wav.Window(t, t + 0.1);
    const double hz = CrossingHz(w, wav.rate);
    EXPECT_LT(hz, last_hz);
    EXPECT_LT(Rms(w), last_rms);
    last_hz = hz;
    last_rms = Rms(w);
  }
  EXPECT_GT(CrossingHz(wav.Window(0.0, 0.1), wav.rate),
            3.0 * CrossingHz(wav.Window(0.7, 0.8), wav.rate));
  EXPECT_GT(Rms(wav.Window(0.0, 0.1)), 4.0 * Rms(wav.Window(0.7, 0.8)));
}

TEST_F(CueSounds, ChouIsABigDeepBlast) {
  const Wav wav = Load("chou");
  EXPECT_GT(Rms(wav.Window(0.0, 0.2)), 0.2);  // loud from the start
  for (double t = 0.05; t + 0.1 <= wav.Seconds(); t += 0.1) {
    SCOPED_TRACE(t);
    EXPECT_LT(CrossingHz(wav.Window(t, t + 0.1), wav.rate), 250.0);
  }
  // It rolls on long after the bang.
  EXPECT_GT(Rms(wav.Window(0.8, 1.0)), 0.02);
}

TEST_F(CueSounds, HakaiIsACrunchingExplosion) {
  const Wav wav = Load("hakai");
  for (double t = 0.0; t < 0.5; t += 0.1) {
    SCOPED_TRACE(t);
    EXPECT_GT(CrossingHz(wav.Window(t, t + 0.1), wav.rate), 1500.0);  // noise, not a tone
  }
  // Broken up: several fresh bursts after the first, seen as jumps of the 10 ms loudness.
  int bursts = 0;
  double before = Rms(wav.Window(0.0, 0.01));
  for (double t = 0.01; t + 0.01 <= wav.Seconds(); t += 0.01) {
    const double now = Rms(wav.Window(t, t + 0.01));
    bursts += now > 1.5 * before && now > 0.02;
    before = now;
  }
  EXPECT_GE(bursts, 3);
  EXPECT_GT(Rms(wav.Window(0.0, 0.1)), 5.0 * Rms(wav.Window(0.6, 0.8)));
}

}  // namespace
