// Starts the site's server and Debian's Chromium (headless, offline, a fresh profile) for the
// web checks, and takes them down again.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

const require = createRequire(path.resolve('web/package.json'));
const puppeteer = require('puppeteer-core');

export async function OpenSite(site) {
  const server = spawn(process.execPath, ['web/serve.mjs', site, '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
  const url = await new Promise((resolve, reject) => {
    server.on('error', reject);
    const timer = setTimeout(() => { server.kill(); reject(new Error('the server did not start')); }, 10000);
    server.stdout.on('data', (data) => {
      const found = /http:\/\/127\.0\.0\.1:\d+\//.exec(String(data));
      if (found) { clearTimeout(timer); resolve(found[0]); }
    });
    server.on('exit', () => reject(new Error('the server stopped')));
  });
  const profile = mkdtempSync(path.join(os.tmpdir(), 'kavarin-chromium-'));
  const launched = puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
    protocolTimeout: 60000,
  });
  let browser;
  try {
    browser = await launched;
  } catch (e) {
    server.kill();
    rmSync(profile, { recursive: true, force: true });
    throw e;
  }
  const close = async () => {
    await browser.close().catch(() => {});
    server.kill();
    rmSync(profile, { recursive: true, force: true });
  };
  return { url, browser, close };
}

// A page of the site, with every console error and failed or outside request noted in `errors`.
export async function OpenPage(site, { width, height, scale = 1, before } = {}) {
  const page = await site.browser.newPage();
  const errors = [];
  page.on('console', (m) => { if (m.type() === 'error') errors.push(`console: ${m.text()}`); });
  page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => errors.push(`request failed: ${r.url()}`));
  page.on('request', (r) => { if (!r.url().startsWith(site.url) && !r.url().startsWith('data:')) errors.push(`outside request: ${r.url()}`); });
  await page.setViewport({ width, height, deviceScaleFactor: scale });
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(site.url);
  await page.waitForSelector('body[data-ready=yes]', { timeout: 20000 });
  return { page, errors };
}
