// kavarin-soundgen: writes the game's four cue sounds as WAV files into a folder.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include "tools/soundgen/synth.h"
#include "tools/soundgen/wav.h"

namespace fs = std::filesystem;

namespace {

// Writes beside the target and renames, so an interrupted build never leaves half a file that
// the game would then try to play.
bool WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::path partial = path;
  partial += ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) {
      std::cerr << "kavarin-soundgen: cannot write '" << partial.string()
                << "': " << std::strerror(errno) << "\n";
      return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::cerr << "kavarin-soundgen: cannot write '" << partial.string() << "'\n";
      std::error_code ignored;
      fs::remove(partial, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(partial, path, ec);
  if (ec) {
    std::cerr << "kavarin-soundgen: cannot write '" << path.string() << "': " << ec.message()
              << "\n";
    fs::remove(partial, ec);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::cerr << "kavarin-soundgen: usage: kavarin-soundgen FOLDER\n";
    return 2;
  }
  const fs::path folder = argv[1];
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder, ec)) {
    std::cerr << "kavarin-soundgen: cannot make folder '" << folder.string()
              << "': " << (ec ? ec.message() : std::string("not a folder")) << "\n";
    return 1;
  }
  for (const auto& cue : kavarin::soundgen::Cues) {
    const auto pcm = kavarin::soundgen::ToPcm16(cue.make(), cue.peak_dbfs);
    const auto wav = kavarin::soundgen::EncodeWav(pcm, kavarin::soundgen::SampleRate);
    if (!WriteFile(folder / (std::string(cue.name) + ".wav"), wav)) return 1;
  }
  return 0;
}
