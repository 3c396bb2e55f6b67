#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

#include "support.h"
#include "wave_builder.h"

namespace pelorin::testing {

/// The path of `name` (its parts separated by "/") inside `folder`, as a walk writes it: with
/// the system's separator.
inline std::string inside(const std::string& folder, std::string_view name) {
  constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);
  std::string path = folder + kSeparator + std::string(name);
  std::replace(path.begin() + static_cast<std::ptrdiff_t>(folder.size()), path.end(), '/',
               kSeparator);
  return path;
}

/// The sound library the walks walk, made in `dir`: lib/ with a.wav, B.WAV, c.txt (not sound),
/// .h.wav, b-sub/x.wav and .hidden-sub/y.Wav, and outside.wav beside lib/. Returns lib's path.
inline std::string makeLibrary(const TempDir& dir) {
  const std::string wave = canonicalWave(100);
  const std::string lib = dir.folder("lib");
  dir.folder("lib/b-sub");
  dir.folder("lib/.hidden-sub");
  for (const char* name : {"lib/a.wav", "lib/B.WAV", "lib/.h.wav", "lib/b-sub/x.wav",
                           "lib/.hidden-sub/y.Wav", "outside.wav"}) {
    dir.write(name, wave);
  }
  dir.write("lib/c.txt", "not sound");
  return lib;
}

}  // namespace pelorin::testing
