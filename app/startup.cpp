#include "app/startup.h"

#include <QApplication>
#include <QByteArray>
#include <QTranslator>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/captions/translation.h"
#include "app/command_line.h"
#include "app/computer/computer_match.h"
#include "app/controllers/controller_poller.h"
#include "app/dialogs/about_dialog.h"
#include "app/dialogs/app_icon.h"
#include "app/dialogs/how_to_play_dialog.h"
#include "app/main_window.h"
#include "app/online/online_match.h"
#include "app/platform_failure.h"
#include "app/sound/sdl_cue_player.h"
#include "app/stderr_capture.h"
#include "files/record_file.h"
#include "online/endpoint.h"
#include "online/enet_transport.h"
#include "online/lobby_endpoint.h"
#include "online/lobby_guest_link.h"
#include "online/lobby_host_link.h"

namespace kavarin {
namespace {

// The online match to leave when the program ends without returning from here: when the display
// goes away, and when the toolkit calls exit().
OnlineMatch* leavingAtExit = nullptr;

void LeaveAtExit() {
  if (leavingAtExit != nullptr) leavingAtExit->LeaveAtExit();
}

void PrintLine(const std::string& line) {
  std::fputs(("kavarin: " + line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string_view(value) : std::string_view();
}

// While the application starts: what the toolkit said, and standard error held back, since the
// X libraries print the X server's reasons there themselves. A failure is then told in one line.
struct StartingUp {
  StderrCapture held;
  std::vector<std::string> said;
};
StartingUp* startingUp = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const std::string text = message.toStdString();
  // The toolkit ends the program itself once the display has gone; say so first.
  if (auto lost = DisplayLost(text, Env("DISPLAY"))) {
    if (startingUp != nullptr) startingUp->held.Release();
    PrintLine(*lost);
    LeaveAtExit();
    std::_Exit(1);
  }
  if (type != QtFatalMsg) {
    if (startingUp != nullptr && startingUp->said.size() < 64) startingUp->said.push_back(text);
    return;
  }
  std::string printed;
  std::vector<std::string> said;
  if (startingUp != nullptr) {
    printed = startingUp->held.Release();
    said = startingUp->said;
  }
  if (message.contains("platform plugin")) {
    PrintLine(PlatformFailure(said, text, printed, Env("DISPLAY"), Env("QT_QPA_PLATFORM")));
    std::_Exit(1);
  }
  // Anything else fatal: one line, then the toolkit aborts as it always does.
  PrintLine(message.section('\n', 0, 0).toStdString());
}

}  // namespace

std::optional<std::string> MissingDisplay(std::string_view platform, std::string_view display,
                                          std::string_view waylandDisplay) {
  // The platform may be a list of choices tried in order, each with ":options".
  bool onlyX11 = true;
  size_t begin = 0;
  while (begin <= platform.size() && !platform.empty()) {
    const size_t end = std::min(platform.find(';', begin), platform.size());
    const std::string_view choice = platform.substr(begin, end - begin);
    const std::string_view name = choice.substr(0, choice.find(':'));
    if (!name.empty() && name != "xcb") onlyX11 = false;
    begin = end + 1;
  }
  if (!display.empty()) return std::nullopt;
  if (platform.empty() && !waylandDisplay.empty()) return std::nullopt;
  if (!onlyX11) return std::nullopt;
  return "DISPLAY is not set";
}

void InstallQuietMessages() {
  qInstallMessageHandler(QuietHandler);
}

int RunKavarin(int argc, char** argv) {
  // Before anything else, so that --help and --version need no display.
  const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
  const CommandLine options = ParseCommandLine(arguments);
  if (options.action != CommandLine::Action::Play) return FinishCommandLine(options);

  // Online: the record's place is checked now, and the host's port taken before the window
  // opens, so that a port in use ends the program at once, in one line. A guest looks its
  // host's name up while the window is open.
  std::string error;
  if (!options.record.empty() && !MayWriteRecord(options.record, error)) {
    PrintLine(error);
    return 2;
  }
  InstallQuietMessages();
  if (auto why = MissingDisplay(Env("QT_QPA_PLATFORM"), Env("DISPLAY"), Env("WAYLAND_DISPLAY"))) {
    PrintLine("could not open a display (" + *why + ")");
    return 1;
  }

  // Start-up runs in this order: the application (with its sound), its title, the main
  // window, then both dialogs hidden, the game controllers, and finally the main window is shown.
  // The toolkit sees the program's name only: every argument has been read above.
  int toolkitArgc = std::min(argc, 1);
  auto starting = std::make_unique<StartingUp>();
  startingUp = starting.get();
  QApplication app(toolkitArgc, argv);
  startingUp = nullptr;
  starting.reset();  // anything the libraries printed on a good start goes out after all
  SdlCuePlayer cues(
      SdlCuePlayer::DefaultFolders(QCoreApplication::applicationDirPath().toStdString()));
  QApplication::setApplicationName("Kavarin");
  QGuiApplication::setDesktopFileName("kavarin");
  QApplication::setWindowIcon(AppIcon());
  // The captions' language is settled before the first window is made.
  QTranslator translation;
  if (!InstallTranslation(ShownLanguage(options.language), translation))
    PrintLine("the English texts could not be loaded; showing the Japanese ones");

  TForm1 form1(cues);
  TForm2 form2(&form1);
  TForm3 form3(&form1);
  form1.SetDialogs(&form2, &form3);
  ControllerPoller pads([&form1](bool down, int32_t code) { form1.ControllerKey(down, code); });
  // Controllers SDL must poll are polled often only while play runs; online, the frame clock
  // runs all along.
  bool framesRun = false;
  pads.SetPlayRunning(false);
  form1.Pacer().WhenRunningChanges(
      [&pads, &framesRun](bool running) { pads.SetPlayRunning(running || framesRun); });

  std::unique_ptr<OnlineMatch> online;
  if (options.online != CommandLine::Online::No) {
    const bool host = options.online == CommandLine::Online::Host;
    std::optional<UdpAddress> lobby;
    if (options.lobby && !(lobby = ResolveLobby(*options.lobby, error))) {
      PrintLine(error);
      return 1;
    }
    // A guest through the lobby looks for the room's host; a host through it says the lobby
    // until it has its room.
    const QString where = QString::fromStdString(
        options.lobby ? (options.room ? RoomCodeText(*options.room) + " @ " : std::string()) +
                            EndpointText(*options.lobby)
        : host ? std::string()
               : EndpointText({options.joinHost, options.port}));
    OnlineLoop::OpenLink open = [options, host,
                                 lobby](std::string& error) -> std::unique_ptr<Transport> {
      if (lobby && host) return LobbyHostLink::Open(*lobby, error);
      if (lobby) return LobbyGuestLink::Open(*lobby, *options.room, error);
      if (host) return EnetTransport::Listen(options.port, error);
      return EnetTransport::Join(options.joinHost, options.port, error);
    };
    online = std::make_unique<OnlineMatch>(form1, cues, std::move(open),
                                           host ? Player::Host : Player::Guest, where, options.port,
                                           options.record, host && options.router);
    if (!online->Start(error)) {
      PrintLine(error);
      return 1;
    }
    // Even then, the other side hears the goodbye and the record is written.
    leavingAtExit = online.get();
    std::atexit(LeaveAtExit);
    form1.SetInputSink(online.get());
    framesRun = true;
    pads.SetPlayRunning(true);
  }

  std::unique_ptr<ComputerMatch> computer;
  if (options.computer != 0) {
    computer = std::make_unique<ComputerMatch>(form1, options.computer, options.record);
    form1.SetInputSink(computer.get());
    form1.SetTickWatcher(computer.get());
  }

  form1.show();
  const int status = QApplication::exec();
  // Leaving tells the other side at once, and writes the record.
  if (online) online->Leave();
  if (computer && !computer->WriteRecordFile(error)) {
    PrintLine(error);
    return 1;
  }
  leavingAtExit = nullptr;
  return status;
}

}  // namespace kavarin
