// The page's keys and controllers, turned into the game's virtual key codes by the core's rules.

// Keys go by their place (KeyboardEvent.code). Where the browser tells the layout
// (navigator.keyboard.getLayoutMap(), in Chromium), the desktop's rule for letters and for the
// Japanese layout decides; elsewhere the right player's keys and Space go by their US places and
// the letters by what they type.
export class GameKeys {
  constructor(core) {
    this.core = core;
    this.codes = null;  // KeyboardEvent.code to game code, once the layout is known
    this.scratch = core._malloc(512);
  }

  async ReadLayout() {
    let map = null;
    try {
      map = navigator.keyboard && navigator.keyboard.getLayoutMap ? await navigator.keyboard.getLayoutMap() : null;
    } catch {
      map = null;  // not allowed here (a frame, an inactive page): the places alone decide
    }
    if (!map) return;
    const lines = [];
    for (const [code, key] of map) lines.push(`${code}\t${key}`);
    const text = this.String(lines.join('\n'));
    const codes = new Map();
    for (const line of text.split('\n')) {
      const [code, vk] = line.split('\t');
      if (code) codes.set(code, Number(vk));
    }
    this.codes = codes;
  }

  // The game code of a key event, 0 when the game ignores the key. Keypad keys never count.
  CodeOf(event) {
    if (event.location === KeyboardEvent.DOM_KEY_LOCATION_NUMPAD) return 0;
    if (this.codes) return this.codes.get(event.code) ?? 0;
    const core = this.core;
    const code = event.code.slice(0, 60);
    const key = event.key.slice(0, 60);
    core.stringToUTF8(code, this.scratch, 256);
    core.stringToUTF8(key, this.scratch + 256, 256);
    return core._kv_key_by_place(this.scratch, this.scratch + 256);
  }

  // The layout lines through the core's rule.
  String(text) {
    const core = this.core;
    const size = core.lengthBytesUTF8(text) + 1;
    const buffer = core._malloc(size);
    core.stringToUTF8(text, buffer, size);
    const result = core.UTF8ToString(core._kv_layout_codes(buffer));
    core._free(buffer);
    return result;
  }
}

// The view keys by the desktop's rule: F11 and Alt+Enter toggle fullscreen, Esc leaves it,
// Ctrl+= and Ctrl+- zoom.
const NamedKeys = { '=': 1, '+': 2, '-': 3, F11: 4, Enter: 5, Escape: 6 };
export const ViewKey = { None: 0, ZoomIn: 1, ZoomOut: 2, ToggleFullScreen: 3, LeaveFullScreen: 4 };
export function ViewKeyOf(core, event) {
  const named = NamedKeys[event.key] ?? 0;
  if (named === 0) return ViewKey.None;
  const modifiers = (event.ctrlKey ? 1 : 0) | (event.altKey ? 2 : 0) | (event.metaKey ? 4 : 0);
  return core._kv_view_key(named, modifiers);
}

// Two game controllers through the Gamepad API, with the desktop's seats and mapping (the core's
// ControllerKeys): D-pad or left stick up and down move, any face button fires, Start is Space.
// Buttons are named by the standard layout's numbers.
const PadButtons = [[12, 0], [13, 1], [0, 2], [1, 3], [2, 4], [3, 5], [9, 6]];
export class Controllers {
  constructor(core) {
    this.core = core;
    this.seen = new Map();  // index to what it last held
    addEventListener('gamepaddisconnected', (e) => this.Drop(e.gamepad.index));
  }

  // A new game has no seats yet: the controllers connect to it afresh.
  Forget() {
    this.seen.clear();
  }

  Drop(index) {
    if (!this.seen.has(index)) return;
    this.seen.delete(index);
    this.core._kv_pad_disconnect(index);
  }

  // Reads the controllers; `front` is false while the game is not the page's front window.
  // Buttons let go are sent before buttons pressed, as the desktop sends key-ups first.
  Poll(now, front) {
    const pads = [...(navigator.getGamepads ? navigator.getGamepads() : [])].filter((pad) => pad && pad.connected);
    for (const pad of pads) {
      if (this.seen.has(pad.index)) continue;
      this.core._kv_pad_connect(pad.index);
      this.seen.set(pad.index, { buttons: [], stick: 0 });
    }
    for (const index of [...this.seen.keys()]) {
      if (!pads.some((pad) => pad.index === index)) this.Drop(index);
    }
    for (const pressing of [false, true]) {
      for (const pad of pads) {
        const held = this.seen.get(pad.index);
        for (const [number, button] of PadButtons) {
          const pressed = front && !!pad.buttons[number] && pad.buttons[number].pressed;
          if (pressed !== !!held.buttons[number] && pressed === pressing) {
            held.buttons[number] = pressed;
            this.core._kv_pad_button(pad.index, button, pressed ? 1 : 0, now);
          }
        }
        if (!pressing) continue;
        const stick = front && pad.axes.length > 1 ? Math.round(Math.max(-1, Math.min(1, pad.axes[1])) * 32767) : 0;
        if (stick !== held.stick) {
          held.stick = stick;
          this.core._kv_pad_stick(pad.index, stick);
        }
      }
    }
  }
}
