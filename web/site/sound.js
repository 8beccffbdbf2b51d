// The four cue sounds through Web Audio, one at a time: the newest cuts off the one before, as
// the original's player did. The samples come from the core, made by the same synthesiser that
// writes the desktop's sound files.
//
// A browser makes no sound before the page has had a click or a key. The first click or key
// resumes the audio, and the game can only start from one (Start, F2, Space), so the first cue
// is heard. Only play started from a controller alone, before any click or key, stays silent
// until the first one.
export class CueSounds {
  constructor(core) {
    this.context = new AudioContext();
    this.buffers = new Map();
    this.playing = null;
    this.woken = false;
    const rate = core._kv_cue_rate();
    for (let cue = 0; cue < core._kv_cue_count(); ++cue) {
      const length = core._kv_cue_length(cue);
      const samples = new Int16Array(core.HEAP16.buffer, core._kv_cue_samples(cue), length);
      const buffer = this.context.createBuffer(1, length, rate);
      const channel = buffer.getChannelData(0);
      for (let i = 0; i < length; ++i) channel[i] = samples[i] / 32768;
      this.buffers.set(cue, buffer);
    }
  }

  // From inside a click or key handler: the browser lets the audio start there.
  Wake() {
    this.woken = true;
    if (this.context.state !== 'running') this.context.resume().catch(() => {});
  }

  Play(cue) {
    const buffer = this.buffers.get(cue);
    if (!buffer || !this.woken) return;
    this.Stop();
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.connect(this.context.destination);
    source.start();
    this.playing = source;
  }

  Stop() {
    if (this.playing) this.playing.stop();
    this.playing = null;
  }
}
