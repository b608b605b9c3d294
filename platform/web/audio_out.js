// The page's audio output: a queue of the demo's 16-bit stereo samples that
// the audio thread pulls from, resampled from the demo's rate to the
// context's when they differ.
//
// One file for both ways of playing: loaded with audioWorklet.addModule it
// registers the AudioWorklet processor "orvel-output"; loaded as a plain
// script (browsers without worklets) it only defines OrvelPull, which the
// page drives from a ScriptProcessor.

// The queue and the pull. `played` counts the source frames taken from the
// queue; a queue that runs dry gives silence, which is not counted.
class OrvelPull {
  constructor(outputRate) {
    this.outputRate = outputRate;
    this.reset(0, outputRate);
  }

  // Empties the queue for a new stream, numbered gen, at sourceRate.
  reset(gen, sourceRate) {
    this.step = sourceRate / this.outputRate; // source frames per output frame
    this.gen = gen;
    this.chunks = []; // Int16Array chunks of interleaved samples
    this.at = 0;      // next sample index in chunks[0]
    this.played = 0;
    this.phase = 2;   // resampling: position past prev (0) towards next (1);
                      // 2 at the start, when neither frame has been taken
    this.prevL = this.prevR = this.nextL = this.nextR = 0;
  }

  push(samples) {
    if (samples.length >= 2) this.chunks.push(samples);
  }

  // The next source frame into this.frameL/R; false when the queue is dry.
  take() {
    while (this.chunks.length && this.at >= this.chunks[0].length - 1) {
      this.chunks.shift();
      this.at = 0;
    }
    if (!this.chunks.length) return false;
    const c = this.chunks[0];
    this.frameL = c[this.at] / 32768;
    this.frameR = c[this.at + 1] / 32768;
    this.at += 2;
    this.played++;
    return true;
  }

  // Fills the output channels (Float32Arrays of one length).
  fill(left, right) {
    if (this.step === 1) {
      for (let i = 0; i < left.length; i++) {
        const ok = this.take();
        left[i] = ok ? this.frameL : 0;
        right[i] = ok ? this.frameR : 0;
      }
      return;
    }
    // Linear interpolation between the two source frames around each
    // output frame. A dry queue holds the phase, so nothing is skipped.
    for (let i = 0; i < left.length; i++) {
      while (this.phase >= 1) {
        if (!this.take()) break;
        this.prevL = this.nextL;
        this.prevR = this.nextR;
        this.nextL = this.frameL;
        this.nextR = this.frameR;
        this.phase -= 1;
      }
      if (this.phase >= 1) {
        left[i] = right[i] = 0;
        continue;
      }
      const f = this.phase;
      left[i] = this.prevL + (this.nextL - this.prevL) * f;
      right[i] = this.prevR + (this.nextR - this.prevR) * f;
      this.phase += this.step;
    }
  }
}

if (typeof registerProcessor === 'function') {
  // The worklet: messages from the page are {gen, rate} (a new stream) or
  // {gen, samples}; after every render quantum it reports {gen, played,
  // end}, end being the context time when the quantum's last frame plays.
  class OrvelOutput extends AudioWorkletProcessor {
    constructor() {
      super();
      this.pull = new OrvelPull(sampleRate);
      this.port.onmessage = (e) => {
        const m = e.data;
        if (m.samples) {
          if (m.gen === this.pull.gen) this.pull.push(m.samples);
        } else {
          this.pull.reset(m.gen, m.rate);
        }
      };
    }

    process(inputs, outputs) {
      const out = outputs[0];
      this.pull.fill(out[0], out[1] || out[0]);
      this.port.postMessage({
        gen: this.pull.gen,
        played: this.pull.played,
        end: currentTime + out[0].length / sampleRate,
      });
      return true;
    }
  }
  registerProcessor('orvel-output', OrvelOutput);
} else {
  self.OrvelPull = OrvelPull;
}
