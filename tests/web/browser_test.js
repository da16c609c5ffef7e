// The browser build in Debian's Chromium, driven through playwright-core
// (installed into the build tree by the web_node_modules test, found through
// NODE_PATH), held to the headless runner, in two parts on one local server:
//  - a touch screen the size of a phone: lying on its side (844 x 390) the
//    frame fills the largest 4:3 area beside the touch pad, upright (390 x 844)
//    it keeps a whole-number scale above the pad; turning the phone re-lays the
//    page; the pad never covers the frame; and a finger held on the frame
//    reaches the game as ACTION (LET'S GO! starts a game);
//  - a desktop window: a game's score is kept in local storage and survives a
//    reload; a replayed tape shows the runner's frames and leaves the table
//    alone, online and again offline from the service worker's cache; a new
//    build's worker replaces the old cache; the frame is scaled by 3; real keys
//    move the menu and start a game, of which it saves a screenshot; leaving
//    or hiding the page pauses the game until P;
//  - with --server, the hall of fame: it lists a run it verified, and the
//    entry's link replays the run's tape in the game it serves, frame for frame.
// Without Chromium or playwright-core it exits 77, which CTest reports as skipped.
// node browser_test.js --runner R --dist web/dist --tape T --screenshot out.png
//   (the phone's screenshots go beside it, as out-phone-landscape.png ...)
'use strict';
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { execFileSync, spawn } = require('child_process');
const { parseArgs } = require('util');

const FRAMES = 600;
const KEY = 'burrowrotor.best-scores';
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';
const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const { values: args } = parseArgs({ options: { runner: { type: 'string' }, dist: { type: 'string' },
                                                tape: { type: 'string' }, screenshot: { type: 'string' },
                                                server: { type: 'string' } } });
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Profiles, traces and files the test serves go here, and go at exit.
const WORK = fs.mkdtempSync(path.join(os.tmpdir(), 'burrow-web-'));
process.on('exit', () => fs.rmSync(WORK, { recursive: true, force: true }));

function ok(condition, message) {
  if (!condition) throw new Error('FAILED: ' + message);
  console.log('ok: ' + message);
}

function skip(why) {
  console.log('SKIPPED: ' + why);
  process.exit(77);
}

// Chromium headless in a fresh profile of its own, as one browser context
// with `options` (viewport, touch); the caller closes it.
function launch(options) {
  if (!fs.existsSync(CHROMIUM)) skip(`no Chromium at ${CHROMIUM} (make deps installs Debian's chromium)`);
  let playwright;
  try {
    playwright = require('playwright-core');
  } catch (e) {
    skip(`playwright-core cannot be loaded (the web_node_modules test installs it): ${e.message.split('\n')[0]}`);
  }
  return playwright.chromium.launchPersistentContext(fs.mkdtempSync(path.join(WORK, 'profile-')), {
    ...options, executablePath: CHROMIUM, headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

// What the page shows (screen, menu, score, frames, pause, status line), the
// frame hashes it kept, the error it reported, whether the service worker
// runs it, and the names of its caches.
const state = (page) => page.evaluate(async () => ({
  ...window.burrowrotorState(), hashes: window.burrowrotorHashes || [], error: window.burrowrotorError,
  worker: navigator.serviceWorker.controller !== null, caches: await caches.keys(),
}));

// Polls the page's state until test(state) holds, for at most `ms`; returns that state.
async function until(page, what, test, ms = 20000) {
  let s;
  for (const end = Date.now() + ms; Date.now() < end; await sleep(20)) {
    s = await state(page);
    if (test(s)) return s;
  }
  throw new Error(`FAILED: timed out waiting for ${what}: ${JSON.stringify({ ...s, hashes: undefined })}`);
}

// Holds `key` down until the page's state passes `test`.
async function hold(page, key, what, test) {
  await page.keyboard.down(key);
  try {
    return await until(page, what, test, 10000);
  } finally {
    await page.keyboard.up(key);
  }
}

const SIZES = [
  { name: 'landscape', width: 844, height: 390, frame: [520, 390] },
  { name: 'portrait', width: 390, height: 844, frame: [320, 240] },
];

async function phone(origin) {
  const context = await launch({ viewport: SIZES[0], hasTouch: true, isMobile: true });
  try {
    const page = await context.newPage();
    await page.goto(`${origin}/index.html`);
    let frame;
    for (const size of SIZES) {
      await page.setViewportSize(size);  // the second size: the phone turned
      await page.waitForFunction(([w, h]) => innerWidth === w && innerHeight === h, [size.width, size.height]);
      let pad, rendering;
      [frame, pad, rendering] = await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => {
        const box = (id) => document.getElementById(id).getBoundingClientRect().toJSON();
        resolve([box('screen'), box('pad'), getComputedStyle(document.getElementById('screen')).imageRendering]);
      })));  // after the resize events
      ok(frame.width === size.frame[0] && frame.height === size.frame[1] && rendering === 'pixelated' &&
         pad.height > 0 && (pad.left >= frame.right || pad.top >= frame.bottom) &&
         pad.right <= size.width && pad.bottom <= size.height,
         `${size.name} ${size.width} x ${size.height}: the frame is ${size.frame.join(' x ')} with square pixels ` +
         `(${frame.width} x ${frame.height}, ${rendering}), the touch pad beside or below it, on the screen`);
      await page.screenshot({ path: args.screenshot.replace(/\.png$/, `-phone-${size.name}.png`) });
    }

    // On LET'S GO!, past the title's first frames, where a button already
    // held reads as released until it is let go.
    await until(page, 'the title screen', (s) => s.screen === 'title' && s.frames > 20);
    const cdp = await context.newCDPSession(page);
    const at = { x: frame.x + frame.width / 2, y: frame.y + frame.height / 2 };
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [at] });
    await until(page, 'a finger held on the frame to start a game', (s) => s.screen === 'game', 10000);
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  } finally {
    await context.close();
  }
}

// The page on a localhost port, and over it the files of `site.extra` (URL
// path -> file: the tape, a new build's worker); while `site.down` holds,
// every connection is cut, as if the server were gone.
async function serve(site) {
  const server = http.createServer((request, response) => {
    if (site.down) return request.socket.destroy();
    const name = path.posix.normalize(decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const file = site.extra[name] || path.join(args.dist, name === '/' ? 'index.html' : name);
    fs.readFile(file, (error, data) => {
      response.writeHead(error ? 404 : 200, { 'Content-Type': TYPES[path.extname(file)] || 'text/plain' });
      response.end(error ? '' : data);
    });
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return `http://127.0.0.1:${server.address().port}`;
}

async function desktop(origin, site) {
  const trace = path.join(WORK, 'headless.trace');
  execFileSync(args.runner, ['--frames', String(FRAMES), '--input', args.tape, '--trace', trace]);
  const expected = fs.readFileSync(trace, 'utf8').trim().split('\n').map((line) => JSON.parse(line).hash);
  const context = await launch({ viewport: { width: 1000, height: 860 } });
  try {
    const page = await context.newPage();
    const stored = () => page.evaluate((key) => localStorage.getItem(key), KEY);
    // The tape plays a NORMAL SLOW game to its crash: a replay shows the
    // runner's frames, shows the best kept, and never changes the table.
    const replay = async (when, status, table) => {
      await page.goto(`${origin}/index.html?tape=crash.tape&fast=1&frames=${FRAMES}`);
      const r = await until(page, `the replay ${when}`, (x) => x.frames >= FRAMES || x.error, 120000);
      const first = expected.findIndex((hash, i) => r.hashes[i] !== hash);
      ok(r.hashes.length === FRAMES && first < 0, `${when}, the replay shows the headless runner's ${FRAMES} frames` +
         (first < 0 ? '' : ` (frame ${first + 1}: ${r.hashes[first] || r.error}, headless ${expected[first]})`));
      ok(r.score > 1 && r.status === status && await stored() === table,
         `${when}, the replayed game (${r.score}) leaves the table as it was and the line says ${r.status}`);
      return r;
    };

    // A fresh profile has no best, and a replay does not make one.
    await replay('online', 'NORMAL SLOW  NO BEST YET', null);
    // The worker takes over the page it was installed from, which Chromium can then install as an app.
    await until(page, 'the service worker to run the page', (x) => x.worker);
    const cdp = await context.newCDPSession(page);
    const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
    ok(installabilityErrors.length === 0, `Chromium can install the page as an app ${JSON.stringify(installabilityErrors)}`);

    // A game played with the keyboard to its crash. The first poll comes in
    // the 11th frame and takes a key held before it as released.
    await page.goto(origin + '/');
    await until(page, 'the title screen', (x) => x.screen === 'title' && x.frames > 15);
    await hold(page, 'Space', 'a game', (x) => x.screen === 'game');
    const s = await until(page, 'NEW BEST after the crash', (x) => x.screen === 'title' && x.status.startsWith('NEW BEST'));
    const kept = (await stored()) || '';
    ok(s.status === 'NEW BEST ' + s.score && kept.startsWith('burrowrotor best scores 1\n') &&
       kept.includes('\nNORMAL SLOW ' + s.score + '\n'), `${s.status}, kept in local storage in the table format`);

    // Loaded again, the page shows that best; then again with the server
    // gone, from the worker's cache, which keeps the tape too.
    await replay('reloaded', 'NORMAL SLOW  BEST ' + s.score, kept);
    await context.setOffline(true);
    site.down = true;
    const [oldCache] = (await replay('offline', 'NORMAL SLOW  BEST ' + s.score, kept)).caches;

    // The next build: a worker of another version takes over and drops the old cache.
    site.extra['/sw.js'] = path.join(WORK, 'sw.js');
    fs.writeFileSync(site.extra['/sw.js'], fs.readFileSync(path.join(args.dist, 'sw.js'), 'utf8')
      .replace(/burrowrotor-[0-9a-f]{12}/, 'burrowrotor-0123456789ab'));
    site.down = false;
    await context.setOffline(false);
    await page.goto(`${origin}/index.html`);
    await until(page, `a new build's worker to replace the cache ${oldCache}`,
                (x) => x.caches.join() === 'burrowrotor-0123456789ab' && x.frames > 20);
    ok(/^burrowrotor-[0-9a-f]{12}$/.test(oldCache), `a new build's worker replaced the cache ${oldCache}`);

    const canvas = await page.locator('#screen').boundingBox();
    ok(canvas.width === 960 && canvas.height === 720, 'a 1000 x 860 window shows the frame scaled by 3');
    await hold(page, 'ArrowUp', 'the arrow up to reach the top row', (x) => x.row === 0);
    await hold(page, 'ArrowRight', 'the arrow right to change the game mode', (x) => x.mode === 2);
    await hold(page, 'ArrowDown', 'the arrow down to reach the bottom row', (x) => x.row === 2);
    await hold(page, 'Space', 'Space to start a game', (x) => x.screen === 'game');
    await page.screenshot({ path: args.screenshot });
    console.log(`ok: the arrows move the menu, Space starts a game; screenshot saved to ${args.screenshot}`);

    // Pause: another page in front takes the focus (a real blur), then the
    // page is hidden; P resumes; no frame is shown while paused.
    await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: false });
    await (await context.newPage()).bringToFront();
    const pauses = async (how) => {
      const a = await until(page, `the pause (${how})`, (x) => x.paused && x.status === 'PAUSED', 5000);
      await sleep(500);
      ok((await state(page)).frames === a.frames, how + ' pauses: no frame shown in 0.5 s, the line says PAUSED');
      await page.bringToFront();
      await page.keyboard.press('p');
      await until(page, 'P to resume play', (x) => !x.paused && x.frames > a.frames + 10, 5000);
    };
    await pauses('leaving the page');
    // Headless Chromium never hides a page by itself: the page is told it is hidden.
    await page.evaluate(() => {
      Object.defineProperty(document, 'hidden', { value: true, configurable: true });
      document.dispatchEvent(new Event('visibilitychange'));
    });
    await pauses('hiding the page');
  } finally {
    await context.close();
  }
  return expected;
}

// A burrowrotor-server of its own on a free loopback port, stopped at the end.
async function hall(expected) {
  const server = spawn(args.server, ['--db', path.join(WORK, 'hall.sqlite'), '--listen', '127.0.0.1:0',
                                     '--play', args.dist], { stdio: ['ignore', 'pipe', 'inherit'] });
  try {
    const origin = await new Promise((resolve, reject) => {
      server.stdout.once('data', (line) => resolve(String(line).match(/http:\/\/[0-9.:]+/)[0]));
      server.once('exit', () => reject(new Error('FAILED: burrowrotor-server stopped at start')));
    });
    const game = JSON.parse(execFileSync(args.runner, ['--games', '--input', args.tape]).toString().split('\n')[0]);
    const run = { name: 'Browser', mode: game.mode, speed: game.speed, score: game.score,
                  tape: fs.readFileSync(args.tape, 'utf8') };
    ok((await fetch(origin + '/api/runs', { method: 'POST', body: JSON.stringify(run) })).status === 202,
       'the hall of fame takes a run');
    const context = await launch({ viewport: { width: 1000, height: 860 } });
    try {
      const page = await context.newPage();
      let link = null;
      for (const end = Date.now() + 60000; link === null && Date.now() < end; await sleep(200)) {
        await page.goto(origin + '/');
        link = await page.waitForSelector(`#board-${game.mode}-${game.speed} a`, { timeout: 1000 }).catch(() => null);
      }
      ok(link !== null && await link.textContent() === `Browser ${game.score}`, 'the hall lists the verified run');
      await page.goto(origin + await link.getAttribute('href') + `&fast=1&frames=${FRAMES}`);
      const r = await until(page, 'the replay of the hall\'s entry', (x) => x.frames >= FRAMES || x.error, 120000);
      const first = expected.findIndex((hash, i) => r.hashes[i] !== hash);
      ok(r.hashes.length === FRAMES && first < 0, `the entry's replay shows the headless runner's ${FRAMES} frames` +
         (first < 0 ? '' : ` (frame ${first + 1}: ${r.hashes[first] || r.error}, headless ${expected[first]})`));
    } finally {
      await context.close();
    }
  } finally {
    server.kill();
  }
}

// The server goes with the process.
(async () => {
  const site = { down: false, extra: { '/crash.tape': args.tape } };
  const origin = await serve(site);
  await phone(origin);
  const expected = await desktop(origin, site);
  if (args.server) await hall(expected);
})().then(() => process.exit(0), (error) => {
  console.log(error.message.startsWith('FAILED') ? error.message : error.stack);
  process.exit(1);
});
