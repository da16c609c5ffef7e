// What the browser tests share: Debian's Chromium driven through
// playwright-core (installed into the build tree by the web_node_modules
// test, found through NODE_PATH), the built page served on a localhost port,
// and the headless runner's frame hashes to hold the page to. A test that
// cannot run here (no Chromium, no playwright-core) exits with SKIP, which
// CTest reports as skipped.
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const SKIP = 77;
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.webmanifest': 'application/manifest+json', '.png': 'image/png' };

// Profiles, traces and files a test serves go here, and go at exit.
const WORK = fs.mkdtempSync(path.join(os.tmpdir(), 'burrow-web-'));
process.on('exit', () => fs.rmSync(WORK, { recursive: true, force: true }));

function skip(why) {
  console.log('SKIPPED: ' + why);
  process.exit(SKIP);
}

// Chromium headless in a fresh profile of its own, as one browser context
// with `options` (viewport, touch); the caller closes it.
function launch(options = {}) {
  if (!fs.existsSync(CHROMIUM)) skip(`no Chromium at ${CHROMIUM} (make deps installs Debian's chromium)`);
  let playwright;
  try {
    playwright = require('playwright-core');
  } catch (e) {
    skip(`playwright-core cannot be loaded (the web_node_modules test installs it): ${e.message.split('\n')[0]}`);
  }
  const profile = fs.mkdtempSync(path.join(WORK, 'profile-'));
  return playwright.chromium.launchPersistentContext(profile, {
    ...options, executablePath: CHROMIUM, headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// Serves the folder `dist` on 127.0.0.1, and `extra` (URL path -> file) over
// it; `stop()` closes every connection, `start()` listens on the same port again.
async function serve(dist, extra = {}) {
  const server = http.createServer((request, response) => {
    const name = path.posix.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = extra[name] || path.join(dist, name === '/' ? 'index.html' : name);
    fs.readFile(file, (error, data) => {
      response.writeHead(error ? 404 : 200, { 'Content-Type': TYPES[path.extname(file)] || 'text/plain' });
      response.end(error ? '' : data);
    });
  });
  const listen = (port) => new Promise((resolve) => server.listen(port, '127.0.0.1', resolve));
  await listen(0);
  const port = server.address().port;
  return {
    origin: `http://127.0.0.1:${port}`,
    extra,
    start: () => listen(port),
    stop: () => new Promise((resolve) => { server.close(resolve); server.closeAllConnections(); }),
  };
}

// The hash of each of the first `frames` frames the headless runner shows for `tape`.
function headlessHashes(runner, tape, frames) {
  const trace = path.join(WORK, 'headless.trace');
  execFileSync(runner, ['--frames', String(frames), '--input', tape, '--trace', trace]);
  return fs.readFileSync(trace, 'utf8').trim().split('\n').map((line) => JSON.parse(line).hash);
}

function ok(condition, message) {
  if (!condition) throw new Error('FAILED: ' + message);
  console.log('ok: ' + message);
}

// Runs `test` (async) and exits 1 with its error if it throws.
function main(test) {
  test().then(() => process.exit(0), (error) => {
    console.log(error.message.startsWith('FAILED') ? error.message : error.stack);
    process.exit(1);
  });
}

module.exports = { WORK, launch, serve, headlessHashes, ok, main };
