// node tests/web/page_check.mjs SITE REPLAY: plays the page in headless Chromium with real key
// events and checks it against the native core (kavarin-replay):
// - the canvas pixels equal what kavarin-replay draws for the script kavarinRecord() returns;
// - all six player keys reached the game, and ticks ran at 60 a second within 10 %;
// - the cues sounded through Web Audio one at a time, the first one too;
// - at 1920 × 1080 the field shows at ×2 or more, every field pixel a square of its own black or
//   white, and no console error or outside request happened;
// - on a German layout (the browser's layout map faked before the page loads), the key in the
//   place of ] moves the right ship; on a French one the key that types A moves the left ship;
// - the captions are Japanese when the browser's first language is, else English;
// - two controllers (the Gamepad API answered by the test) fly the two ships;
// - against the computer at level 3, the right player's keys fly the left ship, the computer's
//   keys fly and fire the right one, and the record of both replays exactly.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { OpenPage, OpenSite } from './browser.mjs';

const [sitePath, replay] = process.argv.slice(2);
const work = mkdtempSync(path.join(os.tmpdir(), 'kavarin-web-'));
const failures = [];
let passed = 0;
function Check(ok, what) {
  if (ok) ++passed;
  else failures.push(what);
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// kavarin-replay's answer for a script: the state line and the field's 400 × 300 grey pixels.
function Replay(script, name) {
  const scriptPath = path.join(work, `${name}.txt`);
  const picture = path.join(work, `${name}.pgm`);
  writeFileSync(scriptPath, `${script}field ${picture}\n`);
  const state = execFileSync(replay, [scriptPath], { encoding: 'utf8' });
  const pgm = readFileSync(picture);
  return { state, pixels: pgm.subarray(pgm.length - 400 * 300) };
}

// The canvas's backing store and the record up to it, in one go.
function Shown(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('field');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let grey = '';
    for (let i = 0; i < data.length; i += 4) {
      const v = data[i];
      grey += v === 255 && data[i + 1] === 255 && data[i + 2] === 255 ? '1' : v === 0 && data[i + 1] === 0 && data[i + 2] === 0 ? '0' : '?';
    }
    return { size: [canvas.width, canvas.height], grey, record: window.kavarinRecord() };
  });
}

function SameField(shown, pixels) {
  if (shown.grey.length !== pixels.length) return false;
  for (let i = 0; i < pixels.length; ++i) if (shown.grey[i] !== (pixels[i] === 255 ? '1' : '0')) return false;
  return true;
}

// The field on the screen: its zoom, and whether every zoom × zoom square of device pixels is one
// colour, black or white, with some white among them. Play goes on meanwhile, so the picture is
// checked on its own.
async function Crisp(page, name) {
  const zoom = await page.evaluate(() => Number(document.getElementById('field').dataset.zoom));
  // Where the field stands in device pixels; the screenshot is of the whole page, in device pixels.
  const at = await page.evaluate(() => {
    const r = document.getElementById('field').getBoundingClientRect();
    return [r.x, r.y].map((v) => Math.round(v * devicePixelRatio));
  });
  const png = path.join(work, `${name}.png`);
  await page.screenshot({ path: png });
  const width = 400 * zoom;
  const rgb = execFileSync('convert', [png, '-crop', `${width}x${300 * zoom}+${at[0]}+${at[1]}`, '-depth', '8', 'rgb:-'], { maxBuffer: 64 << 20 });
  let ok = rgb.length === width * 300 * zoom * 3;
  let white = 0;
  for (let y = 0; ok && y < 300 * zoom; ++y) {
    for (let x = 0; x < width; ++x) {
      const at = (y * width + x) * 3;
      const corner = ((y - (y % zoom)) * width + (x - (x % zoom))) * 3;
      const v = rgb[at];
      if ((v !== 0 && v !== 255) || rgb[at + 1] !== v || rgb[at + 2] !== v || rgb[corner] !== v) { ok = false; break; }
      white += v === 255;
    }
  }
  return { zoom, ok: ok && white > 0 };
}

const site = await OpenSite(sitePath);
try {
  // --- Play at 1920 × 1080.
  // Every cue started through Web Audio is counted, with how many sounded at once at most.
  const { page, errors } = await OpenPage(site, {
    width: 1920, height: 1080,
    before: `(() => {
      const cues = window.kavarinTestCues = { started: 0, playing: 0, most: 0, running: [] };
      const start = AudioBufferSourceNode.prototype.start;
      const stop = AudioBufferSourceNode.prototype.stop;
      AudioBufferSourceNode.prototype.start = function (...a) {
        cues.started++; cues.playing++; cues.most = Math.max(cues.most, cues.playing);
        this.addEventListener('ended', () => { if (!this.stopped) cues.playing--; this.stopped = true; });
        cues.running.push(this.context.state);
        return start.apply(this, a);
      };
      AudioBufferSourceNode.prototype.stop = function (...a) {
        if (!this.stopped) cues.playing--;
        this.stopped = true;
        return stop.apply(this, a);
      };
    })();`,
  });
  await page.keyboard.press('F2');
  const t0 = await page.evaluate(() => [performance.now(), window.kavarinTicks()]);
  await sleep(3000);
  const t1 = await page.evaluate(() => [performance.now(), window.kavarinTicks()]);
  const rate = ((t1[1] - t0[1]) * 1000) / (t1[0] - t0[0]);
  Check(Math.abs(rate - 60) <= 6, `ticks ran at ${rate.toFixed(1)} a second (60 within 10 %)`);

  // Both players fly up and down and fire, and Space goes on after each round.
  const hold = async (keys, ms) => {
    for (const k of keys) await page.keyboard.down(k);
    await sleep(ms);
    for (const k of keys) await page.keyboard.up(k);
  };
  for (let round = 0; round < 3; ++round) {
    await hold(['KeyA', 'BracketRight'], 400);
    await hold(['KeyS'], 60);
    await hold(['KeyX', 'Slash'], 500);
    await hold(['Semicolon'], 60);
    await hold(['KeyX', 'BracketRight'], 300);
    await hold(['KeyS', 'Semicolon'], 60);
    await sleep(700);
    await page.keyboard.press('Space');
  }
  await sleep(200);
  const shown = Shown(page);
  const { size, record } = await shown;
  Check(size[0] === 400 && size[1] === 300, `the canvas's backing store is ${size.join(' × ')}`);
  const native = Replay(record, 'play');
  Check(SameField(await shown, native.pixels), 'the canvas shows exactly what kavarin-replay draws for kavarinRecord()');
  const cues = await page.evaluate(() => window.kavarinTestCues);
  const fired = (record.match(/\ndown (83|186)\n/g) || []).length;
  Check(cues.started > 0 && cues.most === 1 && cues.running.every((state) => state === 'running'),
    `${cues.started} cues sounded through Web Audio for ${fired} presses of a fire key, at most ${cues.most} at once, the audio running for each`);
  const reached = [65, 88, 83, 221, 191, 186].filter((code) => record.includes(`\ndown ${code}\n`));
  Check(reached.length === 6, `all six player keys reached the game (${reached.join(', ')})`);

  // --- The zoom at 1920 × 1080: each field pixel a square of whole device pixels, black or white.
  const crisp = await Crisp(page, 'at-1080p');
  Check(crisp.zoom >= 2 && crisp.ok, `at 1920 × 1080 the field shows at ×${crisp.zoom}, every pixel a ${crisp.zoom} × ${crisp.zoom} square of black or white`);
  Check(errors.length === 0, `no console error and no request outside the site${errors.length ? `: ${errors.join('; ')}` : ''}`);
  await page.close();

  // --- The same screen at 150 %: the zoom counts device pixels, and the field starts on one.
  {
    const { page: p, errors: e } = await OpenPage(site, { width: 1280, height: 720, scale: 1.5 });
    await p.keyboard.press('F2');
    await sleep(500);
    const c = await Crisp(p, 'at-150');
    Check(c.zoom >= 2 && c.ok && e.length === 0, `at 1280 × 720 CSS pixels and 150 % the field shows at ×${c.zoom} device pixels, crisp`);
    await p.close();
  }

  // --- The captions' language, from the browser's first language (faked before the page loads).
  for (const [languages, menu, title, labels] of [
    [['ja-JP', 'en'], 'ゲーム(G)', '遊び方', 21],
    [['de-DE', 'ja'], 'Game', 'How to Play', 21],
  ]) {
    const { page: p, errors: e } = await OpenPage(site, {
      width: 1280, height: 800,
      before: `Object.defineProperty(navigator, 'languages', { get: () => ${JSON.stringify(languages)} });`,
    });
    const shown = await p.evaluate(() => [document.querySelector('#KG1 .top').textContent,
      document.querySelector('#KG1 .top u').textContent, document.getElementById('Form3-title').textContent,
      document.querySelectorAll('#Form3 .label').length, document.documentElement.lang]);
    Check(shown[0] === menu && shown[1] === 'G' && shown[2] === title && shown[3] === labels && e.length === 0,
      `with ${languages[0]} first the menu reads ${shown[0]} (access key ${shown[1]}), How to play ${shown[2]} with ${shown[3]} labels`);
    if (languages[0] === 'ja-JP') {
      // The menu by its access keys: Alt+G S starts, Alt+H A opens Version information, which
      // keeps keys from the game while play goes on; Enter closes it.
      const alt = async (menuKey, itemKey) => {
        await p.keyboard.down('Alt');
        await p.keyboard.press(menuKey);
        await p.keyboard.up('Alt');
        await p.keyboard.press(itemKey);
      };
      await alt('KeyG', 'KeyS');
      await sleep(200);
      await alt('KeyH', 'KeyA');
      const before = await p.evaluate(() => [window.kavarinTicks(), document.getElementById('modal').hidden]);
      await p.keyboard.press('KeyS');
      await sleep(300);
      const during = await p.evaluate(() => [window.kavarinTicks(), window.kavarinRecord()]);
      await p.keyboard.press('Enter');
      await p.keyboard.press('KeyS');
      await sleep(100);
      const after = await p.evaluate(() => [document.getElementById('modal').hidden, window.kavarinRecord()]);
      Check(!before[1] && during[0] > before[0] + 10 && during[1].startsWith('# Kavarin match played in the browser\nstart\n') &&
        !during[1].includes('down 83') && after[0] && after[1].includes('down 83'),
        'Alt+G S starts; Version information (Alt+H A) keeps keys from the game while play goes on; Enter closes it');
    }
    await p.close();
  }

  // --- Two game controllers (the Gamepad API answered by the test): the first flies the left
  // ship, the second the right one; D-pad, stick, face buttons and Start as on the desktop.
  {
    const { page: p, errors: e } = await OpenPage(site, {
      width: 1280, height: 800,
      before: `(() => {
        const pad = (index) => ({ index, connected: true, mapping: 'standard', axes: [0, 0, 0, 0],
          buttons: Array.from({ length: 17 }, () => ({ pressed: false, value: 0 })) });
        const pads = window.kavarinTestPads = [pad(0), pad(1)];
        navigator.getGamepads = () => pads;
      })();`,
    });
    await p.keyboard.press('F2');
    const set = (script) => p.evaluate(script);
    await set(() => { window.kavarinTestPads[0].buttons[0].pressed = true; window.kavarinTestPads[1].axes[1] = -0.9; });
    await sleep(300);
    await set(() => { window.kavarinTestPads[0].buttons[0].pressed = false; window.kavarinTestPads[1].axes[1] = 0; window.kavarinTestPads[0].buttons[13].pressed = true; });
    await sleep(300);
    await set(() => { window.kavarinTestPads[0].buttons[13].pressed = false; window.kavarinTestPads[1].buttons[3].pressed = true; });
    await sleep(100);
    await set(() => { window.kavarinTestPads[1].buttons[3].pressed = false; });
    await sleep(100);
    const { record: r } = await Shown(p);
    const lines = r.split('\n').filter((l) => /^(down|up) /.test(l));
    const want = ['down 83', 'down 221', 'up 83', 'down 88', 'up 221', 'up 88', 'down 186', 'up 186'];
    Check(JSON.stringify(lines) === JSON.stringify(want) && e.length === 0,
      `two controllers fly the left and the right ship: ${lines.join(', ')}`);
    await p.close();
  }

  // --- Layouts, from the browser's layout map, faked before the page loads.
  const LayoutPage = (entries) => OpenPage(site, {
    width: 1280, height: 800,
    before: `Object.defineProperty(navigator, 'keyboard', { value: { getLayoutMap: async () => new Map(${JSON.stringify(entries)}) } });`,
  });
  const letters = 'qwertyuiopasdfghjklzxcvbnm';
  const Layout = (swap) => {
    const map = [...letters].map((c) => [`Key${c.toUpperCase()}`, swap[c] ?? c]);
    for (const [code, key] of Object.entries(swap)) if (code.length > 1) map.push([code, key]);
    return map;
  };
  const german = Layout({ y: 'z', z: 'y', BracketLeft: 'ü', BracketRight: '+', Semicolon: 'ö', Quote: 'ä', Backslash: '#', Slash: '-', Minus: 'ß', IntlBackslash: '<' });
  const french = Layout({ q: 'a', a: 'q', w: 'z', z: 'w', m: ',', Semicolon: 'm', BracketLeft: '^', BracketRight: '$', Quote: 'ù', Slash: '!', Backslash: '*' });
  for (const [name, map, key, code, field, moved] of [
    ['German', german, 'BracketRight', 221, 'RightY', (y) => y < 200],
    ['French', french, 'KeyQ', 65, 'LeftY', (y) => y < 200],
  ]) {
    const { page: p, errors: e } = await LayoutPage(map);
    await p.keyboard.press('F2');
    await p.keyboard.down(key);
    await sleep(400);
    await p.keyboard.up(key);
    await sleep(100);
    const { record: r } = await Shown(p);
    const y = Number(new RegExp(`${field}=(-?\\d+)`).exec(Replay(r, name).state)?.[1]);
    Check(r.includes(`\ndown ${code}\n`) && moved(y) && e.length === 0,
      `on a ${name} layout the key ${key} is ${code} and moves the ship (${field}=${y})`);
    await p.close();
  }
  // --- Exit: where the page stays open, the game is as it was when the page opened, and plays on.
  {
    const { page: p, errors: e } = await OpenPage(site, { width: 1280, height: 800 });
    await p.keyboard.press('F2');
    await p.keyboard.press('KeyS');
    await sleep(300);
    await p.click('#KG1 .top');
    await p.click('#Exit1');
    await sleep(100);
    const exited = await Shown(p);
    await p.keyboard.press('F2');
    await p.keyboard.press('Semicolon');
    await sleep(300);
    const again = await Shown(p);
    const native = Replay(again.record, 'after-exit');
    Check(!exited.grey.includes('1') && exited.record.endsWith('browser\nstate\n') &&
      again.record.includes('start\n') && SameField(again, native.pixels) && again.grey.includes('1') && e.length === 0,
      'Exit leaves the page as it opened, and a new match then plays and shows as kavarin-replay draws it');
    await p.close();
  }

  // --- Against the computer at level 3: the player uses only the right player's keys, so every
  // right-ship key in the record is the computer's.
  {
    const { page: p, errors: e } = await OpenPage(site, { width: 1280, height: 800 });
    await p.select('#computer', '3');
    const title = await p.evaluate(() => [document.title, window.kavarinComputerLevel(), document.activeElement?.id ?? '']);
    await p.keyboard.press('F2');
    for (let i = 0; i < 4; ++i) {
      await p.keyboard.down('BracketRight');
      await sleep(300);
      await p.keyboard.up('BracketRight');
      await p.keyboard.press('Semicolon');
      await p.keyboard.down('Slash');
      await sleep(300);
      await p.keyboard.up('Slash');
      await p.keyboard.press('Semicolon');
    }
    // The computer's seed is fresh each game, so its first shot may come later, or the round may
    // have ended first: play on a while (Space continues a round that ended), a bounded time.
    for (let i = 0; i < 24; ++i) {
      const record = await p.evaluate(() => window.kavarinRecord());
      if (record.includes('\ndown 186\n')) break;
      if (i % 4 === 3) await p.keyboard.press('Space');
      await sleep(250);
    }
    await sleep(200);
    const shown = await Shown(p);
    const lines = shown.record.split('\n');
    const count = (key) => lines.filter((l) => l === `down ${key}`).length;
    const native = Replay(shown.record, 'computer');
    const rightY = Number(/RightY=(-?\d+)/.exec(native.state)?.[1]);
    const leftKeys = [65, 88, 83].map(count);
    const computerKeys = [221, 191, 186].map(count);
    Check(['Kavarin - against the computer (level 3: strong)', 'Kavarin - コンピュータと対戦 (レベル 3: つよい)'].includes(title[0]) && title[1] === 3 &&
      leftKeys.every((n) => n >= 4) && computerKeys[2] > 0 && computerKeys[0] + computerKeys[1] > 0 &&
      rightY !== 200 && SameField(shown, native.pixels) && e.length === 0,
      `against the computer at level 3 ("${title[0]}"): the player's keys went to the left ship (${leftKeys.join(', ')} presses), ` +
      `the computer's to the right one (${computerKeys.join(', ')}; RightY=${rightY}), and the canvas is what kavarin-replay draws`);
    await p.close();
  }

  // --- A browser that cannot tell the layout (no navigator.keyboard): the right player's keys by
  // place whatever they type, letters by the letter (an AZERTY A on the Q place).
  {
    const { page: p, errors: e } = await OpenPage(site, {
      width: 1280, height: 800,
      before: `Object.defineProperty(navigator, 'keyboard', { value: undefined });`,
    });
    await p.keyboard.press('F2');
    const cdp = await p.createCDPSession();
    const key = async (code, text, vk) => {
      for (const type of ['keyDown', 'keyUp']) {
        await cdp.send('Input.dispatchKeyEvent', { type, code, key: text, windowsVirtualKeyCode: vk });
      }
    };
    await key('KeyQ', 'a', 65);
    await key('BracketRight', '$', 186);
    await key('KeyA', 'q', 81);
    await key('KeyW', 'z', 90);
    await key('Semicolon', 'm', 77);
    await sleep(100);
    const { record: r } = await Shown(p);
    const lines = r.split('\n').filter((l) => /^(down|up) /.test(l));
    const want = ['down 65', 'up 65', 'down 221', 'up 221', 'down 81', 'up 81', 'down 186', 'up 186'];
    Check(JSON.stringify(lines) === JSON.stringify(want) && e.length === 0,
      `without the layout, AZERTY key events give ${lines.filter((l) => l.startsWith('down')).join(', ')}`);
    await p.close();
  }
} finally {
  await site.close();
  rmSync(work, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failures.length} failed`);
process.exit(failures.length ? 1 : 0);
