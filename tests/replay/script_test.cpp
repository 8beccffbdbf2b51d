// Whole flights, supernovas, wrecks and matches played as kavarin-replay scripts. The expected
// lines are worked out from the rules: beam paths, the supernova timeline, the wreck schedule.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "replay_support.h"

namespace kavarin {
namespace {

using ::testing::ElementsAre;

TEST(ReplayScript, WholeFlightOfABeam) {
  // From y 200 the calm star bends the beam up to y 68 at the hit column; the right ship waits
  // at 200 and is missed.
  const ReplayRun run = RunScript(
      "start\n"
      "down 83\n"
      "trace on\n"
      "tick 36\n"
      "state\n"
      "tick\n"
      "state\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const int launch = run.Find("cue hassha");
  ASSERT_GE(launch, 0);
  EXPECT_EQ(run.Find("polyline 000000 30,200 40,200"), launch + 1);
  EXPECT_EQ(run.Find("polyline FFFFFF 40,200 50,200"), launch + 2);
  // Tick 19 is the first bend, tick 27 the last; the head reaches the hit column in tick 35.
  const int bend = run.Find("polyline FFFFFF 220,196 230,192");
  const int lastBend = run.Find("polyline FFFFFF 300,100 310,96");
  const int column = run.Find("polyline FFFFFF 380,68 390,64");
  EXPECT_GT(bend, launch);
  EXPECT_GT(lastBend, bend);
  EXPECT_GT(column, lastBend);
  // Tick 37: the segment of tick 36 is erased, the last one drawn and taken away at once.
  const int end = run.Find("polyline 000000 390,64 400,60");
  ASSERT_GT(end, column);
  EXPECT_EQ(run.lines[end + 1], "polyline FFFFFF 400,60 410,56");
  EXPECT_EQ(run.lines[end + 2], "polyline 000000 400,60 410,56");
  EXPECT_EQ(run.Count("cue hassha"), 1);
  EXPECT_EQ(run.Count("cue hakai"), 0);

  const auto states = run.States();
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[0].at("LeftBeamState"), "2");
  EXPECT_EQ(states[0].at("LeftBeamX"), "390");
  EXPECT_EQ(states[0].at("LeftBeamY"), "64");
  EXPECT_EQ(states[1].at("LeftBeamState"), "0");
  EXPECT_EQ(states[1].at("LeftBeamX"), "400");
  EXPECT_EQ(states[1].at("LeftBeamY"), "60");
  EXPECT_EQ(states[1].at("LeftBeamDY"), "-4");
  EXPECT_EQ(states[1].at("RightDown"), "0");
}

TEST(ReplayScript, WholeSupernovaDestroysBothShipsInTheMiddle) {
  const ReplayRun run = RunScript(
      "start\n"
      "tick 79\n"
      "down 32\n"
      "state\n"  // 0: charge 80 is not enough
      "tick\n"
      "down 32\n"
      "state\n"  // 1: armed
      "trace on\n"
      "tick\n"
      "trace off\n"
      "state\n"  // 2: tick 1 of the supernova
      "tick 182\n"
      "state\n"  // 3: tick 183
      "trace on\n"
      "tick\n"
      "trace off\n"
      "state\n"  // 4: tick 184, the blast size
      "tick\n"
      "state\n"  // 5: tick 185, both ships down
      "tick 25\n"
      "state\n"  // 6: the wrecks still fly
      "trace on\n"
      "tick\n"
      "trace off\n"
      "state\n"  // 7: the round is scored
      "tick 1000\n"
      "state\n");  // 8: nothing more happens
  ASSERT_EQ(run.status, 0) << run.err;
  const auto s = run.States();
  ASSERT_EQ(s.size(), 9u);
  EXPECT_EQ(s[0].at("StarMode"), "1");
  EXPECT_EQ(s[0].at("Charge"), "80");
  EXPECT_EQ(s[1].at("StarMode"), "2");
  EXPECT_EQ(s[1].at("Charge"), "81");
  EXPECT_EQ(s[2].at("StarADen"), "21");
  EXPECT_EQ(s[2].at("StarBDen"), "21");
  EXPECT_EQ(s[3].at("StarANum"), "16");
  EXPECT_EQ(s[3].at("StarADen"), "10");
  EXPECT_EQ(s[4].at("StarBNum"), "35");
  EXPECT_EQ(s[4].at("RightDown"), "0");
  EXPECT_EQ(s[4].at("LeftDown"), "0");
  EXPECT_EQ(s[5].at("RightDown"), "1");
  EXPECT_EQ(s[5].at("LeftDown"), "1");
  EXPECT_EQ(s[5].at("Casualty"), "3");
  EXPECT_EQ(s[5].at("HitMute"), "0") << "a blast kill does not mute";
  EXPECT_EQ(s[6].at("RoundOver"), "0");
  EXPECT_EQ(s[6].at("Timer1"), "50");
  EXPECT_EQ(s[7].at("RoundOver"), "1");
  EXPECT_EQ(s[7].at("RightScore"), "1");
  EXPECT_EQ(s[7].at("LeftScore"), "1");
  EXPECT_EQ(s[7].at("Timer1"), "0");
  EXPECT_EQ(s[7].at("Timer2"), "0");
  EXPECT_EQ(s[7].at("Timer3"), "0");
  EXPECT_EQ(s[8], s[7]) << "a stopped match ignores every further firing";

  EXPECT_EQ(run.Count("cue shuku"), 1);
  EXPECT_EQ(run.Count("cue chou"), 1);
  EXPECT_LT(run.Find("cue shuku"), run.Find("cue chou"));
  EXPECT_EQ(run.Count("cue hakai"), 0);
  // The scoring tick stops the timers once for each point, then draws 1 : 1.
  EXPECT_EQ(run.Count("interval Timer2 0"), 2);
  const int right = run.Find("polyline FFFFFF 276,50 284,50 284,82 276,82 292,82");
  ASSERT_GT(right, run.Find("interval Timer3 0"));
  EXPECT_EQ(run.lines[right + 1], "polyline FFFFFF 108,50 116,50 116,82 108,82 124,82");
}

TEST(ReplayScript, WholeWreckOfAShipHitWhileClimbing) {
  // The right ship climbs from tick 1 with ] held; it is at y 79 in tick 48. A left beam
  // launched in tick 14 reaches the hit column in tick 48 at y 68: 11 pixels away, a hit.
  const ReplayRun run = RunScript(
      "start\n"
      "down 221\n"
      "tick 13\n"
      "down 83\n"
      "tick 34\n"
      "trace on\n"
      "tick\n"
      "trace off\n"
      "state\n"  // 0: tick 48, the hit
      "tick 24\n"
      "trace on\n"
      "tick\n"  // tick 73: the wreck's last white picture
      "trace off\n"
      "state\n"  // 1
      "trace on\n"
      "tick\n"  // tick 74: the round ends
      "trace off\n"
      "state\n");  // 2
  ASSERT_EQ(run.status, 0) << run.err;
  const auto s = run.States();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].at("RightY"), "79");
  EXPECT_EQ(s[0].at("LeftBeamX"), "380");
  EXPECT_EQ(s[0].at("LeftBeamY"), "68");
  EXPECT_EQ(s[0].at("RightDown"), "1");
  EXPECT_EQ(s[0].at("Casualty"), "1");
  EXPECT_EQ(s[0].at("HitMute"), "1");
  EXPECT_EQ(s[0].at("RightWreckY"), "79");
  EXPECT_EQ(s[0].at("RightWreckDX"), "-1,13,-2,12,8,16,9,18,14,16");
  EXPECT_EQ(s[0].at("RightWreckDY"), "1,5,-1,-4,8,9,-8,-8,8,-8");
  // The first picture, at the nose (370, 79), in the very tick of the hit.
  const int first = run.Find("polyline FFFFFF 369,80 383,84");
  ASSERT_GE(first, 0);
  EXPECT_THAT(std::vector<std::string>(run.lines.begin() + first, run.lines.begin() + first + 5),
              ElementsAre("polyline FFFFFF 369,80 383,84", "polyline FFFFFF 368,78 382,75",
                          "polyline FFFFFF 378,87 386,88", "polyline FFFFFF 379,71 388,71",
                          "polyline FFFFFF 384,87 386,71"));
  EXPECT_LT(run.Find("cue hakai"), first);

  // The ship kept climbing at 7 a tick and wrapped: 79 - 7 * 25 + 300 = 204 in tick 73.
  EXPECT_EQ(s[1].at("RightY"), "204");
  EXPECT_EQ(s[1].at("RightWreckY"), "204");
  EXPECT_EQ(s[1].at("RoundOver"), "0");
  const int last = run.Find("polyline FFFFFF 344,230 333,241");
  ASSERT_GT(last, first);
  EXPECT_THAT(std::vector<std::string>(run.lines.begin() + last, run.lines.begin() + last + 5),
              ElementsAre("polyline FFFFFF 344,230 333,241", "polyline FFFFFF 318,178 307,175",
                          "polyline FFFFFF 353,187 354,195", "polyline FFFFFF 379,221 388,221",
                          "polyline FFFFFF 386,196 384,212"));

  // Tick 74: erased exactly, nothing of it shown again, the point scored, play stopped.
  EXPECT_GT(run.Find("polyline 000000 344,230 333,241", last), last);
  EXPECT_EQ(s[2].at("RoundOver"), "1");
  EXPECT_EQ(s[2].at("RightDown"), "0");
  EXPECT_EQ(s[2].at("RightWreckX"), "100");
  EXPECT_EQ(s[2].at("LeftScore"), "1");
  EXPECT_EQ(s[2].at("RightScore"), "0");
  EXPECT_EQ(s[2].at("Timer2"), "0");
  const int stop = run.Find("interval Timer2 0");
  ASSERT_GT(stop, last);
  EXPECT_EQ(run.lines[stop + 1], "interval Timer1 0");
  EXPECT_EQ(run.lines[stop + 2], "interval Timer3 0");
  EXPECT_EQ(run.lines[stop + 3], "polyline FFFFFF 268,50 300,50 300,82 268,82 268,50");
  EXPECT_EQ(run.lines[stop + 4], "polyline FFFFFF 108,50 116,50 116,82 108,82 124,82");
}

TEST(ReplayScript, BeamKillFromTheRightScoresForTheRight) {
  const ReplayRun run = RunScript(
      "start\n"
      "down 65\n"
      "tick 13\n"
      "down 186\n"
      "tick 35\n"
      "state\n"
      "tick 25\n"
      "state\n"
      "tick\n"
      "state\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto s = run.States();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].at("LeftY"), "79");
  EXPECT_EQ(s[0].at("RightBeamX"), "20");
  EXPECT_EQ(s[0].at("RightBeamY"), "68");
  EXPECT_EQ(s[0].at("LeftDown"), "1");
  EXPECT_EQ(s[0].at("Casualty"), "2");
  EXPECT_EQ(s[1].at("RoundOver"), "0");
  EXPECT_EQ(s[2].at("RoundOver"), "1");
  EXPECT_EQ(s[2].at("RightScore"), "1");
  EXPECT_EQ(s[2].at("LeftScore"), "0");
  EXPECT_EQ(s[2].at("Timer3"), "0");
}

// One round settled by the supernova at y 200: Space once charged, 185 ticks to the blast and
// 26 more for the wrecks.
const char* const SupernovaRound =
    "tick 80\n"
    "down 32\n"
    "tick 211\n";

TEST(ReplayScript, MatchOfThreeDoubleKillsEndsThreeAllWithTheLegend) {
  const std::string script = std::string("start\n") + SupernovaRound +
                             "state\n"    // 0: 1 : 1
                             "down 32\n"  // Continue
                             "state\n"    // 1: scores carried, play running
                             + SupernovaRound + "tick 500\n" +
                             "state\n"  // 2: 2 : 2, no more than one point per round
                             "down 32\n"
                             "tick 80\n"
                             "down 32\n"
                             "trace on\n"
                             "tick 300\n"
                             "state\n"  // 3: 3 : 3
                             "down 32\n"
                             "trace off\n"
                             "state\n"  // 4: Space refused
                             "start\n"
                             "state\n";  // 5
  const ReplayRun run = RunScript(script);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto s = run.States();
  ASSERT_EQ(s.size(), 6u);
  EXPECT_EQ(s[0].at("RightScore") + ":" + s[0].at("LeftScore"), "1:1");
  EXPECT_EQ(s[0].at("Timer1"), "0");
  EXPECT_EQ(s[1].at("RightScore") + ":" + s[1].at("LeftScore"), "1:1");
  EXPECT_EQ(s[1].at("Timer1"), "50");
  EXPECT_EQ(s[1].at("RoundOver"), "0");
  EXPECT_EQ(s[1].at("StarMode"), "1");
  EXPECT_EQ(s[2].at("RightScore") + ":" + s[2].at("LeftScore"), "2:2");
  EXPECT_EQ(s[3].at("RightScore") + ":" + s[3].at("LeftScore"), "3:3");
  EXPECT_EQ(s[4], s[3]) << "Space at game over changes nothing";
  EXPECT_EQ(s[5].at("RightScore") + ":" + s[5].at("LeftScore"), "0:0");
  EXPECT_EQ(s[5].at("Timer2"), "50");

  // The scoring tick draws 3 and 3, then GAME OVER, and is the last thing traced: no tick
  // follows it and the refused Space prints nothing.
  const int three = run.Find("polyline FFFFFF 268,50 300,50 300,66 268,66 300,66 300,82 268,82");
  ASSERT_GE(three, 0);
  EXPECT_EQ(run.lines[three + 1],
            "polyline FFFFFF 100,50 132,50 132,66 100,66 132,66 132,82 100,82");
  EXPECT_EQ(run.lines[three + 2],
            "polyline FFFFFF 144,250 132,250 132,266 144,266 144,258 140,258");
  EXPECT_EQ(run.lines[three + 10],
            "polyline FFFFFF 260,266 260,250 272,250 272,258 260,258 273,267");
  EXPECT_TRUE(run.lines[three + 11].starts_with("state ")) << run.lines[three + 11];
  EXPECT_TRUE(run.lines[three + 12].starts_with("state ")) << run.lines[three + 12];
}

TEST(ReplayScript, StartWorksFromEveryStateAndContinueKeepsTheScores) {
  const std::string script = std::string(
                                 "trace on\n"
                                 "start\n"  // from idle
                                 "trace off\n"
                                 "tick 50\n"
                                 "start\n"  // during play
                                 "state\n") +
                             SupernovaRound +
                             "trace on\n"
                             "down 32\n"  // Continue between rounds
                             "trace off\n"
                             "state\n" +
                             SupernovaRound +
                             "start\n"  // between rounds
                             "state\n";
  const ReplayRun run = RunScript(script);
  ASSERT_EQ(run.status, 0) << run.err;
  const int start = run.Find("interval Timer2 50");
  ASSERT_GE(start, 0);
  EXPECT_THAT(
      std::vector<std::string>(run.lines.begin() + start, run.lines.begin() + start + 4),
      ElementsAre("interval Timer2 50", "interval Timer3 50", "interval Timer1 50", "clear"));
  const int cont = run.Find("clear", start + 4);
  ASSERT_GT(cont, start);
  EXPECT_THAT(
      std::vector<std::string>(run.lines.begin() + cont, run.lines.begin() + cont + 4),
      ElementsAre("clear", "interval Timer2 50", "interval Timer1 50", "interval Timer3 50"));
  const auto s = run.States();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].at("Charge"), "1") << "a new match";
  EXPECT_EQ(s[0].at("Timer1"), "50");
  EXPECT_EQ(s[1].at("RightScore") + ":" + s[1].at("LeftScore"), "1:1");
  EXPECT_EQ(s[1].at("Timer3"), "50");
  EXPECT_EQ(s[2].at("RightScore") + ":" + s[2].at("LeftScore"), "0:0");
  EXPECT_EQ(s[2].at("Timer3"), "50");
}

TEST(ReplayScript, ABillionFiringsAfterTheScoringTickChangeNothing) {
  const ReplayRun run = RunScript(std::string("start\n") + SupernovaRound +
                                  "state\n"
                                  "tick 1000000000\n"
                                  "state\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto s = run.States();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].at("RightScore") + ":" + s[0].at("LeftScore"), "1:1");
  EXPECT_EQ(s[1], s[0]);
}

TEST(ReplayScript, ALongRunEndsInTheSameStateAndPictureAsManyShortOnes) {
  // Both ships held at top speed and the star turning: play that never ends, which a long run
  // may cut short once it repeats. Runs of 600 firings or fewer are never cut.
  const std::string dir = ::testing::TempDir();
  const std::string once = dir + "/kavarin-long-" + std::to_string(getpid()) + ".pgm";
  const std::string steps = dir + "/kavarin-steps-" + std::to_string(getpid()) + ".pgm";
  const std::string opening = "start\ndown 221\ndown 88\ndown 83\n";
  std::string stepped = opening;
  for (int i = 0; i < 100; ++i) stepped += "tick 600\n";
  stepped += "tick 7\nstate\nfield " + steps + "\n";
  const ReplayRun a = RunScript(opening + "tick 60007\nstate\nfield " + once + "\n");
  const ReplayRun b = RunScript(stepped);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  ASSERT_EQ(a.States().size(), 1u);
  EXPECT_EQ(a.States()[0], b.States()[0]);
  EXPECT_EQ(a.States()[0].at("RightSpeed"), "-7");
  EXPECT_EQ(a.States()[0].at("Timer1"), "50");
  std::ifstream fa(once, std::ios::binary), fb(steps, std::ios::binary);
  const std::string pa{std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>()};
  const std::string pb{std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>()};
  EXPECT_EQ(pa.size(), 15u + 400u * 300u);
  EXPECT_TRUE(pa == pb) << "the two pictures differ";
  std::remove(once.c_str());
  std::remove(steps.c_str());
}

TEST(ReplayScript, SpaceBeforeTheFirstStartBeginsPlay) {
  const ReplayRun run = RunScript(
      "state\n"
      "tick 5\n"
      "state\n"
      "down 32\n"
      "tick 5\n"
      "state\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto s = run.States();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].at("Timer1"), "0");
  EXPECT_EQ(s[1].at("Charge"), "1") << "no tick runs before play starts";
  EXPECT_EQ(s[2].at("Charge"), "6");
  EXPECT_EQ(s[2].at("Timer2"), "50");
}

}  // namespace
}  // namespace kavarin
