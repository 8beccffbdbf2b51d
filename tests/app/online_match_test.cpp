// The window's online driving in one process: a host's window plays a headless guest over
// loopback, on the offscreen platform. The match plays (the host's Start reaches both, and the
// two records agree), it ends when the guest leaves (the window says so), and the host then
// waits on its port again, where a second guest plays a second match.
#include <gtest/gtest.h>

#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <functional>
#include <thread>

#include "app/main_window.h"
#include "app/online/online_match.h"
#include "online/enet_transport.h"

namespace kavarin {
namespace {

class SilentCues : public CuePlayer {
 public:
  void PlayCue(std::string_view) override {}
};

// A headless guest on a thread of its own, as it would be on another machine: it connects, plays
// until told to leave, and leaves.
class Guest {
 public:
  Guest(uint16_t port, uint64_t seed)
      : loop_(
            Player::Guest,
            [port](std::string& e) { return EnetTransport::Join("127.0.0.1", port, e); }, shown_,
            LoopOptions{.session = {.paced = false, .seed = seed}, .record = {}, .kept = {}}),
        thread_([this] { Run(); }) {}
  ~Guest() {
    leave_ = true;
    thread_.join();
  }
  int64_t Settled() const { return settled_; }
  void AskToLeave() { leave_ = true; }
  bool Gone() const { return gone_; }
  // Once gone: the guest's record.
  std::string Record() const { return loop_.Game().Record().Script(); }

 private:
  void Run() {
    std::string error;
    if (!loop_.Open(error)) return;
    while (!leave_ && !loop_.Done()) {
      if (loop_.Frame(SteadyNowUs()) != OnlineLoop::Report::NewFrame) loop_.Wait(1);
      settled_ = loop_.Game().Settled();
    }
    loop_.Leave();
    gone_ = true;
  }
  SessionDisplay shown_;
  OnlineLoop loop_;
  std::atomic<bool> leave_ = false;
  std::atomic<int64_t> settled_ = -1;
  std::atomic<bool> gone_ = false;
  std::thread thread_;
};

// Runs the window's event loop until `done`, at most 10 s.
bool RunUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 10'000 && !done(); ++i) QTest::qWait(1);
  return done();
}

TEST(OnlineWindow, PlaysAHeadlessGuestAndWaitsForTheNextWhenItLeaves) {
  std::string error;
  uint16_t port = 0;
  {
    const auto probe = EnetTransport::Listen(0, error, "127.0.0.1");
    ASSERT_TRUE(probe) << error;
    port = probe->Port();
  }
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString record = dir.filePath("host.txt");
  SilentCues cues;
  TForm1 form(cues);
  OnlineMatch host(
      form, cues, [port](std::string& e) { return EnetTransport::Listen(port, e, "127.0.0.1"); },
      Player::Host, QString(), port, record.toStdString());
  form.SetInputSink(&host);
  ASSERT_TRUE(host.Start(error)) << error;
  form.show();
  EXPECT_TRUE(form.windowTitle().contains(QString::number(port)));

  for (uint64_t round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    Guest guest(port, round);
    ASSERT_TRUE(RunUntil([&] { return host.Game().State() == SessionState::Playing; }));
    host.StartCommand();
    ASSERT_TRUE(RunUntil([&] { return guest.Settled() >= 60; }));
    EXPECT_TRUE(form.windowTitle().contains(QStringLiteral("往復")))
        << form.windowTitle().toStdString();

    // The guest leaves: the window says why, keeps the record, and waits on its port again.
    guest.AskToLeave();
    ASSERT_TRUE(RunUntil(
        [&] { return guest.Gone() && host.Loop().Generation() == static_cast<int>(round) + 1; }));
    EXPECT_FALSE(host.Loop().Linked());
    EXPECT_EQ(host.Game().State(), SessionState::Connecting);
    const QString title = form.windowTitle();
    EXPECT_TRUE(title.contains(QStringLiteral("退出")) && title.contains(QString::number(port)))
        << title.toStdString();
    const QList<QMessageBox*> boxes = form.findChildren<QMessageBox*>();
    ASSERT_FALSE(boxes.isEmpty());
    EXPECT_TRUE(boxes.back()->text().contains(QStringLiteral("次の対戦相手を待っています")));
    for (QMessageBox* box : boxes) box->close();
    QTest::qWait(10);

    // Both sides kept the same frames, the host's Start among them.
    QFile file(record);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string kept = file.readAll().toStdString();
    EXPECT_EQ(kept, guest.Record());
    EXPECT_NE(kept.find("start"), std::string::npos);
  }
}

}  // namespace
}  // namespace kavarin
