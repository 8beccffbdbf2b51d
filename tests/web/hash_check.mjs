// node hash_check.mjs SITE SCRIPT...: runs each replay script on the web build's core, as
// kavarin-replay runs it, and prints a "hash" line for each of its "hash" commands.
import { readFileSync } from 'node:fs';
import { LoadCore } from './load_core.mjs';

const [site, ...scripts] = process.argv.slice(2);
const core = await LoadCore(site);
const out = [];
for (const script of scripts) {
  core._kv_create();
  for (const line of readFileSync(script, 'utf8').split('\n')) {
    const [command, arg] = line.trim().split(/[ \t]+/);
    if (command === 'start') core._kv_start(0);
    else if (command === 'down' || command === 'up') core._kv_key(command === 'down' ? 1 : 0, Number(arg), 0);
    else if (command === 'tick') {
      for (let n = arg === undefined ? 1 : Number(arg); n > 0 && core._kv_running(); --n) core._kv_fire();
    } else if (command === 'hash') {
      const hex = (v) => (v >>> 0).toString(16).padStart(8, '0');
      out.push(`hash ${hex(core._kv_hash_high())}${hex(core._kv_hash_low())}`);
    }
  }
}
process.stdout.write(out.join('\n') + '\n');
