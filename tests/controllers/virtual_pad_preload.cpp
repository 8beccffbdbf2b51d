// Loaded into the game with LD_PRELOAD: one of SDL's virtual game controllers is plugged in
// before the game starts, so the game sees it as connected at start-up. Its Start button is
// pressed when a line is written to the FIFO named by KAVARIN_PAD_FIFO; a thread waits for that
// in a blocking read, which wakes nothing until then.
#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace {

SDL_Joystick* pad = nullptr;

void PressStartOnRequest(const char* fifo) {
  const int fd = open(fifo, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char line[64];
  while (read(fd, line, sizeof line) > 0) {
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 1);
    SDL_Delay(2000);  // held past the next look, as SDL only sees where the button is then
    SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_START, 0);
  }
  close(fd);
}

__attribute__((constructor)) void PlugInPad() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
  SDL_VirtualJoystickDesc desc{};
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.name = "Kavarin test pad";
  pad = SDL_JoystickOpen(SDL_JoystickAttachVirtualEx(&desc));
  const char* fifo = std::getenv("KAVARIN_PAD_FIFO");
  if (pad != nullptr && fifo != nullptr) std::thread(PressStartOnRequest, fifo).detach();
}

}  // namespace
