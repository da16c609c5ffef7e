// The browser build in Chromium, held to the headless runner: a replayed
// tape shows the runner's frames, online and again offline from the service
// worker's cache; a new build's worker replaces the old cache; real keys move
// the menu and start a game, of which it saves a screenshot.
// node browser_test.js --runner R --dist web/dist --tape T --screenshot out.png
'use strict';
const fs = require('fs');
const path = require('path');
const { parseArgs } = require('util');
const { WORK, launch, serve, headlessHashes, ok, main } = require('./browser');

const FRAMES = 600;
const { values: args } = parseArgs({ options: { runner: { type: 'string' }, dist: { type: 'string' },
                                                tape: { type: 'string' }, screenshot: { type: 'string' } } });

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

main(async () => {
  const expected = headlessHashes(args.runner, args.tape, FRAMES);
  const server = await serve(args.dist, { '/crash.tape': args.tape });
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
    await server.stop();
  }
});
