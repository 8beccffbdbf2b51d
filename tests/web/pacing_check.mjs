// node tests/web/pacing_check.mjs SITE: the page's tick pacing (the core's, driven by frames as
// requestAnimationFrame gives them) on displays of any rate: 60 ticks a second from 30, 60, 120
// and 144 Hz frames with jitter, and no burst after a hidden tab or a paused browser.
import { LoadCore } from './load_core.mjs';

const core = await LoadCore(process.argv[2]);
let failed = 0;
let passed = 0;
function Check(ok, what) {
  ok ? ++passed : ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
}

// A lively match that never stops: a fresh one whenever a round ends.
function Frames(hz, seconds, jitterMs, begin = 1000) {
  core._kv_create();
  core._kv_start(begin);
  let ticks = 0;
  let most = 0;
  let seed = hz;
  for (let frame = 1; frame <= hz * seconds; ++frame) {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    const now = begin + (frame * 1000) / hz + ((seed / 2147483648) - 0.5) * jitterMs;
    if (!core._kv_running()) core._kv_start(now);
    const ran = core._kv_frame(now);
    ticks += ran;
    most = Math.max(most, ran);
  }
  return { rate: ticks / seconds, most };
}

for (const hz of [30, 60, 120, 144, 240]) {
  const { rate, most } = Frames(hz, 20, 2);
  Check(Math.abs(rate - 60) <= 0.5, `${hz} Hz frames give ${rate.toFixed(2)} ticks a second, at most ${most} in a frame`);
}

// A tab hidden for 10 s (no frames at all), then frames again: at most the desktop's catch-up of
// three ticks, then the pace goes on from there.
core._kv_create();
core._kv_start(0);
for (let f = 1; f <= 60; ++f) core._kv_frame((f * 1000) / 60);
const first = core._kv_frame(11000);
let after = 0;
for (let f = 1; f <= 60; ++f) after += core._kv_frame(11000 + (f * 1000) / 60);
Check(first <= 3 && Math.abs(after - 60) <= 1, `after 10 s hidden: ${first} ticks at once, then ${after} in the next second`);
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
