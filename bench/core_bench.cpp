// The cost of the game's own work: one frame tick with its drawing in typical moments of play,
// clearing the field, saving, restoring and hashing the whole simulation, and the field's line
// rasteriser against QPainter on the very polylines a tick draws. Run it from a Release build:
//   build-release/bench/kavarin-bench-core
// It closes with a summary of the figures against their targets.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/scenes.h"
#include "match/tick.h"

#ifdef KAVARIN_BENCH_QPAINTER
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPoint>
#endif

namespace kavarin::bench {
namespace {

constexpr Scene Scenes[] = {Scene::CalmBothBeams, Scene::BlastBothBeams, Scene::TwoWrecks};

// One tick, from the same state every time: the state record is put back before each tick (a
// 336-byte copy, included in the time), while the field simply keeps its pixels, as in play.
void BM_Tick(benchmark::State& st) {
  const Scene scene = Scenes[st.range(0)];
  Bench b;
  Enter(b, scene);
  const MatchState before = b.sim.state;
  for (auto _ : st) {
    b.sim.state = before;
    Timer2Timer(b.match);
    benchmark::DoNotOptimize(b.sim.field.Pixels());
    benchmark::ClobberMemory();
  }
  const std::vector<DrawnPolyline> drawn = RecordTick(scene);
  st.SetLabel(std::string(SceneName(scene)) + ": " + std::to_string(drawn.size()) + " polylines, " +
              std::to_string(CountPixels(drawn)) + " pixels");
}
// The smallest of the runs as well: on a shared machine it is the best view of the cost itself.
double Smallest(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}
BENCHMARK(BM_Tick)
    ->DenseRange(0, 2)
    ->Repetitions(9)
    ->ComputeStatistics("min", Smallest)
    ->ReportAggregatesOnly(true);

void BM_ClearField(benchmark::State& st) {
  Field field;
  for (auto _ : st) {
    field.ClearField();
    benchmark::DoNotOptimize(field.Pixels());
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(st.iterations() * FieldWidth * FieldHeight);
}
BENCHMARK(BM_ClearField)->Repetitions(9)->ReportAggregatesOnly(true);

// The simulation as online play handles it up to 60 times a second: saved into one of a ring of
// ring, restored from one, and hashed. The ring are on the heap, as a session keeps them.
constexpr int SavedSlots = 9;

void BM_SaveSimulation(benchmark::State& st) {
  Bench b;
  Enter(b, Scene::CalmBothBeams);
  auto ring = std::make_unique<std::array<Simulation, SavedSlots>>();
  int next = 0;
  for (auto _ : st) {
    (*ring)[next] = b.sim;
    next = (next + 1) % SavedSlots;
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(sizeof(Simulation)));
}
BENCHMARK(BM_SaveSimulation)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_RestoreSimulation(benchmark::State& st) {
  Bench b;
  Enter(b, Scene::CalmBothBeams);
  auto ring = std::make_unique<std::array<Simulation, SavedSlots>>();
  for (Simulation& slot : *ring) slot = b.sim;
  int next = 0;
  for (auto _ : st) {
    b.sim = (*ring)[next];
    next = (next + 1) % SavedSlots;
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(sizeof(Simulation)));
}
BENCHMARK(BM_RestoreSimulation)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_HashSimulation(benchmark::State& st) {
  Bench b;
  Enter(b, Scene::CalmBothBeams);
  for (auto _ : st) benchmark::DoNotOptimize(SimulationHash(b.sim));
  st.SetBytesProcessed(st.iterations() * static_cast<int64_t>(sizeof(Simulation)));
}
BENCHMARK(BM_HashSimulation)->Repetitions(9)->ReportAggregatesOnly(true);

// The polylines of one calm tick and one blast tick, in their colours: black erases, then white.
std::vector<DrawnPolyline> TickPolylines() {
  std::vector<DrawnPolyline> all = RecordTick(Scene::CalmBothBeams);
  for (DrawnPolyline& p : RecordTick(Scene::BlastBothBeams)) all.push_back(std::move(p));
  return all;
}

void BM_FieldRaster(benchmark::State& st) {
  const std::vector<DrawnPolyline> lines = TickPolylines();
  const long pixels = CountPixels(lines);
  Field field;
  for (auto _ : st) {
    for (const DrawnPolyline& p : lines) {
      field.SetPenColor(p.pen);
      field.Polyline(p.points);
    }
    benchmark::DoNotOptimize(field.Pixels());
    benchmark::ClobberMemory();
  }
  st.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels),
                                               benchmark::Counter::kIsIterationInvariantRate);
  st.SetLabel(std::to_string(lines.size()) + " polylines, " + std::to_string(pixels) + " pixels");
}
BENCHMARK(BM_FieldRaster)->Repetitions(9)->ReportAggregatesOnly(true);

#ifdef KAVARIN_BENCH_QPAINTER
// QPainter with an aliased 1-pixel pen, the painter kept open across the iterations, into an
// image of the given format.
void BM_QPainterRaster(benchmark::State& st) {
  const QImage::Format format = static_cast<QImage::Format>(st.range(0));
  const std::vector<DrawnPolyline> lines = TickPolylines();
  const long pixels = CountPixels(lines);
  std::vector<std::vector<QPoint>> polylines;
  for (const DrawnPolyline& p : lines) {
    std::vector<QPoint> q;
    for (const Point& pt : p.points) q.emplace_back(pt.x, pt.y);
    polylines.push_back(std::move(q));
  }
  QImage image(FieldWidth, FieldHeight, format);
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QPen white(QColor(255, 255, 255), 1);
  const QPen black(QColor(0, 0, 0), 1);
  for (auto _ : st) {
    for (size_t i = 0; i < lines.size(); ++i) {
      painter.setPen(lines[i].pen == Color::White ? white : black);
      painter.drawPolyline(polylines[i].data(), static_cast<int>(polylines[i].size()));
    }
    benchmark::DoNotOptimize(image.constBits());
    benchmark::ClobberMemory();
  }
  painter.end();
  st.counters["pixels/s"] = benchmark::Counter(static_cast<double>(pixels),
                                               benchmark::Counter::kIsIterationInvariantRate);
  st.SetLabel(format == QImage::Format_Grayscale8 ? "Grayscale8" : "RGB32");
}
BENCHMARK(BM_QPainterRaster)
    ->Arg(QImage::Format_RGB32)
    ->Arg(QImage::Format_Grayscale8)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
#endif

// The console output, plus the medians kept for the closing summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "median") continue;
      Median m;
      // CPU time: on a busy machine it is the steadier of the two. In nanoseconds.
      m.ns = r.GetAdjustedCPUTime();
      auto it = r.counters.find("pixels/s");
      if (it != r.counters.end()) m.pixelsPerSecond = it->second.value;
      const std::string& args = r.run_name.args;
      medians[r.run_name.function_name + (args.empty() ? "" : "/" + args)] = m;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  struct Median {
    double ns = 0;
    double pixelsPerSecond = 0;
  };
  std::map<std::string, Median> medians;
};

void PrintSummary(const SummaryReporter& rep) {
  auto get = [&](const std::string& name) {
    auto it = rep.medians.find(name);
    return it == rep.medians.end() ? SummaryReporter::Median{} : it->second;
  };
  std::printf("\nSummary (CPU time, medians of 9 runs)\n");
  const double calm = get("BM_Tick/0").ns / 1000.0;
  const double blast = get("BM_Tick/1").ns / 1000.0;
  const double wrecks = get("BM_Tick/2").ns / 1000.0;
  std::printf("  tick, calm with both beams:    %6.2f us  (target <= 2 us: %s)\n", calm,
              calm <= 2.0 ? "met" : "MISSED");
  std::printf("  tick, blast with both beams:   %6.2f us  (target <= 6 us: %s)\n", blast,
              blast <= 6.0 ? "met" : "MISSED");
  std::printf("  tick, two wrecks flying:       %6.2f us\n", wrecks);
  std::printf("  ClearField:                    %6.2f us\n", get("BM_ClearField").ns / 1000.0);
  const double save = get("BM_SaveSimulation").ns / 1000.0;
  const double restore = get("BM_RestoreSimulation").ns / 1000.0;
  const double hash = get("BM_HashSimulation").ns / 1000.0;
  std::printf("  save the simulation (%zu B):  %6.2f us  (target <= 10 us: %s)\n",
              sizeof(Simulation), save, save <= 10.0 ? "met" : "MISSED");
  std::printf("  restore the simulation:        %6.2f us  (target <= 10 us: %s)\n", restore,
              restore <= 10.0 ? "met" : "MISSED");
  std::printf("  hash the simulation:           %6.2f us  (target <= 30 us: %s)\n", hash,
              hash <= 30.0 ? "met" : "MISSED");
  const double ours = get("BM_FieldRaster").pixelsPerSecond / 1e6;
  std::printf("  field rasteriser:              %6.0f Mpixel/s  (target >= 500: %s)\n", ours,
              ours >= 500 ? "met" : "MISSED");
#ifdef KAVARIN_BENCH_QPAINTER
  const double rgb = get("BM_QPainterRaster/4").pixelsPerSecond / 1e6;
  const double gray = get("BM_QPainterRaster/24").pixelsPerSecond / 1e6;
  const double best = rgb > gray ? rgb : gray;
  std::printf("  QPainter, RGB32:               %6.0f Mpixel/s\n", rgb);
  std::printf("  QPainter, Grayscale8:          %6.0f Mpixel/s\n", gray);
  if (best > 0)
    std::printf("  rasteriser / faster QPainter:  %6.2f x  (target >= 2x: %s)\n", ours / best,
                ours >= 2 * best ? "met" : "MISSED");
#endif
}

}  // namespace
}  // namespace kavarin::bench

int main(int argc, char** argv) {
#ifdef KAVARIN_BENCH_QPAINTER
  static_assert(QImage::Format_RGB32 == 4 && QImage::Format_Grayscale8 == 24);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kavarin::bench::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  kavarin::bench::PrintSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
