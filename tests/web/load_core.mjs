// Loads the web build's module in Node, from the wasm file itself (no fetch).
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

export async function LoadCore(site) {
  const require = createRequire(import.meta.url);
  const KavarinCore = require(path.resolve(site, 'kavarin-core.js'));
  return KavarinCore({ wasmBinary: readFileSync(path.resolve(site, 'kavarin-core.wasm')) });
}
