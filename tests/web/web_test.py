#!/usr/bin/env python3
"""The page of `make web` in real browsers, served by this script on 127.0.0.1.

  web_test.py shots PAGE_DIR RUN_DIR CAPTURE MS...
      For each MS, index.html?shot=MS in headless Chromium gives the frame
      that `orvel-capture --shot MS --fps 60` writes (run in RUN_DIR, where
      ./data is), pixel for pixel: every 2x2 block of the 640x480 canvas is
      the capture's pixel.
  web_test.py live PAGE_DIR SECONDS
      index.html?selftest=SECONDS in headless Chromium reports frames drawn,
      the audio of those seconds handed to Web Audio, not silent, and no
      errors (and prints the frame rate). Then the page as a viewer uses it:
      a click starts the demo, Escape ends it with "the end, click to watch
      again", a click plays it again.
  web_test.py firefox PAGE_DIR RUN_DIR CAPTURE MS OUT_PNG
      Headless Firefox gets to the start overlay ("click to start": the
      program and its data loaded), whose screenshot goes to OUT_PNG, and
      draws the frame of ?shot=MS as orvel-capture does.

Chromium is driven over its DevTools pipe, Firefox over Marionette, both in
real time: the hooks write their results when the work is done, and the test
reads them then. (Virtual time, --virtual-time-budget with --dump-dom,
starves requestAnimationFrame and does not wait for a response body being
read or a WebAssembly compile, so its dumps came early.)

Exit 0 pass, 1 fail, 77 skipped (a browser or the page is missing; the reason
is printed).
"""
import base64
import functools
import http.server
import json
import os
import select
import socket
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import zlib

SKIP = 77

CHROMIUM_FLAGS = [
    '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--autoplay-policy=no-user-gesture-required', '--window-size=800,600',
]


def skip(why):
    print('SKIP: ' + why)
    sys.exit(SKIP)


def need_page(page):
    for f in ('index.html', 'page.js', 'audio_out.js', 'orvel.js', 'orvel.wasm', 'orvel.data'):
        if not os.path.exists(os.path.join(page, f)):
            skip(os.path.join(page, f) + ' is missing: `make web` builds the page (with emcc, Debian emscripten)')


# ---- The page, served ---------------------------------------------------------

class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(page):
    """Serves PAGE on a free port of 127.0.0.1; returns the base URL."""
    handler = functools.partial(QuietHandler, directory=page)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return 'http://127.0.0.1:%d/' % server.server_address[1]


# ---- Chromium over its DevTools pipe --------------------------------------------
# Messages are JSON texts ended by a NUL byte: we write on the browser's fd 3,
# it answers on its fd 4.

class Chromium:
    def __init__(self, tmp):
        self.log = open(os.path.join(tmp, 'chromium.log'), 'w')
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        args = CHROMIUM_FLAGS + ['--user-data-dir=' + os.path.join(tmp, 'profile'),
                                 '--remote-debugging-pipe', 'about:blank']
        # the shell puts the pipe ends on fds 3 and 4
        script = 'exec "$0" "$@" 3<&%d 4>&%d %d<&- %d>&-' % (to_browser_r, from_browser_w, to_browser_r,
                                                              from_browser_w)
        self.proc = subprocess.Popen(['sh', '-c', script, 'chromium'] + args, pass_fds=(to_browser_r, from_browser_w),
                                     stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buf = b''
        self.last_id = 0

    def call(self, method, params=None, session=None, timeout=30):
        self.last_id += 1
        msg = {'id': self.last_id, 'method': method, 'params': params or {}}
        if session:
            msg['sessionId'] = session
        os.write(self.to_browser, json.dumps(msg).encode() + b'\0')
        end = time.monotonic() + timeout
        while True:
            while b'\0' in self.buf:
                raw, self.buf = self.buf.split(b'\0', 1)
                reply = json.loads(raw)
                if reply.get('id') == self.last_id:
                    if 'error' in reply:
                        raise RuntimeError('%s: %s' % (method, reply['error']))
                    return reply['result']
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise RuntimeError('%s: no answer from chromium in %d s' % (method, timeout))
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError('%s: chromium closed its pipe' % method)
            self.buf += chunk

    def open(self, url):
        """A new tab on url; returns its session."""
        target = self.call('Target.createTarget', {'url': url})['targetId']
        return self.call('Target.attachToTarget', {'targetId': target, 'flatten': True})['sessionId']

    def eval(self, session, expr):
        r = self.call('Runtime.evaluate', {'expression': expr, 'returnByValue': True}, session)
        return r.get('result', {}).get('value')

    def click(self, session, x, y):
        for kind in ('mousePressed', 'mouseReleased'):
            self.call('Input.dispatchMouseEvent', {'type': kind, 'x': x, 'y': y, 'button': 'left',
                                                   'clickCount': 1}, session)

    def key(self, session, code, key, keycode, hold=0.3):
        """A key held for `hold` seconds (the demo reads the keys held once a frame)."""
        for kind in ('keyDown', 'keyUp'):
            self.call('Input.dispatchKeyEvent', {'type': kind, 'code': code, 'key': key,
                                                 'windowsVirtualKeyCode': keycode}, session)
            if kind == 'keyDown':
                time.sleep(hold)

    def close(self):
        try:
            self.call('Browser.close', timeout=10)
        except RuntimeError:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)
        self.log.close()


def wait_for(probe, timeout, pause=0.25):
    """probe() once it is true (its last value at the time limit)."""
    end = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= end:
            return value
        time.sleep(pause)


def text_of(element):
    return "(document.getElementById('%s') || {}).textContent || ''" % element


# ---- Firefox over Marionette ----------------------------------------------------------
# Messages are "LENGTH:JSON"; a command is [0, id, name, params], its answer
# [1, id, error, result].

class Firefox:
    def __init__(self, binary, tmp):
        profile = os.path.join(tmp, 'firefox-profile')
        os.makedirs(profile)
        with open(os.path.join(profile, 'user.js'), 'w') as f:
            f.write('user_pref("marionette.port", 0);\n')  # any free port, written below
        self.log = open(os.path.join(tmp, 'firefox.log'), 'w')
        self.proc = subprocess.Popen([binary, '--headless', '--marionette', '--no-remote', '--profile', profile,
                                      '--window-size=800,600', 'about:blank'], stdin=subprocess.DEVNULL,
                                     stdout=self.log, stderr=self.log)
        port_file = os.path.join(profile, 'MarionetteActivePort')
        port = wait_for(lambda: os.path.exists(port_file) and open(port_file).read().strip(), 60)
        if not port:
            self.close()
            raise RuntimeError('firefox did not open its Marionette port')
        self.sock = socket.create_connection(('127.0.0.1', int(port)), timeout=60)
        self.buf = b''
        self.last_id = 0
        self.receive()  # the greeting
        self.call('WebDriver:NewSession', {'capabilities': {}})

    def receive(self):
        while True:
            if b':' in self.buf:
                n, rest = self.buf.split(b':', 1)
                if len(rest) >= int(n):
                    self.buf = rest[int(n):]
                    return json.loads(rest[:int(n)])
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                raise RuntimeError('firefox closed its Marionette connection')
            self.buf += chunk

    def call(self, name, params):
        self.last_id += 1
        msg = json.dumps([0, self.last_id, name, params]).encode()
        self.sock.sendall(str(len(msg)).encode() + b':' + msg)
        while True:
            reply = self.receive()
            if reply[0] == 1 and reply[1] == self.last_id:
                if reply[2]:
                    raise RuntimeError('%s: %s' % (name, reply[2]))
                return reply[3]

    def eval(self, expr):
        return self.call('WebDriver:ExecuteScript', {'script': 'return ' + expr, 'args': []}).get('value')

    def close(self):
        try:
            self.call('Marionette:Quit', {})
        except (RuntimeError, OSError, AttributeError):
            pass
        try:
            self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.log.close()


# ---- PNG ------------------------------------------------------------------------

def read_png(data):
    """(width, height, channels, rows of bytes) of an 8-bit RGB or RGBA PNG."""
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    pos, idat, head = 8, b'', None
    while pos < len(data):
        n = int.from_bytes(data[pos:pos + 4], 'big')
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b'IHDR':
            head = body
        elif kind == b'IDAT':
            idat += body
    w, h = int.from_bytes(head[0:4], 'big'), int.from_bytes(head[4:8], 'big')
    depth, colour, interlace = head[8], head[9], head[12]
    assert depth == 8 and colour in (2, 6) and interlace == 0, 'only 8-bit RGB/RGBA, not interlaced'
    ch = 3 if colour == 2 else 4
    raw, stride, rows, prev = zlib.decompress(idat), w * ch, [], bytearray(w * ch)
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - ch] if i >= ch else 0
            b = prev[i]
            c = prev[i - ch] if i >= ch else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prev = line
    return w, h, ch, rows


def compare_doubled(web, cap):
    """Pixels of the doubled web frame that differ from the capture's:
    (x, y, got, want) for up to three, and their count."""
    ww, wh, wc, wrows = web
    cw, chh, cc, crows = cap
    if (ww, wh) != (2 * cw, 2 * chh):
        return ['web frame %dx%d, capture %dx%d' % (ww, wh, cw, chh)], 1
    bad, count = [], 0
    for y in range(wh):
        src = crows[y // 2]
        want_row = bytearray()
        for x in range(cw):
            px = bytes(src[x * cc:x * cc + 3]) + (b'\xff' if wc == 4 else b'')
            want_row += px + px
        if wrows[y] == want_row:
            continue
        for x in range(ww):
            got, want = wrows[y][x * wc:(x + 1) * wc], want_row[x * wc:(x + 1) * wc]
            if got != want:
                count += 1
                if len(bad) < 3:
                    bad.append((x, y, tuple(got), tuple(want)))
    return bad, count


def check_shot(who, ms, data_url, run_dir, capture, tmp):
    """The browser's frame at ms against orvel-capture's; prints the verdict."""
    if not data_url.startswith('data:image/png;base64,'):
        print('FAIL %s shot %d: no PNG in #shot (got %r)' % (who, ms, data_url[:80]))
        return False
    web_png = os.path.join(tmp, '%s_%d.png' % (who, ms))
    with open(web_png, 'wb') as f:
        f.write(base64.b64decode(data_url.split(',', 1)[1]))
    cap_png = os.path.join(tmp, 'capture_%d.png' % ms)
    if not os.path.exists(cap_png):
        r = subprocess.run([capture, '--shot', str(ms), cap_png, '--fps', '60'], cwd=run_dir,
                           capture_output=True, text=True, timeout=300)
        if r.returncode != 0:
            print('FAIL %s shot %d: orvel-capture: %s' % (who, ms, r.stderr.strip()))
            return False
    with open(web_png, 'rb') as f:
        web = read_png(f.read())
    with open(cap_png, 'rb') as f:
        cap = read_png(f.read())
    bad, count = compare_doubled(web, cap)
    if count:
        print('FAIL %s shot %d: %d pixels differ from orvel-capture --shot, first %s (see %s, %s)' %
              (who, ms, count, bad, web_png, cap_png))
        return False
    print('%s shot %d: equal to orvel-capture --shot' % (who, ms))
    return True


# ---- The tests --------------------------------------------------------------------

def test_shots(page, run_dir, capture, times, tmp):
    url = serve(page)
    browser = Chromium(tmp)
    ok = True
    try:
        for ms in times:
            started = time.monotonic()
            session = browser.open(url + 'index.html?shot=%d' % ms)
            text = wait_for(lambda: browser.eval(session, text_of('shot')), 300)
            print('chromium shot %d: %.1f s in the browser' % (ms, time.monotonic() - started))
            ok = check_shot('chromium', ms, text, run_dir, capture, tmp) and ok
    finally:
        browser.close()
    return ok


def test_live(page, seconds, tmp):
    url = serve(page)
    browser = Chromium(tmp)
    ok = True

    def check(cond, what):
        nonlocal ok
        if not cond:
            print('FAIL: ' + what)
            ok = False
    try:
        # the selftest's report
        session = browser.open(url + 'index.html?selftest=%d' % seconds)
        text = wait_for(lambda: browser.eval(session, text_of('selftest')), seconds + 60)
        check(text, 'no report in #selftest')
        if text:
            print('selftest: ' + text)
            r = json.loads(text)
            check(not r['errors'], 'errors reported: %s' % r['errors'])
            # the demo's clock follows the audio: those seconds were all handed over
            check(r['audioFrames'] >= seconds * 22050, 'audio handed over: %d frames, want >= %d' %
                  (r['audioFrames'], seconds * 22050))
            check(r['rms'] >= 300, 'the audio is (nearly) silent: RMS %s' % r['rms'])
            check(r['frames'] >= seconds * 10, 'frames drawn: %d in %d s' % (r['frames'], seconds))
            print('frame rate in headless Chromium: %s fps (%s output at %s Hz)' %
                  (r['fps'], r['audioOutput'], r['audioRate']))

        # as a viewer: click, Escape, click again (the window is 800x600)
        session = browser.open(url + 'index.html')
        overlay = lambda: browser.eval(session, text_of('overlay'))
        playing = lambda: browser.eval(session, "document.getElementById('overlay').hidden && frames > 30")
        check(wait_for(lambda: overlay() == 'click to start', 60), 'no "click to start": %r' % overlay())
        browser.click(session, 400, 300)
        check(wait_for(playing, 30), 'the demo did not start on a click')
        check(browser.eval(session, 'audio.open && audio.sent > 0'), 'no music handed over after the click')
        browser.key(session, 'Escape', 'Escape', 27)
        end = 'the end, click to watch again'
        check(wait_for(lambda: overlay() == end, 10), 'Escape did not end the demo: %r' % overlay())
        browser.click(session, 400, 300)
        check(wait_for(playing, 30), 'a click did not play the demo again')
    finally:
        browser.close()
    return ok


def test_firefox(page, run_dir, capture, ms, out, tmp):
    firefox = shutil.which('firefox-esr') or shutil.which('firefox')
    if not firefox:
        skip('firefox-esr is not installed (scripts/install-deps installs it)')
    url = serve(page)
    browser = Firefox(firefox, tmp)
    ok = True
    try:
        browser.call('WebDriver:Navigate', {'url': url + 'index.html'})
        overlay = wait_for(lambda: browser.eval(text_of('overlay')) == 'click to start', 60)
        shot = browser.call('WebDriver:TakeScreenshot', {'full': False})['value']
        with open(out, 'wb') as f:
            f.write(base64.b64decode(shot))
        if overlay:
            print('firefox: the start overlay (screenshot %s)' % out)
        else:
            print('FAIL firefox: no "click to start" (screenshot %s)' % out)
            ok = False
        browser.call('WebDriver:Navigate', {'url': url + 'index.html?shot=%d' % ms})
        text = wait_for(lambda: browser.eval(text_of('shot')), 300)
        ok = check_shot('firefox', ms, text, run_dir, capture, tmp) and ok
    finally:
        browser.close()
    return ok


def main():
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    mode, page = sys.argv[1], sys.argv[2]
    need_page(page)
    if mode in ('shots', 'live') and not shutil.which('chromium'):
        skip('chromium is not installed (scripts/install-deps installs it)')
    tmp = tempfile.mkdtemp(prefix='orvel-web-')
    if mode == 'shots':
        ok = test_shots(page, sys.argv[3], sys.argv[4], [int(ms) for ms in sys.argv[5:]], tmp)
    elif mode == 'live':
        ok = test_live(page, int(sys.argv[3]), tmp)
    elif mode == 'firefox':
        ok = test_firefox(page, sys.argv[3], sys.argv[4], int(sys.argv[5]), sys.argv[6], tmp)
    else:
        print(__doc__)
        return 2
    if ok:
        shutil.rmtree(tmp, ignore_errors=True)
    else:
        print('kept ' + tmp)
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
