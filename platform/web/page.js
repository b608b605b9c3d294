// The page around the program: it fetches the program (orvel.wasm) and the
// data set (orvel.data) once, starts a fresh instance of the program for
// every showing (OrvelModule, from orvel.js), and owns what outlives one
// showing: the canvas, the audio output and the overlay.
//
//   index.html              "click to start", then the demo with its music
//   index.html?shot=MS      the frame at timeline time MS as orvel-capture
//                           --shot MS --fps 60 draws it; its PNG data URL
//                           goes into #shot
//   index.html?selftest=S   plays S seconds without waiting for a click and
//                           writes a JSON report into #selftest
'use strict';

const RATE = 22050; // the demo's sample rate, Hz

const params = new URLSearchParams(location.search);
const shotMs = params.has('shot') ? Math.max(0, parseInt(params.get('shot'), 10) || 0) : null;
const selftestSeconds = params.has('selftest') ? Math.max(1, parseInt(params.get('selftest'), 10) || 1) : null;

const canvas = document.getElementById('screen');
const screen2d = canvas.getContext('2d');
const overlay = document.getElementById('overlay');

// Everything that went wrong, for the selftest's report.
const errors = [];
function fail(text) {
  errors.push(String(text));
  console.error(text);
}
window.addEventListener('error', (e) => fail(e.message || e));
window.addEventListener('unhandledrejection', (e) => fail('unhandled rejection: ' + e.reason));

// The overlay's text (none: hidden); a clickable one runs onClick.
let onClick = null;
function say(text, click) {
  overlay.textContent = text || '';
  overlay.hidden = !text;
  overlay.classList.toggle('click', !!click);
  onClick = click || null;
}
overlay.addEventListener('click', () => {
  if (onClick) onClick();
});

// ---- Audio output ----------------------------------------------------------
// One AudioContext for the page, opened at the demo's rate where the browser
// allows it (else the output resamples), with the pull of audio_out.js in an
// AudioWorklet or, without worklets, in a ScriptProcessor. The program opens
// a stream on it with every showing; the stream's number (gen) tells the
// worklet's reports of the current stream from late ones of the last.
const audio = {
  ctx: null,
  node: null,
  pull: null,          // the ScriptProcessor's pull (main thread), else null
  kind: 'none',        // 'worklet', 'scriptprocessor' or 'none'
  tried: false,        // audioStart ran (once a page)
  open: false,
  gen: 0,
  rate: RATE,          // of the stream, frames a second
  sent: 0,             // frames of this stream handed to the output
  report: { played: 0, end: 0 }, // frames played by context time `end`
  heard: 0,            // the last value of audioHeard
  handed: 0,           // frames handed over since the page opened
  sumSquares: 0,       // of every sample handed over
};

// Opens the context. Call it from a click (browsers start audio only after a
// gesture), or in a selftest, where the browser is told to allow it. A
// context that does not run (no audio device, or the browser refuses) is
// given up: the demo then plays without sound on the page's clock.
async function audioStart() {
  if (audio.tried) return;
  audio.tried = true;
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!Context) {
    fail('no Web Audio in this browser: the demo plays without sound');
    return;
  }
  let ctx;
  try {
    ctx = new Context({ sampleRate: RATE, latencyHint: 'interactive' });
  } catch (e) {
    ctx = new Context(); // at its own rate: the pull resamples
  }
  // resumed within the gesture; given a few seconds to start running
  const running = Promise.race([
    ctx.resume().then(() => true, () => false),
    new Promise((resolve) => setTimeout(() => resolve(false), 3000)),
  ]);
  let node;
  try {
    if (!ctx.audioWorklet) throw new Error('no AudioWorklet');
    await ctx.audioWorklet.addModule('audio_out.js');
    node = new AudioWorkletNode(ctx, 'orvel-output', { numberOfInputs: 0, outputChannelCount: [2] });
    node.port.onmessage = (e) => {
      if (e.data.gen === audio.gen) audio.report = e.data;
    };
    node.onprocessorerror = () => fail('the audio worklet failed');
    audio.kind = 'worklet';
  } catch (e) {
    const pull = new OrvelPull(ctx.sampleRate);
    node = ctx.createScriptProcessor(2048, 0, 2);
    node.onaudioprocess = (ev) => {
      const b = ev.outputBuffer;
      pull.fill(b.getChannelData(0), b.getChannelData(1));
      if (pull.gen === audio.gen) audio.report = { played: pull.played, end: ev.playbackTime + b.duration };
    };
    audio.pull = pull;
    audio.kind = 'scriptprocessor';
  }
  node.connect(ctx.destination);
  if (!(await running) || ctx.state !== 'running') {
    fail('the audio context did not start (' + ctx.state + '): the demo plays without sound');
    document.getElementById('help').textContent = 'no sound: the browser did not start the audio';
    audio.kind = 'none';
    audio.pull = null;
    ctx.close();
    return;
  }
  audio.ctx = ctx;
  audio.node = node;
}

// A new stream (or, with open false, none): the queue is emptied.
function audioStream(open, rate) {
  audio.gen++;
  audio.open = open;
  audio.sent = 0;
  audio.report = { played: 0, end: 0 };
  audio.heard = 0;
  audio.rate = rate;
  if (audio.pull) audio.pull.reset(audio.gen, rate);
  else if (audio.node) audio.node.port.postMessage({ gen: audio.gen, rate: rate });
}

// The output's delay from the pull to the ear, in seconds.
function audioLatency() {
  const c = audio.ctx;
  return (c.baseLatency || 0) + (c.outputLatency || 0);
}

// ---- What the program calls (web_lib.js) ------------------------------------
let frames = 0;        // frames put on the canvas by this showing
let frameTimes = [];   // performance.now() of each, in a selftest

const page = {
  present(heap, ptr) {
    const pixels = new Uint8ClampedArray(heap.buffer, ptr, 640 * 480 * 4);
    screen2d.putImageData(new ImageData(pixels, 640, 480), 0, 0);
    frames++;
    if (selftestSeconds !== null) frameTimes.push(performance.now());
  },

  audioOpen(rate) {
    if (!audio.node) return false;
    audioStream(true, rate);
    return true;
  },

  audioClose() {
    audioStream(false, RATE);
  },

  audioPush(samples) {
    if (!audio.open) return;
    const copy = samples.slice(); // out of the program's memory
    let sum = 0;
    for (let i = 0; i < copy.length; i++) sum += copy[i] * copy[i];
    audio.sumSquares += sum;
    audio.handed += copy.length >> 1;
    audio.sent += copy.length >> 1;
    if (audio.pull) audio.pull.push(copy);
    else audio.node.port.postMessage({ gen: audio.gen, samples: copy }, [copy.buffer]);
  },

  // Handed over and not played yet, by the last report.
  audioQueued() {
    return Math.max(0, audio.sent - audio.report.played);
  },

  // Played by now (the last report carried on at the stream's rate, never
  // past what was handed over), less what is still on its way to the ear.
  audioHeard() {
    if (!audio.open) return audio.heard;
    const r = audio.report;
    let played = r.played;
    if (r.end > 0) played += (audio.ctx.currentTime - r.end) * audio.rate;
    played = Math.min(played, audio.sent) - audioLatency() * audio.rate;
    audio.heard = Math.max(audio.heard, Math.floor(played));
    return audio.heard;
  },

  ended(why) {
    if (why === 'shot') {
      document.getElementById('shot').textContent = canvas.toDataURL('image/png');
    } else if (why === 'selftest') {
      report();
    } else if (why === 'end') {
      say('the end, click to watch again', () => show([]));
    } else {
      say('the demo could not start' + (errors.length ? ': ' + errors.join('; ') : ''));
      if (selftestSeconds !== null) report();
    }
  },
};

// ---- The program ------------------------------------------------------------
let wasmModule = null; // compiled once
let dataPackage = null; // orvel.data, fetched once

// Fetches a file, with its progress on the overlay when it has a label.
async function fetchBytes(url, label) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(url + ': HTTP ' + response.status);
  const total = Number(response.headers.get('Content-Length')) || 0;
  if (!label || !response.body || !total) return response.arrayBuffer();
  const bytes = new Uint8Array(total);
  const reader = response.body.getReader();
  let got = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    bytes.set(value, got);
    got += value.length;
    say(label + ' ' + Math.floor((100 * got) / total) + '%');
  }
  return bytes.buffer;
}

// One showing: a fresh instance of the program, so every showing starts as
// the program does, with every variable at its start value.
function show(args) {
  say('');
  frames = 0;
  frameTimes = [];
  try {
    OrvelModule({
      arguments: args,
      page: page,
      getPreloadedPackage: () => dataPackage,
      // instantiated at once from the module compiled at loading (the
      // program is small, so this is quick)
      instantiateWasm(imports, done) {
        const instance = new WebAssembly.Instance(wasmModule, imports);
        done(instance, wasmModule);
        return instance.exports;
      },
      // the program prints only when something is wrong (a missing file)
      print: (line) => (selftestSeconds !== null ? fail('program: ' + line) : console.log(line)),
      printErr: (line) => fail('program: ' + line),
      onAbort: (what) => fail('program aborted: ' + what),
    }).catch(fail);
  } catch (e) {
    fail('the program failed: ' + e);
    page.ended('failed');
  }
}

// The selftest's report.
let reported = false;
function report() {
  if (reported) return;
  reported = true;
  // the rate after the first second, which has the loading in it
  const now = performance.now();
  const span = Math.max(1, selftestSeconds - 1);
  const steady = frameTimes.filter((t) => t >= now - span * 1000).length;
  if (audio.ctx && audio.ctx.state !== 'running') fail('the audio context is ' + audio.ctx.state);
  const result = {
    seconds: selftestSeconds,
    frames: frames,
    fps: Math.round((10 * steady) / span) / 10,
    audioFrames: audio.handed,
    rms: audio.handed ? Math.round(Math.sqrt(audio.sumSquares / (2 * audio.handed))) : 0,
    audioOutput: audio.kind,
    audioRate: audio.ctx ? audio.ctx.sampleRate : 0,
    errors: errors,
  };
  document.getElementById('selftest').textContent = JSON.stringify(result);
}

async function main() {
  say('loading\u2026');
  try {
    const [wasm, data] = await Promise.all([fetchBytes('orvel.wasm', null), fetchBytes('orvel.data', 'loading')]);
    wasmModule = new WebAssembly.Module(wasm);
    dataPackage = data;
  } catch (e) {
    fail('cannot load the demo: ' + e);
    say('cannot load the demo: ' + e);
    if (selftestSeconds !== null) report();
    return;
  }
  if (shotMs !== null) {
    show(['--shot', String(shotMs)]);
  } else if (selftestSeconds !== null) {
    await audioStart();
    show(['--selftest', String(selftestSeconds)]);
    // a demo whose clock never gets there still reports
    setTimeout(() => {
      fail('timed out: the demo\'s clock reached ' + Math.floor((audio.heard * 1000) / RATE) + ' ms');
      report();
    }, selftestSeconds * 1000 + 20000);
  } else {
    say('click to start', () => {
      const started = audioStart(); // within the click
      say('');
      started.then(() => show([]), fail);
    });
  }
}

main();
