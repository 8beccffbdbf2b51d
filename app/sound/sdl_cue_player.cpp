#include "app/sound/sdl_cue_player.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#ifndef KAVARIN_INSTALLED_SOUND_DIR
#define KAVARIN_INSTALLED_SOUND_DIR "/usr/local/share/kavarin/sounds"
#endif

namespace kavarin {
namespace {

namespace fs = std::filesystem;

// 256 samples at 44.1 kHz is 5.8 ms: a cue cutting off another is heard within a tick, and so is
// one that must wait while the device closes (SDL lets two buffers drain in closing).
constexpr int BufferSamples = 256;
constexpr size_t TailSamples =
    static_cast<size_t>(SdlCuePlayer::Frequency) * SdlCuePlayer::Tail.count() / 1000;

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

// A sound file as mono 16-bit samples at the player's rate, or nothing if it is no usable WAV.
bool LoadSound(const fs::path& file, std::vector<int16_t>& samples) {
  SDL_AudioSpec wav{};
  uint8_t* data = nullptr;
  uint32_t bytes = 0;
  if (SDL_LoadWAV(file.c_str(), &wav, &data, &bytes) == nullptr) return false;
  SDL_AudioCVT cvt{};
  const int built = SDL_BuildAudioCVT(&cvt, wav.format, wav.channels, wav.freq, AUDIO_S16SYS, 1,
                                      SdlCuePlayer::Frequency);
  bool ok = built >= 0;
  if (ok) {
    std::vector<uint8_t> work(static_cast<size_t>(bytes) *
                              static_cast<size_t>(std::max(1, cvt.len_mult)));
    std::memcpy(work.data(), data, bytes);
    cvt.buf = work.data();
    cvt.len = static_cast<int>(bytes);
    ok = built == 0 || SDL_ConvertAudio(&cvt) == 0;
    const size_t out = built == 0 ? bytes : static_cast<size_t>(cvt.len_cvt);
    if (ok) {
      samples.resize(out / sizeof(int16_t));
      std::memcpy(samples.data(), work.data(), samples.size() * sizeof(int16_t));
    }
  }
  SDL_FreeWAV(data);
  return ok && !samples.empty();
}

}  // namespace

SdlCuePlayer::SdlCuePlayer(std::vector<fs::path> folders) {
  SDL_LogSetOutputFunction(DiscardSdlLog, nullptr);
  SilenceAlsa();
  // SDL would turn SIGINT and SIGTERM into quit events that nobody reads under Qt's event loop,
  // and the game could then not be stopped from outside.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  // A device that opens now is likely there later; it is closed again at once.
  if (!Open()) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  SDL_CloseAudioDevice(device_);
  audio_open_ = true;
  for (size_t i = 0; i < AllCues.size(); ++i) {
    const std::string file = std::string(AllCues[i]) + ".wav";
    for (const fs::path& folder : folders) {
      const fs::path path = folder / file;
      // A broken file gives way to the next folder's.
      if (Readable(path) && LoadSound(path, sounds_[i])) {
        loaded_[i] = true;
        break;
      }
    }
  }
  worker_ = std::thread([this] { Run(); });
}

SdlCuePlayer::~SdlCuePlayer() {
  if (!audio_open_) return;
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  worker_.join();
  if (open_) SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlCuePlayer::Open() {
  SDL_AudioSpec wanted{};
  wanted.freq = Frequency;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 1;
  wanted.samples = BufferSamples;
  wanted.callback = &SdlCuePlayer::Feed;
  wanted.userdata = this;
  SDL_AudioSpec got{};
  // SDL converts to whatever the device takes, so the sounds are kept in one format.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
  return device_ != 0;
}

// The player's own thread: opens the device when a cue wants it and closes it once the cue and
// its tail are over. It sleeps in between, waking only when that changes.
void SdlCuePlayer::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || wanted_ != open_; });
    if (quit_) return;
    if (wanted_) {
      lock.unlock();
      const bool opened = Open();  // opened paused: nothing is fed yet
      lock.lock();
      open_ = opened;
      if (opened) {
        lock.unlock();
        SDL_PauseAudioDevice(device_, 0);
        lock.lock();
      } else {
        // A device that has gone away loses this cue; the next one tries again.
        wanted_ = false;
        playing_ = nullptr;
      }
    } else {
      open_ = false;  // from now on the device is fed silence only, so nothing is lost in closing
      lock.unlock();
      SDL_CloseAudioDevice(device_);
      lock.lock();
    }
  }
}

void SdlCuePlayer::Feed(void* self, uint8_t* stream, int bytes) {
  static_cast<SdlCuePlayer*>(self)->Feed(reinterpret_cast<int16_t*>(stream),
                                         static_cast<size_t>(bytes) / sizeof(int16_t));
}

// On SDL's audio thread: the next samples of the cue playing, then silence.
void SdlCuePlayer::Feed(int16_t* out, size_t count) {
  std::fill(out, out + count, int16_t{0});
  bool done = false;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;  // closing: a cue asked for now waits for the next device
    size_t filled = 0;
    if (playing_ != nullptr) {
      filled = std::min(count, playing_->size() - position_);
      std::copy_n(playing_->data() + position_, filled, out);
      position_ += filled;
      if (position_ == playing_->size()) playing_ = nullptr;
    }
    if (playing_ == nullptr) {
      tailLeft_ -= std::min(tailLeft_, count - filled);
      if (tailLeft_ == 0 && wanted_) {
        wanted_ = false;
        done = true;
      }
    }
  }
  if (done) changed_.notify_all();
}

const std::vector<int16_t>* SdlCuePlayer::Sound(std::string_view name) const {
  for (size_t i = 0; i < AllCues.size(); ++i) {
    if (AllCues[i] == name && loaded_[i]) return &sounds_[i];
  }
  return nullptr;
}

const std::vector<int16_t>* SdlCuePlayer::Playing() const {
  std::lock_guard lock(mutex_);
  return playing_;
}

size_t SdlCuePlayer::PlayedSamples() const {
  std::lock_guard lock(mutex_);
  return position_;
}

bool SdlCuePlayer::DeviceOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void SdlCuePlayer::PlayCue(std::string_view name) {
  const std::vector<int16_t>* sound = Sound(name);
  if (sound == nullptr) return;
  {
    // The newest cue replaces the one playing, from its first sample.
    std::lock_guard lock(mutex_);
    playing_ = sound;
    position_ = 0;
    tailLeft_ = TailSamples;
    wanted_ = true;
  }
  changed_.notify_all();
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
