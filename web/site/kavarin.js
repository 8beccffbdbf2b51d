// The game's page: the field on a canvas, the menu bar and the two dialogs, keys, controllers
// and sound, around the core compiled to WebAssembly (kavarin-core.js).
import { Captions, ShowCaption } from './captions.js';
import { Controllers, GameKeys, ViewKey, ViewKeyOf } from './keyboard.js';
import { CueSounds } from './sound.js';

const $ = (id) => document.getElementById(id);

async function Main() {
  const core = await KavarinCore();
  // The computer's level (0 for two players), kept across Exit; every game gets a fresh seed.
  let computerLevel = 0;
  const CreateGame = () => {
    const seed = crypto.getRandomValues(new Uint32Array(2));
    core._kv_create(computerLevel, seed[0], seed[1]);
  };
  CreateGame();
  const captions = await Captions.Load(core);
  document.documentElement.lang = captions.language;
  const keys = new GameKeys(core);
  await keys.ReadLayout();
  addEventListener('focus', () => keys.ReadLayout());
  const pads = new Controllers(core);
  const sounds = new CueSounds(core);
  const canvas = $('field');
  const context = canvas.getContext('2d', { alpha: false });
  // The canvas shows the game's RGBA pixels where they lie in the module's memory; a new game
  // (Exit) has them elsewhere, and shows them whole.
  let pixels = null;
  const ShowWhole = () => {
    pixels = new ImageData(new Uint8ClampedArray(core.HEAPU8.buffer, core._kv_pixels(), 400 * 300 * 4), 400, 300);
    context.putImageData(pixels, 0, 0);
  };
  ShowWhole();

  // --- The window's parts: menus, dialogs, which of them is in front.
  const accessKeys = new Map();  // menu id to its access key
  for (const element of document.querySelectorAll('[data-caption]')) {
    const key = ShowCaption(element, captions.Text(element.dataset.caption));
    if (element.classList.contains('top')) accessKeys.set(element.parentElement.id, key);
    else if (key) element.dataset.accessKey = key;
  }
  const howToPlay = $('Form3');
  for (const label of captions.labels) {
    const span = document.createElement('span');
    span.className = 'label';
    span.id = `Form3-${label.name}`;
    span.textContent = label.text;
    span.style.left = `${label.left}px`;
    span.style.top = `${label.top}px`;
    if (label.size > 0) span.style.fontSize = `${label.size}px`;
    howToPlay.querySelector('.client').append(span);
  }
  const iconSize = core._kv_icon_size();
  const icon = new ImageData(new Uint8ClampedArray(core.HEAPU8.buffer, core._kv_icon(), iconSize * iconSize * 4).slice(), iconSize, iconSize);
  $('Image1').getContext('2d').putImageData(icon, 0, 0);
  const favicon = document.querySelector('link[rel=icon]');
  favicon.href = (() => { const c = document.createElement('canvas'); c.width = c.height = iconSize; c.getContext('2d').putImageData(icon, 0, 0); return c.toDataURL(); })();

  let front = 'main';  // 'main' or 'Form3': which window keys go to; the modal box blocks both
  let openMenu = null;
  const modal = $('modal');
  const modalOpen = () => !modal.hidden;
  const CloseMenus = () => {
    if (openMenu) openMenu.classList.remove('open');
    openMenu = null;
  };
  const OpenMenu = (menu) => {
    CloseMenus();
    menu.classList.add('open');
    openMenu = menu;
  };
  for (const menu of document.querySelectorAll('.menu')) {
    menu.querySelector('.top').addEventListener('click', () => (openMenu === menu ? CloseMenus() : OpenMenu(menu)));
  }
  addEventListener('pointerdown', (e) => {
    sounds.Wake();
    if (!e.target.closest('.menu')) CloseMenus();
    if (e.target.closest('#Form3')) front = 'Form3';
    else if (!e.target.closest('#modal')) front = 'main';
  }, true);

  const now = () => performance.now();
  const Start = () => { CloseMenus(); core._kv_start(now()); };
  const Exit = () => {
    CloseMenus();
    // A page cannot always close itself; where it stays, the game is as it was when it opened.
    window.close();
    sounds.Stop();
    CreateGame();
    pads.Forget();
    ShowWhole();
  };
  // Choosing the computer (or none) begins a new game, as the desktop's --computer opens a new
  // window; the title says the level, as the desktop's does.
  const titles = ['', 'ComputerEasyTitle', 'ComputerFairTitle', 'ComputerStrongTitle'];
  const computer = $('computer');
  computer.addEventListener('change', () => {
    CloseMenus();
    computerLevel = Number(computer.value);
    sounds.Stop();
    CreateGame();
    pads.Forget();
    ShowWhole();
    document.title = computerLevel > 0 ? captions.Text(titles[computerLevel]) : 'Kavarin';
    // The keys go back to the game, not to the list.
    computer.blur();
    front = 'main';
  });
  const ShowHowToPlay = () => { CloseMenus(); howToPlay.hidden = false; front = 'Form3'; };
  const ShowVersion = () => { CloseMenus(); modal.hidden = false; $('Button1').focus(); };
  const CloseVersion = () => { modal.hidden = true; };
  $('KS1').addEventListener('click', Start);
  $('Exit1').addEventListener('click', Exit);
  $('KP1').addEventListener('click', ShowHowToPlay);
  $('About1').addEventListener('click', ShowVersion);
  $('Button1').addEventListener('click', CloseVersion);
  $('Form2').querySelector('.close').addEventListener('click', CloseVersion);
  howToPlay.querySelector('.close').addEventListener('click', () => { howToPlay.hidden = true; front = 'main'; });
  const Draggable = (dialog) => {
    dialog.querySelector('header').addEventListener('pointerdown', (e) => {
      if (e.target.closest('button')) return;
      const from = { x: e.clientX - dialog.offsetLeft, y: e.clientY - dialog.offsetTop };
      const move = (m) => { dialog.style.left = `${m.clientX - from.x}px`; dialog.style.top = `${m.clientY - from.y}px`; };
      addEventListener('pointermove', move);
      addEventListener('pointerup', () => removeEventListener('pointermove', move), { once: true });
    });
  };
  Draggable(howToPlay);
  Draggable($('Form2'));

  // --- The field's size: the largest whole zoom that fits, by the desktop's rule.
  let chosenZoom = null;  // Ctrl+= and Ctrl+- choose one below the fitting zoom
  const Layout = () => {
    const ratio = devicePixelRatio || 1;
    const full = !!document.fullscreenElement;
    const bar = full ? 0 : $('MainMenu1').getBoundingClientRect().height;
    const fitting = full
      ? core._kv_full_screen_zoom(innerWidth, innerHeight, ratio)
      : core._kv_fitting_zoom(innerWidth, innerHeight, 0, bar, ratio);
    const smallest = core._kv_smallest_zoom(ratio);
    const zoom = Math.max(smallest, Math.min(chosenZoom ?? fitting, fitting));
    if (chosenZoom !== null) chosenZoom = zoom;
    // Exactly zoom device pixels a field pixel, starting on a whole device pixel.
    const width = (400 * zoom) / ratio;
    const height = (300 * zoom) / ratio;
    canvas.style.width = `${width}px`;
    canvas.style.height = `${height}px`;
    const left = Math.max(0, Math.floor(((innerWidth - width) / 2) * ratio) / ratio);
    const top = full
      ? Math.max(0, Math.floor(((innerHeight - height) / 2) * ratio) / ratio)
      : Math.ceil(bar * ratio) / ratio;
    canvas.style.left = `${left}px`;
    canvas.style.top = `${top}px`;
    canvas.dataset.zoom = zoom;
    return fitting;
  };
  addEventListener('resize', Layout);
  document.addEventListener('fullscreenchange', Layout);
  matchMedia(`(resolution: ${devicePixelRatio}dppx)`).addEventListener?.('change', Layout);
  Layout();
  const ToggleFullScreen = () => {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else document.documentElement.requestFullscreen?.().catch(() => {});
  };
  $('fullscreen').addEventListener('click', ToggleFullScreen);

  // --- Keys.
  const menuItems = (menu) => [...menu.querySelectorAll('.items button')];
  addEventListener('keydown', (e) => {
    sounds.Wake();
    if (modalOpen()) {
      if (e.key === 'Escape' || e.key === 'Enter') { e.preventDefault(); CloseVersion(); }
      return;
    }
    const view = ViewKeyOf(core, e);
    if (view !== ViewKey.None) {
      e.preventDefault();
      if (view === ViewKey.ToggleFullScreen) ToggleFullScreen();
      if (view === ViewKey.LeaveFullScreen && document.fullscreenElement) document.exitFullscreen().catch(() => {});
      if (view === ViewKey.ZoomIn || view === ViewKey.ZoomOut) {
        const current = Number(canvas.dataset.zoom);
        chosenZoom = current + (view === ViewKey.ZoomIn ? 1 : -1);
        Layout();
      }
      return;
    }
    if (e.key === 'F2' && front === 'main') { e.preventDefault(); Start(); return; }
    if (e.altKey && !e.ctrlKey) {
      for (const [id, key] of accessKeys) {
        if (e.code === `Key${key}`) { e.preventDefault(); OpenMenu($(id)); return; }
      }
    }
    if (openMenu) {
      e.preventDefault();
      if (e.key === 'Escape') { CloseMenus(); return; }
      const item = menuItems(openMenu).find((b) => e.code === `Key${b.dataset.accessKey}`);
      if (item) item.click();
      return;
    }
    if (front !== 'main') return;
    const code = keys.CodeOf(e);
    if (code === 0) return;
    e.preventDefault();
    core._kv_key(1, code, now());
  });
  addEventListener('keyup', (e) => {
    if (modalOpen() || openMenu || front !== 'main') return;
    const code = keys.CodeOf(e);
    if (code === 0) return;
    e.preventDefault();
    core._kv_key(0, code, now());
  });

  // --- The frame loop: ticks from the core's pacing against the page's steady clock, then
  // whatever they drew.
  const changed = new Int32Array(core.HEAP32.buffer, core._kv_changed(), 4);
  const work = [];  // milliseconds of tick and drawing per tick, for the benchmark
  let ticks = 0;
  function Redraw() {
    core._kv_pixels();
    if (changed[2] > 0) context.putImageData(pixels, 0, 0, changed[0], changed[1], changed[2], changed[3]);
    core._kv_mark_shown();
  }
  function Frame() {
    const begin = now();
    // Controllers fly the ships while the page is in front and no modal box is open.
    pads.Poll(begin, !modalOpen() && document.hasFocus());
    const ran = core._kv_frame(begin);
    Redraw();
    const cue = core._kv_cue();
    if (cue >= 0) sounds.Play(cue);
    if (ran > 0) {
      ticks += ran;
      if (work.length < 100000) work.push((now() - begin) / ran);
    }
    requestAnimationFrame(Frame);
  }
  requestAnimationFrame(Frame);

  // For bug reports and the tests.
  window.kavarinRecord = () => core.UTF8ToString(core._kv_record());
  window.kavarinTicks = () => ticks;
  window.kavarinComputerLevel = () => core._kv_computer_level();
  window.kavarinWork = () => work.slice();
  window.kavarinHash = () => {
    const hex = (v) => (v >>> 0).toString(16).padStart(8, '0');
    return hex(core._kv_hash_high()) + hex(core._kv_hash_low());
  };
  // For the benchmark: `count` ticks of lively play (both players firing and moving, the next
  // round begun whenever one ends), each drawn as a frame draws it unless `draw` is false.
  // Returns the milliseconds they took.
  window.kavarinBenchTicks = (count, draw = true) => {
    const begin = now();
    for (let i = 0; i < count; ++i) {
      if (!core._kv_running()) {
        core._kv_key(1, 32, begin);
        core._kv_key(0, 32, begin);
        if (!core._kv_running()) core._kv_start(begin);
      }
      if (i % 6 === 0) for (const code of [83, 186]) core._kv_key(1, code, begin);
      if (i % 40 === 0) for (const code of [65, 191]) core._kv_key(i % 80 === 0 ? 1 : 0, code, begin);
      core._kv_fire();
      if (draw) Redraw();
    }
    return now() - begin;
  };
  document.body.dataset.ready = 'yes';
}

Main().catch((e) => {
  const failure = $('failure');
  failure.hidden = false;
  failure.textContent = `Kavarin cannot run in this browser: ${e.message}`;
  console.error(e);
});
