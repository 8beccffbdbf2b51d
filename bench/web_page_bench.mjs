// node bench/web_page_bench.mjs SITE: the page's work per tick in headless Chromium, measured in
// the page with performance.now(). Batches of ticks of lively play with their drawing (what a
// frame does for each tick: the tick, the canvas brought up to date, the record marked)
// alternate with batches of the ticks alone, the baseline of the same run. Target: at most
// 0.3 ms a tick with its drawing, as the median of the batches.
import { OpenPage, OpenSite } from '../tests/web/browser.mjs';

const [sitePath] = process.argv.slice(2);
const site = await OpenSite(sitePath);
try {
  const { page } = await OpenPage(site, { width: 1920, height: 1080 });
  await page.keyboard.press('F2');
  await new Promise((resolve) => setTimeout(resolve, 1500));  // real frames first
  const result = await page.evaluate(() => {
    const batch = 250;
    const drawn = [];
    const alone = [];
    window.kavarinBenchTicks(batch);  // warm up
    for (let i = 0; i < 40; ++i) {
      drawn.push(window.kavarinBenchTicks(batch) / batch);
      alone.push(window.kavarinBenchTicks(batch, false) / batch);
    }
    const median = (v) => v.sort((a, b) => a - b)[v.length >> 1];
    const frames = window.kavarinWork();
    return { drawn: median(drawn), alone: median(alone), frames: frames.length ? median(frames) : -1, framesSeen: frames.length };
  });
  const ms = (v) => `${v.toFixed(4)} ms`;
  console.log(`web tick with drawing (median of 40 batches of 250): ${ms(result.drawn)} (target 0.3 ms)`);
  console.log(`web tick alone, baseline (median of 40 batches of 250): ${ms(result.alone)}`);
  console.log(`drawing's share: ${ms(result.drawn - result.alone)} a tick`);
  console.log(`real frames' work per tick (median of ${result.framesSeen}, timer resolution limited): ${ms(result.frames)}`);
} finally {
  await site.close();
}
