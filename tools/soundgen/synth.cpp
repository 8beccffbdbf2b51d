#include "tools/soundgen/synth.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace kavarin::soundgen {
namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Dt = 1.0 / SampleRate;

std::size_t Samples(double seconds) {
  return static_cast<std::size_t>(seconds * SampleRate);
}

// xorshift32: a tiny noise source whose output depends only on its seed.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  std::uint32_t NextBits() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  double Uniform() { return NextBits() / 4294967296.0; }  // 0..1
  double White() { return 2.0 * Uniform() - 1.0; }        // -1..1

 private:
  std::uint32_t state_;
};

// A second-order filter section (the usual audio cookbook forms).
class Biquad {
 public:
  static Biquad LowPass(double hz, double q) { return Make(hz, q, true); }
  static Biquad HighPass(double hz, double q) { return Make(hz, q, false); }

  double operator()(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  static Biquad Make(double hz, double q, bool low) {
    const double w = 2.0 * Pi * hz / SampleRate;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    Biquad f;
    if (low) {
      f.b0_ = (1.0 - c) / 2.0 / a0;
      f.b1_ = (1.0 - c) / a0;
    } else {
      f.b0_ = (1.0 + c) / 2.0 / a0;
      f.b1_ = -(1.0 + c) / a0;
    }
    f.b2_ = f.b0_;
    f.a1_ = -2.0 * c / a0;
    f.a2_ = (1.0 - alpha) / a0;
    return f;
  }

  double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// Linear ramps at both ends so no cue starts or stops with a click.
void Taper(Signal& s, double attack_s, double release_s) {
  const std::size_t attack = std::min(Samples(attack_s), s.size());
  const std::size_t release = std::min(Samples(release_s), s.size());
  for (std::size_t i = 0; i < attack; ++i) s[i] *= static_cast<double>(i) / attack;
  for (std::size_t i = 0; i < release; ++i) s[s.size() - 1 - i] *= static_cast<double>(i) / release;
}

// Removes any DC offset left by filtered noise.
void BlockDc(Signal& s) {
  Biquad hp = Biquad::HighPass(20.0, 0.707);
  for (double& x : s) x = hp(x);
}

// Adds the odd harmonics of a square wave below 18 kHz, so the fast sweep does not alias. Each one
// fades in over the 3 kHz below that limit: switched on at once, it would click as the sweep falls.
double BandLimitedSquare(double phase, double hz) {
  double sum = 0.0;
  for (int k = 1; k <= 9; k += 2) {
    const double fade = std::clamp((18000.0 - k * hz) / 3000.0, 0.0, 1.0);
    sum += fade * std::sin(k * phase) / k;
  }
  return sum;
}

}  // namespace

Signal Hassha() {
  // A square-ish tone dropping from 5.2 kHz towards 1.1 kHz in a few tens of milliseconds, gone
  // within a quarter second, with a hiss of bright noise on the attack.
  const std::size_t n = Samples(0.24);
  Signal s(n);
  Noise noise(0x6a55a11u);
  Biquad hiss = Biquad::HighPass(4000.0, 0.707);
  double phase = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i * Dt;
    const double hz = 1100.0 + 4100.0 * std::exp(-t / 0.045);
    phase += 2.0 * Pi * hz * Dt;
    const double tone = BandLimitedSquare(phase, hz) * std::exp(-t / 0.055);
    const double click = 0.5 * hiss(noise.White()) * std::exp(-t / 0.008);
    s[i] = tone + click;
  }
  Taper(s, 0.001, 0.02);
  return s;
}

Signal Shuku() {
  // The star shrinks to a speck: a tone gliding down three octaves, softening as it goes, with a
  // slight wobble that slows with it.
  const double length = 1.0;
  const std::size_t n = Samples(length);
  Signal s(n);
  double phase = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i * Dt;
    const double u = t / length;
    const double wobble = 1.0 + 0.015 * std::sin(2.0 * Pi * (7.0 - 4.0 * u) * t);
    const double hz = 960.0 * std::pow(120.0 / 960.0, u) * wobble;
    phase += 2.0 * Pi * hz * Dt;
    const double tone =
        std::sin(phase) + 0.25 * std::sin(2.0 * phase) + 0.08 * std::sin(3.0 * phase);
    s[i] = tone * std::pow(1.0 - u, 1.6);
  }
  Taper(s, 0.005, 0.01);
  return s;
}

Signal Chou() {
  // The blast: a deep falling boom under low-passed noise that rolls and dies away slowly.
  const double length = 1.45;
  const std::size_t n = Samples(length);
  Signal s(n);
  Noise noise(0xc40u);
  Biquad rumble1 = Biquad::LowPass(150.0, 0.707);
  Biquad rumble2 = Biquad::LowPass(150.0, 0.707);
  Biquad crack = Biquad::LowPass(1800.0, 0.707);
  Biquad roll = Biquad::LowPass(6.0, 0.707);  // slow random swell of the rumble
  double phase = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i * Dt;
    const double white = noise.White();
    const double low = rumble2(rumble1(white)) * 9.0;
    const double swell = 1.0 + 4.0 * roll(noise.White());
    const double hz = 30.0 + 60.0 * std::exp(-t / 0.25);
    phase += 2.0 * Pi * hz * Dt;
    const double boom = std::sin(phase) * std::exp(-t / 0.35);
    const double burst = 0.35 * crack(white) * std::exp(-t / 0.04);
    s[i] = 0.8 * boom + low * swell * std::exp(-t / 0.5) + burst;
  }
  BlockDc(s);
  Taper(s, 0.006, 0.3);
  return s;
}

Signal Hakai() {
  // The ship breaks up: a train of weakening noise bursts, each with its own colour and grit,
  // sprinkled with crackle, over a short low thump.
  const double length = 0.85;
  const std::size_t n = Samples(length);
  Signal s(n, 0.0);
  Noise noise(0x4a6a1u);

  struct Burst {
    double start, amplitude, decay, cutoff_hz;
  };
  constexpr Burst Bursts[] = {
      {0.000, 1.00, 0.060, 6000.0}, {0.065, 0.70, 0.045, 2500.0}, {0.150, 0.60, 0.055, 9000.0},
      {0.260, 0.45, 0.050, 3500.0}, {0.390, 0.32, 0.060, 7000.0}, {0.530, 0.20, 0.070, 4500.0},
  };
  for (const Burst& b : Bursts) {
    Biquad colour = Biquad::LowPass(b.cutoff_hz, 0.9);
    double held = 0.0;
    int hold = 0;
    for (std::size_t i = Samples(b.start); i < n; ++i) {
      const double t = (i - Samples(b.start)) * Dt;
      if (t > 8.0 * b.decay) break;
      // Sample-and-hold over a few samples gives the noise its gritty crunch.
      if (hold-- <= 0) {
        held = noise.White();
        hold = static_cast<int>(noise.NextBits() % 4);
      }
      const double attack = std::min(1.0, t / 0.002);
      s[i] += b.amplitude * attack * std::exp(-t / b.decay) * (0.6 * colour(held) + 0.4 * held);
    }
  }

  // Crackle: sparse sharp clicks of random sign, thinning out over time.
  double click = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i * Dt;
    if (noise.Uniform() < 0.004 * std::exp(-t / 0.35)) click = (noise.Uniform() < 0.5 ? -1 : 1);
    s[i] += 0.55 * click * std::exp(-t / 0.4);
    click *= 0.6;
  }

  double phase = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = i * Dt;
    phase += 2.0 * Pi * (55.0 + 50.0 * std::exp(-t / 0.05)) * Dt;
    s[i] += 0.5 * std::sin(phase) * std::exp(-t / 0.09);
  }

  BlockDc(s);
  Taper(s, 0.001, 0.15);
  return s;
}

std::vector<std::int16_t> ToPcm16(const Signal& signal, double peak_dbfs) {
  double peak = 0.0;
  for (double x : signal) peak = std::max(peak, std::abs(x));
  const double scale = peak > 0.0 ? 32767.0 * std::pow(10.0, peak_dbfs / 20.0) / peak : 0.0;
  std::vector<std::int16_t> out(signal.size());
  for (std::size_t i = 0; i < signal.size(); ++i) {
    out[i] = static_cast<std::int16_t>(std::lround(signal[i] * scale));
  }
  return out;
}

}  // namespace kavarin::soundgen
