// The browser build in Chromium, held to the headless runner, in three
// parts that share one server:
//  - best scores and pause: a game's score is kept in local storage and
//    survives a reload, a replayed tape leaves the table alone, and leaving or
//    hiding the page pauses the game until P;
//  - a touch screen the size of a phone: lying on its side (844 x 390) the
//    frame fills the largest 4:3 area beside the touch pad, upright (390 x 844)
//    it keeps a whole-number scale above the pad; turning the phone re-lays the
//    page; the pad never covers the frame; and a finger held on the frame
//    reaches the game as ACTION (LET'S GO! starts a game);
//  - a replayed tape shows the runner's frames, online and again offline from
//    the service worker's cache; a new build's worker replaces the old cache;
//    real keys move the menu and start a game, of which it saves a screenshot.
// node browser_test.js --runner R --dist web/dist --tape T --screenshot out.png
//   (the phone's screenshots go beside it, as out-phone-landscape.png ...)
'use strict';
const fs = require('fs');
const path = require('path');
const { parseArgs } = require('util');
const { WORK, launch, serve, headlessHashes, ok, main } = require('./browser');

const FRAMES = 600;
const KEY = 'burrowrotor.best-scores';
const { values: args } = parseArgs({ options: { runner: { type: 'string' }, dist: { type: 'string' },
                                                tape: { type: 'string' }, screenshot: { type: 'string' } } });
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

async function replayMatches(page, url, expected, when) {
  await page.goto(url);
  await page.waitForFunction((n) => window.burrowrotorFrames >= n || window.burrowrotorError, FRAMES,
                             { timeout: 120000 });
  const shown = await page.evaluate(() => window.burrowrotorHashes || [window.burrowrotorError]);
  const first = expected.findIndex((hash, i) => shown[i] !== hash);
  ok(shown.length === FRAMES && first < 0, `${when}, the ${FRAMES} frame hashes of the replayed tape equal the ` +
     `headless runner's` + (first < 0 ? '' : ` (frame ${first + 1}: ${shown[first]}, headless ${expected[first]})`));
}

const cacheNames = (page) => page.evaluate(() => caches.keys());

async function holdKeyUntil(page, key, condition) {
  await page.keyboard.down(key);
  try {
    await page.waitForFunction(condition, null, { timeout: 10000 });
  } finally {
    await page.keyboard.up(key);
  }
  return true;
}

const SIZES = [
  { name: 'landscape', width: 844, height: 390, frame: [520, 390] },
  { name: 'portrait', width: 390, height: 844, frame: [320, 240] },
];

const box = (page, selector) => page.evaluate((s) => document.querySelector(s).getBoundingClientRect().toJSON(),
                                             selector);

async function scoresAndPause(origin) {
  const browser = await launch();
  try {
    const page = await browser.newPage();
    const state = () => page.evaluate(() => window.burrowrotorState());
    const until = async (what, test, ms = 20000) => {
      for (const end = Date.now() + ms; Date.now() < end; await sleep(20)) {
        const s = await state();
        if (test(s)) return s;
      }
      throw new Error('FAILED: timed out waiting for ' + what + ': ' + JSON.stringify(await state()));
    };

    // A game played with the keyboard to its crash, then the page reloaded.
    await page.goto(origin + '/');
    // The first poll comes in the 11th frame and takes a key held before it as released.
    let s = await until('the title screen', (x) => x.screen === 'title' && x.frames > 15);
    ok(s.status === 'NORMAL SLOW  NO BEST YET', 'a fresh profile has no best: ' + s.status);
    await page.keyboard.down('Space');
    await until('a game', (x) => x.screen === 'game');
    await page.keyboard.up('Space');
    s = await until('NEW BEST after the crash', (x) => x.screen === 'title' && x.status.startsWith('NEW BEST'));
    ok(s.status === 'NEW BEST ' + s.score, 'the line says ' + s.status);
    const kept = await page.evaluate((key) => localStorage.getItem(key), KEY);
    ok(kept.startsWith('burrowrotor best scores 1\n') && kept.includes('\nNORMAL SLOW ' + s.score + '\n'),
       'the score ' + s.score + ' is kept in local storage in the table format');
    await page.reload();
    const reloaded = await until('the title after a reload', (x) => x.screen === 'title' && x.frames > 1);
    ok(reloaded.status === 'NORMAL SLOW  BEST ' + s.score, 'the best survives a reload: ' + reloaded.status);

    // A replayed tape plays a NORMAL SLOW game that beats a best of 1: nothing changes.
    const low = 'burrowrotor best scores 1\nNORMAL SLOW 1\n';
    await page.evaluate(([key, text]) => localStorage.setItem(key, text), [KEY, low]);
    await page.goto(origin + '/?fast=1&tape=/crash.tape');
    s = await until('the replayed game to end', (x) => x.frames > 200);
    ok(s.score > 1 && s.status === 'NORMAL SLOW  BEST 1', 'the replayed game (' + s.score + ') is not a best');
    ok(await page.evaluate((key) => localStorage.getItem(key), KEY) === low, 'the stored table is untouched');

    // Pause: another page in front takes the focus (a real blur), a hidden
    // page, and P to resume; no frame is shown while paused.
    await page.goto(origin + '/');
    await until('frames at 60 Hz', (x) => x.frames > 20);
    const cdp = await browser.newCDPSession(page);
    await cdp.send('Emulation.setFocusEmulationEnabled', { enabled: false });
    const other = await browser.newPage();
    await other.bringToFront();
    const pauses = async (how) => {
      const a = await until('the pause (' + how + ')', (x) => x.paused && x.status === 'PAUSED', 5000);
      await sleep(500);
      ok((await state()).frames === a.frames, how + ' pauses: no frame shown in 0.5 s, the line says PAUSED');
      await page.bringToFront();
      await page.keyboard.press('p');
      await until('P to resume play', (x) => !x.paused && x.frames > a.frames + 10, 5000);
    };
    await pauses('leaving the page');
    // Headless Chromium never hides a page by itself: the page is told it is hidden.
    await page.evaluate(() => {
      Object.defineProperty(document, 'hidden', { value: true, configurable: true });
      document.dispatchEvent(new Event('visibilitychange'));
    });
    await pauses('hiding the page');
    await other.close();
  } finally {
    await browser.close();
  }
}

async function phone(origin) {
  const context = await launch({ viewport: SIZES[0], hasTouch: true, isMobile: true });
  try {
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    await page.goto(`${origin}/index.html`);
    for (const size of SIZES) {
      await page.setViewportSize(size);  // the second size: the phone turned
      await page.waitForFunction(([w, h]) => innerWidth === w && innerHeight === h, [size.width, size.height]);
      await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(resolve)));  // after resize events
      const frame = await box(page, '#screen');
      const pad = await box(page, '#pad');
      const rendering = await page.evaluate(() => getComputedStyle(document.getElementById('screen')).imageRendering);
      ok(frame.width === size.frame[0] && frame.height === size.frame[1] && rendering === 'pixelated',
         `${size.name} ${size.width} x ${size.height}: the frame is ${size.frame.join(' x ')} with square pixels ` +
         `(${frame.width} x ${frame.height}, ${rendering})`);
      ok(pad.height > 0 && (pad.left >= frame.right || pad.top >= frame.bottom) &&
         pad.right <= size.width && pad.bottom <= size.height,
         `${size.name}: the touch pad sits beside or below the frame, on the screen`);
      await page.screenshot({ path: args.screenshot.replace(/\.png$/, `-phone-${size.name}.png`) });

      // Back to the title screen, on LET'S GO!, past its first frames, where
      // a button already held reads as released until it is let go.
      await page.reload();
      await page.waitForFunction(() => window.burrowrotorFrames > 20);
      const at = { x: frame.x + frame.width / 2, y: frame.y + frame.height / 2 };
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [at] });
      await page.waitForFunction(() => window.burrowrotorState().screen === 'game', null, { timeout: 10000 });
      await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
      ok(true, `${size.name}: a finger held on the frame starts a game`);
    }
  } finally {
    await context.close();
  }
}

// Last: it stops the server and serves a worker of another version.
async function replayOfflineAndKeys(server) {
  const expected = headlessHashes(args.runner, args.tape, FRAMES);
  const context = await launch({ viewport: { width: 1000, height: 860 } });
  try {
    const page = await context.newPage();
    const replay = `${server.origin}/index.html?tape=crash.tape&fast=1&frames=${FRAMES}`;
    await replayMatches(page, replay, expected, 'online');

    // Once the worker runs the page, it keeps the tape too; then the server goes.
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
    const { installabilityErrors } = await (await context.newCDPSession(page)).send('Page.getInstallabilityErrors');
    ok(installabilityErrors.length === 0, `Chromium can install the page as an app ${JSON.stringify(installabilityErrors)}`);
    await page.reload();
    await page.waitForFunction(() => window.burrowrotorFrames > 0);
    await context.setOffline(true);
    await server.stop();
    await replayMatches(page, replay, expected, 'offline, from the worker\'s cache');
    const [oldCache] = await cacheNames(page);

    // The next build: a worker of another version takes over and drops the old cache.
    const worker = path.join(WORK, 'sw.js');
    fs.writeFileSync(worker, fs.readFileSync(path.join(args.dist, 'sw.js'), 'utf8')
      .replace(/burrowrotor-[0-9a-f]{12}/, 'burrowrotor-0123456789ab'));
    server.extra['/sw.js'] = worker;
    await server.start();
    await context.setOffline(false);
    await page.goto(`${server.origin}/index.html`);
    let caches = [];
    for (let tries = 0; tries < 100 && caches.join() !== 'burrowrotor-0123456789ab'; ++tries) {
      await page.waitForTimeout(100);
      caches = await cacheNames(page);
    }
    ok(/^burrowrotor-[0-9a-f]{12}$/.test(oldCache) && caches.join() === 'burrowrotor-0123456789ab',
       `a new build's worker replaced the cache ${oldCache} (caches now: ${caches})`);

    await page.waitForFunction(() => window.burrowrotorFrames > 20);
    const canvas = await page.locator('#screen').boundingBox();
    ok(canvas.width === 960 && canvas.height === 720, 'a 1000 x 860 window shows the frame scaled by 3');
    ok(await holdKeyUntil(page, 'ArrowUp', () => window.burrowrotorState().row === 0) &&
       await holdKeyUntil(page, 'ArrowRight', () => window.burrowrotorState().mode === 2) &&
       await holdKeyUntil(page, 'ArrowDown', () => window.burrowrotorState().row === 2),
       'the arrow keys move the menu and change the game mode');
    await page.keyboard.down('Space');
    await page.waitForFunction(() => window.burrowrotorState().screen === 'game', null, { timeout: 10000 });
    await page.waitForTimeout(250);
    await page.screenshot({ path: args.screenshot });
    await page.keyboard.up('Space');
    ok(true, `Space starts a game; screenshot saved to ${args.screenshot}`);
  } finally {
    await context.close();
  }
}

main(async () => {
  const server = await serve(args.dist, { '/crash.tape': args.tape });
  try {
    await scoresAndPause(server.origin);
    await phone(server.origin);
    await replayOfflineAndKeys(server);
  } finally {
    await server.stop();
  }
});
