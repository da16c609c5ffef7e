// The best scores and the pause of the browser page, in Debian's Chromium
// driven by playwright-core: a game's score is kept in local storage and
// survives a reload, a replayed tape leaves the table alone, and leaving or
// hiding the page pauses the game until P.
//   node scores_test.js DIST TAPE     (exit 77, skipped, without Chromium or playwright-core)
'use strict';
const { launch, serve, ok, main } = require('./browser');

const KEY = 'burrowrotor.best-scores';
const [dist, tape] = process.argv.slice(2);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

main(async () => {
  const server = await serve(dist, { '/crash.tape': tape });
  const origin = server.origin;
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
    await server.stop();
  }
});
