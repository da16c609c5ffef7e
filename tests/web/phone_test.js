// The page on a touch screen the size of a phone: lying on its side
// (844 x 390) the frame fills the largest 4:3 area beside the touch pad,
// upright (390 x 844) it keeps a whole-number scale above the pad; turning
// the phone re-lays the page; the pad never covers the frame; and a finger
// held on the frame reaches the game as ACTION (LET'S GO! starts a game).
// node phone_test.js --dist web/dist --screenshots out-prefix
'use strict';
const { parseArgs } = require('util');
const { launch, serve, ok, main } = require('./browser');

const { values: args } = parseArgs({ options: { dist: { type: 'string' }, screenshots: { type: 'string' } } });
const SIZES = [
  { name: 'landscape', width: 844, height: 390, frame: [520, 390] },
  { name: 'portrait', width: 390, height: 844, frame: [320, 240] },
];

const box = (page, selector) => page.evaluate((s) => document.querySelector(s).getBoundingClientRect().toJSON(),
                                             selector);

main(async () => {
  const server = await serve(args.dist);
  const context = await launch({ viewport: SIZES[0], hasTouch: true, isMobile: true });
  try {
    const page = await context.newPage();
    const cdp = await context.newCDPSession(page);
    await page.goto(`${server.origin}/index.html`);
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
      await page.screenshot({ path: `${args.screenshots}-${size.name}.png` });

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
    await server.stop();
  }
});
