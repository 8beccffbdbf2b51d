#include "app/sound/sdl_cue_player.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <cstddef>
#include <string>
#include <system_error>
#include <utility>

#ifndef KAVARIN_INSTALLED_SOUND_DIR
#define KAVARIN_INSTALLED_SOUND_DIR "/usr/local/share/kavarin/sounds"
#endif

namespace kavarin {
namespace {

namespace fs = std::filesystem;

constexpr int Channel = 0;
constexpr int Frequency = 44100;
// 1024 frames at 44.1 kHz is 23 ms: a cue starts within a tick or two of its cause.
constexpr int BufferFrames = 1024;

void DiscardSdlLog(void*, int, SDL_LogPriority, const char*) {}

// ALSA writes its complaints (no card, no default device) straight to the terminal unless it is
// given a handler of its own. SDL loads ALSA at run time, so it is reached the same way here.
extern "C" void DiscardAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (alsa == nullptr) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (set != nullptr) set(DiscardAlsaError);
  // The library stays loaded: SDL will use this very copy, with the handler in place.
}

bool Readable(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

}  // namespace

SdlCuePlayer::SdlCuePlayer(std::vector<fs::path> folders) {
  SDL_LogSetOutputFunction(DiscardSdlLog, nullptr);
  SilenceAlsa();
  // SDL would turn SIGINT and SIGTERM into quit events that nobody reads under Qt's event loop,
  // and the game could then not be stopped from outside.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  if (Mix_OpenAudio(Frequency, AUDIO_S16SYS, 2, BufferFrames) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  audio_open_ = true;
  Mix_AllocateChannels(1);
  for (std::size_t i = 0; i < Names.size(); ++i) {
    const std::string file = std::string(Names[i]) + ".wav";
    for (const fs::path& folder : folders) {
      const fs::path path = folder / file;
      if (!Readable(path)) continue;
      chunks_[i] = Mix_LoadWAV(path.c_str());
      if (chunks_[i] != nullptr) break;  // a broken file gives way to the next folder's
    }
  }
}

SdlCuePlayer::~SdlCuePlayer() {
  if (!audio_open_) return;
  Mix_HaltChannel(-1);
  for (Mix_Chunk*& chunk : chunks_) {
    if (chunk != nullptr) Mix_FreeChunk(chunk);
    chunk = nullptr;
  }
  Mix_CloseAudio();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

const Mix_Chunk* SdlCuePlayer::Chunk(std::string_view name) const {
  for (std::size_t i = 0; i < Names.size(); ++i) {
    if (Names[i] == name) return chunks_[i];
  }
  return nullptr;
}

void SdlCuePlayer::PlayCue(std::string_view name) {
  Mix_Chunk* chunk = const_cast<Mix_Chunk*>(Chunk(name));
  if (chunk == nullptr) return;
  // Playing on the one channel cuts off whatever it was playing; the mixer plays it from its own
  // thread, so this returns at once.
  Mix_PlayChannel(Channel, chunk, 0);
}

std::vector<fs::path> SdlCuePlayer::DefaultFolders(const fs::path& executableDir) {
  std::vector<fs::path> folders = {
      executableDir,
      (executableDir / ".." / "share" / "kavarin" / "sounds").lexically_normal(),
      fs::path(KAVARIN_INSTALLED_SOUND_DIR),
  };
  // Drop repeats (the game run from the configured installation finds the same folder twice).
  std::vector<fs::path> unique;
  for (fs::path& folder : folders) {
    bool seen = false;
    for (const fs::path& kept : unique)
      seen = seen || kept.lexically_normal() == folder.lexically_normal();
    if (!seen) unique.push_back(std::move(folder));
  }
  return unique;
}

}  // namespace kavarin
