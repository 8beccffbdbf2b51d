// node tests/web/sounds_check.mjs SITE SOUNDS: the cue sounds the page synthesises in its module
// are, sample for sample, the WAV files the desktop's build wrote into SOUNDS.
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { LoadCore } from './load_core.mjs';

const [site, sounds] = process.argv.slice(2);
const core = await LoadCore(site);
let failed = 0;
const count = core._kv_cue_count();
for (let cue = 0; cue < count; ++cue) {
  const name = core.UTF8ToString(core._kv_cue_name(cue));
  const wav = readFileSync(path.join(sounds, `${name}.wav`));
  const data = wav.indexOf('data', 12);
  const bytes = wav.readUInt32LE(data + 4);
  const desktop = new Int16Array(wav.buffer.slice(wav.byteOffset + data + 8, wav.byteOffset + data + 8 + bytes));
  const length = core._kv_cue_length(cue);
  const page = new Int16Array(core.HEAP16.buffer, core._kv_cue_samples(cue), length);
  let differ = length === desktop.length ? 0 : Infinity;
  for (let i = 0; i < length && differ !== Infinity; ++i) differ += page[i] !== desktop[i];
  const rate = wav.readUInt32LE(24);
  const ok = differ === 0 && rate === core._kv_cue_rate();
  if (!ok) ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${name}: ${length} samples at ${core._kv_cue_rate()} Hz, ${differ} differ from the desktop's ${desktop.length} at ${rate} Hz`);
}
console.log(`${count - failed} passed, ${failed} failed`);
process.exit(failed || count !== 4 ? 1 : 0);
