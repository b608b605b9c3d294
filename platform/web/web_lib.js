// The calls the browser platform half makes into its page (declared in
// web.h). Each hands over to the page object that page.js gives every
// instance of the program as Module.page; the page owns the canvas and the
// audio output, which outlive one showing of the demo.
mergeInto(LibraryManager.library, {
  // 640x480 RGBA pixels at ptr onto the canvas.
  web_jsPresent: function (ptr) {
    Module.page.present(HEAPU8, ptr);
  },
  // 1 when the page's audio output is there and now open, else 0.
  web_jsAudioOpen: function (rate) {
    return Module.page.audioOpen(rate) ? 1 : 0;
  },
  web_jsAudioClose: function () {
    Module.page.audioClose();
  },
  // count interleaved 16-bit samples at ptr.
  web_jsAudioPush: function (ptr, count) {
    Module.page.audioPush(HEAP16.subarray(ptr >> 1, (ptr >> 1) + count));
  },
  web_jsAudioQueued: function () {
    return Module.page.audioQueued();
  },
  web_jsAudioHeard: function () {
    return Module.page.audioHeard();
  },
  web_jsNow: function () {
    return performance.now();
  },
  // Why the program stopped: "end", "selftest", "shot" or "failed".
  web_jsEnded: function (why) {
    Module.page.ended(UTF8ToString(why));
  },
});
