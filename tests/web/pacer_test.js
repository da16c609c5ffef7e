// The page's 60 Hz clock fed with the animation frames of monitors of
// different rates: it must tick 60 times a second on average, never twice for
// one animation frame, never hurry after a stall, and on a 60 Hz monitor
// with a little jitter tick on every animation frame; the first animation
// frame ticks at once (every run below starts with one).
'use strict';
const fs = require('fs');
const vm = require('vm');
const test = require('node:test');
const assert = require('node:assert');

const context = { Module: {} };
vm.runInNewContext(fs.readFileSync(process.argv[2] || process.env.BURROW_PAGE_JS, 'utf8'), context);
const { burrowNewPacer, burrowPacerAccepts } = context.Module;
const PERIOD = 1000 / 60;

// Ticks for `seconds` of animation frames every `interval` ms, starting at
// `start`, each shifted by jitter(i); returns the tick times.
function run(interval, seconds, jitter = () => 0, start = 1234.5) {
  const pacer = burrowNewPacer(PERIOD);
  const ticks = [];
  for (let i = 0; i * interval < seconds * 1000; ++i) {
    const now = start + i * interval + jitter(i);
    if (burrowPacerAccepts(pacer, now)) ticks.push(now);
  }
  return ticks;
}

test('ticks at 60 Hz on monitors of 60, 75, 90, 120, 144, 165 and 240 Hz', () => {
  for (const hz of [60, 75, 90, 120, 144, 165, 240]) {
    const ticks = run(1000 / hz, 60);
    assert.ok(Math.abs(ticks.length - 3600) <= 2, `${hz} Hz gave ${ticks.length} ticks in 60 s`);
    // Tick k comes with the first animation frame from a quarter period
    // before k/60 s on: the clock never drifts from the 60 Hz grid.
    ticks.forEach((t, k) => {
      const offset = t - (ticks[0] + k * PERIOD);
      assert.ok(offset >= -PERIOD / 4 - 1e-6 && offset <= 1000 / hz + 1e-6, `${hz} Hz: tick ${k} off by ${offset} ms`);
    });
  }
});

test('a 60 Hz monitor with jitter, and monitors slightly slower, tick on every animation frame', () => {
  const jitter = (i) => ((i * 7919) % 11 - 5) * 0.3;  // up to 1.5 ms either way
  assert.strictEqual(run(PERIOD, 30, jitter).length, 30 * 60);
  assert.strictEqual(run(1000 / 59.94, 60).length, Math.ceil(60 * 59.94));
  assert.strictEqual(run(1000 / 50, 10).length, 500);
});

test('after a stall it goes on at 60 Hz instead of catching up', () => {
  const pacer = burrowNewPacer(PERIOD);
  const interval = 1000 / 144;
  let now = 0;
  for (let i = 0; i < 144; ++i, now += interval) burrowPacerAccepts(pacer, now);
  now += 5000;  // the tab was hidden for five seconds
  let ticks = 0;
  for (let i = 0; i < 144; ++i, now += interval) ticks += burrowPacerAccepts(pacer, now) ? 1 : 0;
  assert.ok(Math.abs(ticks - 60) <= 1, `${ticks} ticks in the second after the stall`);
});
