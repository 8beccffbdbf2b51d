// The game's main window as the game opens it, offline (`offline`) or against the computer at a
// level (`computer LEVEL`), silent, that prints on exit how evenly its ticks came:
//   ticks N interval_p99_ms X mean_ms Y
// where X is the 99th percentile of how far the time between two ticks strayed from 50/3 ms.
// The computer window test drives it with xdotool, both ways in the same run.
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/computer/computer_match.h"
#include "app/main_window.h"

namespace kavarin {
namespace {

class Silent : public CuePlayer {
 public:
  void PlayCue(std::string_view) override {}
};

// Times every tick, and passes it on to the computer when there is one.
class TickTimes : public TForm1::TickWatcher {
 public:
  TickTimes(TForm1& form, TForm1::TickWatcher* next) : form_(form), next_(next) {}
  void BeforeTick() override {
    const auto now = std::chrono::steady_clock::now();
    // The wait between rounds is no tick interval.
    if (!afterStop_ && ticks_ > 0) {
      const double ms = std::chrono::duration<double, std::milli>(now - last_).count();
      sum_ += ms;
      strays_.push_back(std::fabs(ms - 50.0 / 3.0));
    }
    afterStop_ = false;
    last_ = now;
    ++ticks_;
    if (next_ != nullptr) next_->BeforeTick();
  }
  void AfterTick() override {
    if (next_ != nullptr) next_->AfterTick();
    if (!form_.Game().Running()) afterStop_ = true;
  }
  void Print() {
    std::sort(strays_.begin(), strays_.end());
    const double p99 = strays_.empty() ? 0 : strays_[strays_.size() * 99 / 100];
    std::printf("ticks %lld interval_p99_ms %.3f mean_ms %.3f\n", static_cast<long long>(ticks_),
                p99, strays_.empty() ? 0 : sum_ / static_cast<double>(strays_.size()));
  }

 private:
  TForm1& form_;
  TForm1::TickWatcher* next_;
  std::chrono::steady_clock::time_point last_;
  bool afterStop_ = false;
  long long ticks_ = 0;
  double sum_ = 0;
  std::vector<double> strays_;
};

}  // namespace
}  // namespace kavarin

int main(int argc, char** argv) {
  using namespace kavarin;
  const bool computer = argc == 3 && std::strcmp(argv[1], "computer") == 0;
  if (!computer && !(argc == 2 && std::strcmp(argv[1], "offline") == 0)) {
    std::fprintf(stderr, "usage: kavarin_tick_probe offline | computer LEVEL\n");
    return 2;
  }
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  Silent cues;
  TForm1 form(cues);
  std::unique_ptr<ComputerMatch> opponent;
  if (computer) {
    opponent = std::make_unique<ComputerMatch>(form, std::atoi(argv[2]), "");
    form.SetInputSink(opponent.get());
  }
  TickTimes times(form, opponent.get());
  form.SetTickWatcher(&times);
  form.show();
  const int status = QApplication::exec();
  times.Print();
  return status;
}
