// Online play's costs: one rollback of the deepest kind (the state of 8 frames ago restored, and
// those 8 frames simulated again with their drawing), in the middle of busy play. Run it from a
// Release build:
//   build-release/bench/kavarin-bench-online
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "match/keys.h"
#include "online/timeline.h"

namespace kavarin::bench {
namespace {

FrameInput Events(std::initializer_list<InputEvent> events) {
  FrameInput in;
  for (const InputEvent& e : events) in.Add(e);
  return in;
}

void BM_RollbackEightFrames(benchmark::State& st) {
  Timeline timeline;
  const FrameInput none;
  // Play starts; both ships move and fire, and keep firing as their beams come back.
  timeline.Advance(Events({{EventKind::KeyDown, VkSpace}}), none, NoObserver());
  std::vector<std::pair<FrameInput, FrameInput>> inputs;
  for (int f = 1; f < 80; ++f) {
    const FrameInput host =
        Events({{EventKind::KeyDown, f % 40 < 20 ? uint16_t{VkA} : uint16_t{VkX}},
                {EventKind::KeyDown, VkS}});
    const FrameInput guest = Events({{EventKind::KeyDown, VkOem2}, {EventKind::KeyDown, VkOem1}});
    timeline.Advance(host, guest, NoObserver());
    inputs.emplace_back(host, guest);
  }
  const size_t last = inputs.size();
  for (auto _ : st) {
    timeline.Rewind(timeline.Next() - MaxPredictedFrames);
    for (size_t i = last - MaxPredictedFrames; i < last; ++i)
      timeline.Advance(inputs[i].first, inputs[i].second, NoObserver());
    benchmark::DoNotOptimize(timeline.Current().field.Pixels());
    benchmark::ClobberMemory();
  }
  st.counters["frames"] = static_cast<double>(MaxPredictedFrames);
}
BENCHMARK(BM_RollbackEightFrames)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace kavarin::bench

BENCHMARK_MAIN();
