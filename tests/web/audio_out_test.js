// The page's audio pull (platform/web/audio_out.js, OrvelPull) under node:
// order across chunks, a dry queue, resampling, a new stream. The browser
// tests hear it only at the demo's rate, where the browsers open their
// contexts; a browser that refuses 22050 Hz gets the resampling.
//
//   node audio_out_test.js AUDIO_OUT_JS
// Exit 0 pass, 1 fail.
'use strict';
const fs = require('fs');
const vm = require('vm');

const sandbox = { self: {} };
vm.runInNewContext(fs.readFileSync(process.argv[2], 'utf8'), sandbox);
const OrvelPull = sandbox.self.OrvelPull;

let failed = 0;
function expect(what, got, want) {
  const same = JSON.stringify(got) === JSON.stringify(want);
  if (!same) {
    console.log('FAIL ' + what + ': got ' + JSON.stringify(got) + ', want ' + JSON.stringify(want));
    failed++;
  }
}

// Interleaved samples of the given left values, right = -left.
function chunk(lefts) {
  const s = new Int16Array(2 * lefts.length);
  lefts.forEach((v, i) => { s[2 * i] = v; s[2 * i + 1] = -v; });
  return s;
}

// n output frames as [left * 32768, right * 32768].
function pullFrames(pull, n) {
  const l = new Float32Array(n), r = new Float32Array(n);
  pull.fill(l, r);
  return Array.from(l, (v, i) => [Math.round(v * 32768), Math.round(r[i] * 32768)]);
}

// Same rate: frames in order across chunk boundaries; a dry queue gives
// silence that is not counted as played, and the stream goes on after it.
{
  const p = new OrvelPull(22050);
  p.reset(1, 22050);
  p.push(chunk([100, 200]));
  p.push(chunk([300]));
  expect('same rate, across chunks and dry', pullFrames(p, 5),
         [[100, -100], [200, -200], [300, -300], [0, 0], [0, 0]]);
  expect('same rate, played', p.played, 3);
  p.push(chunk([400]));
  expect('same rate, after the dry spell', pullFrames(p, 1), [[400, -400]]);
}

// 22050 into 44100: every other output frame halfway between two source
// frames; a dry queue holds the position, so no source frame is skipped.
{
  const p = new OrvelPull(44100);
  p.reset(1, 22050);
  p.push(chunk([0, 1000, 2000]));
  expect('resampled', pullFrames(p, 5).map((f) => f[0]), [0, 500, 1000, 1500, 0]);
  expect('resampled, played', p.played, 3);
  p.push(chunk([3000]));
  expect('resampled, after the dry spell', pullFrames(p, 2).map((f) => f[0]), [2000, 2500]);
  expect('resampled, played after', p.played, 4);
}

// A new stream drops what the last one left queued.
{
  const p = new OrvelPull(22050);
  p.reset(1, 22050);
  p.push(chunk([1, 2, 3]));
  pullFrames(p, 1);
  p.reset(2, 22050);
  expect('new stream', [p.gen, p.played, pullFrames(p, 1)], [2, 0, [[0, 0]]]);
}

if (failed) process.exit(1);
console.log('audio pull: all cases pass');
