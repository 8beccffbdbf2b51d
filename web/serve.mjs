// node web/serve.mjs SITE PORT: serves the static site at http://127.0.0.1:PORT/ for trying it
// out (port 0: any free port, printed). Any static web server will do, if it sends .wasm as
// application/wasm.
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import path from 'node:path';

const [site, port] = process.argv.slice(2);
const root = path.resolve(site);
const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.ttf': 'font/ttf',
  '.ts': 'application/xml; charset=utf-8',
  '.txt': 'text/plain; charset=utf-8',
  '.png': 'image/png',
};

createServer(async (request, response) => {
  try {
    const url = new URL(request.url, 'http://localhost');
    let file = path.join(root, decodeURIComponent(url.pathname));
    if (url.pathname.endsWith('/')) file = path.join(file, 'index.html');
    if (!file.startsWith(root + path.sep) || request.method !== 'GET') throw new Error('refused');
    const body = await readFile(file);
    response.writeHead(200, {
      'Content-Type': types[path.extname(file)] ?? 'application/octet-stream',
      'Cache-Control': 'no-cache',
    });
    response.end(body);
  } catch {
    response.writeHead(404).end();
  }
})
  .on('error', (e) => {
    console.error(`serve.mjs: cannot serve on 127.0.0.1 port ${port}: ${e.message}`);
    process.exit(1);
  })
  .listen(Number(port), '127.0.0.1', function () {
    console.log(`Kavarin is at http://127.0.0.1:${this.address().port}/ (Ctrl+C stops)`);
  });
