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
vm.runInNewContext(fs.readFileSync(process.argv[2], 'utf8'), context);
const { burrowNewPacer, burrowPacerAccepts } = context.Module;
const PERIOD = 1000 / 60;

// Ticks for `seconds` of animation frames every `interval` ms, each shifted
// by late(i) ms; returns the tick times.
function run(interval, seconds, late = () => 0) {
  const pacer = burrowNewPacer(PERIOD);
  const ticks = [];
  for (let i = 0; i * interval < seconds * 1000; ++i) {
    const now = 1234.5 + i * interval + late(i);
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

test('ticks on every frame of a 60 Hz monitor with jitter and of a 59.94 Hz one; no hurry after a stall', () => {
  const jitter = (i) => ((i * 7919) % 11 - 5) * 0.3;  // up to 1.5 ms either way
  assert.strictEqual(run(PERIOD, 30, jitter).length, 30 * 60);
  assert.strictEqual(run(1000 / 59.94, 60).length, Math.ceil(60 * 59.94));
  // A second at 144 Hz, the tab hidden for five seconds, another second: 60 ticks each.
  assert.strictEqual(run(1000 / 144, 2, (i) => (i < 144 ? 0 : 5000)).length, 120);
});
