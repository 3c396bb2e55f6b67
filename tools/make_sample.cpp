// Writes the sample WAV that `make run` probes: one second of a 440 Hz tone, 16-bit stereo at
// 44100 samples per second, in the canonical 44-byte header layout.
#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>
#include <string>

#include "wave_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pelorin-make-sample OUTPUT.wav\n");
    return 2;
  }
  constexpr std::uint32_t kRate = 44100;
  std::string samples;
  for (std::uint32_t i = 0; i < kRate; ++i) {
    const double amplitude = 0.25 * std::sin(2 * std::numbers::pi * 440.0 * i / kRate);
    const auto value = static_cast<std::int16_t>(std::lround(amplitude * 32767));
    const std::string frame = pelorin::le16(static_cast<std::uint16_t>(value));
    samples += frame + frame;  // left and right
  }
  try {
    pelorin::writeFile(argv[1],
                       pelorin::WaveBuilder().fmt(1, 2, kRate, 16).chunk("data", samples).bytes());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelorin-make-sample: error: %s\n", e.what());
    return 1;
  }
  return 0;
}
