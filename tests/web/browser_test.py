#!/usr/bin/env python3
"""The browser build in a real headless Chromium, driven over the DevTools
protocol through a pipe (no web socket, nothing beyond Python's library).

It serves web/dist from localhost and checks that
  - a replayed button tape shows exactly the frames the headless runner shows,
  - real key presses move the title menu and start a game, and a touch on the
    canvas holds ACTION,
  - the canvas is scaled by whole steps with crisp pixels,
  - the page asks for nothing outside its own server,
  - a tape that cannot be fetched is reported on the page,
and saves a screenshot of a game in progress.

Exit status 77 (reported by CTest as skipped) when no Chromium is installed.
"""
import argparse
import base64
import functools
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
FRAMES = 600


class Browser:
    """Chromium with --remote-debugging-pipe: commands go in on its fd 3, answers
    and events come out of its fd 4, each message JSON ended by a NUL byte."""

    def __init__(self, chromium, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def wire_pipes():
            os.dup2(to_browser_r, 3)
            os.dup2(from_browser_w, 4)

        args = [chromium, '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--disable-quic', '--user-data-dir=' + profile, '--remote-debugging-pipe',
                '--window-size=1000,860', 'about:blank']
        # fds 3 and 4 are set up after the fork and kept open through the exec.
        self.process = subprocess.Popen(args, preexec_fn=wire_pipes, pass_fds=(3, 4), stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b''
        self.next_id = 0
        self.events = []
        self.session = None

    def send(self, method, params=None, session=True, timeout=30):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params or {}}
        if session and self.session:
            message['sessionId'] = self.session
        os.write(self.to_browser, json.dumps(message).encode() + b'\0')
        deadline = time.monotonic() + timeout
        while True:
            reply = self._read(deadline)
            if reply.get('id') == self.next_id:
                if 'error' in reply:
                    raise RuntimeError('%s failed: %s' % (method, reply['error']))
                return reply.get('result', {})
            self.events.append(reply)

    def _read(self, deadline):
        while b'\0' not in self.buffer:
            if time.monotonic() > deadline:
                raise RuntimeError('the browser did not answer in time')
            chunk = os.read(self.from_browser, 1 << 16)
            if not chunk:
                raise RuntimeError('the browser closed its pipe')
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b'\0', 1)
        return json.loads(message)

    def open_page(self):
        target = self.send('Target.createTarget', {'url': 'about:blank'}, session=False)
        attached = self.send('Target.attachToTarget', {'targetId': target['targetId'], 'flatten': True},
                             session=False)
        self.session = attached['sessionId']
        for domain in ('Page', 'Runtime', 'Network'):
            self.send(domain + '.enable')
        self.send('Emulation.setDeviceMetricsOverride',
                  {'width': 1000, 'height': 860, 'deviceScaleFactor': 1, 'mobile': False})

    def navigate(self, url):
        self.send('Page.navigate', {'url': url})

    def evaluate(self, expression):
        result = self.send('Runtime.evaluate', {'expression': expression, 'returnByValue': True})
        if 'exceptionDetails' in result:
            raise RuntimeError('page script failed: %s' % result['exceptionDetails'])
        return result['result'].get('value')

    def wait_for(self, expression, timeout, what):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.05)
        raise AssertionError('timed out waiting for %s (%s)' % (what, expression))

    def hold_key_until(self, code, keycode, expression, what):
        """Holds a real key down until the page reports `expression`, then lets
        it go. The menu repeats a held key every few frames and stops at its
        ends, so holding towards an end lands there whatever the timing."""
        event = {'code': code, 'key': code, 'windowsVirtualKeyCode': keycode, 'nativeVirtualKeyCode': keycode}
        self.send('Input.dispatchKeyEvent', dict(event, type='rawKeyDown'))
        try:
            return self.wait_for(expression, 5, what)
        finally:
            self.send('Input.dispatchKeyEvent', dict(event, type='keyUp'))

    def requested_urls(self):
        return [e['params']['request']['url'] for e in self.events
                if e.get('method') == 'Network.requestWillBeSent']

    def close(self):
        try:
            self.send('Browser.close', session=False, timeout=5)
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map, **{'.wasm': 'application/wasm'})

    def log_message(self, *args):
        pass


def serve(directory):
    handler = functools.partial(QuietHandler, directory=directory)
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def headless_hashes(runner, tape, work):
    trace = os.path.join(work, 'headless.trace')
    subprocess.run([runner, '--frames', str(FRAMES), '--input', tape, '--trace', trace], check=True)
    with open(trace) as f:
        return [json.loads(line)['hash'] for line in f]


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    print('ok:', message)


def state(browser):
    return browser.evaluate('window.burrowrotorState()')


def replay_matches_headless(browser, origin, expected):
    browser.navigate(origin + '/index.html?tape=crash.tape&fast=1&frames=%d' % FRAMES)
    browser.wait_for('window.burrowrotorFrames >= %d || window.burrowrotorError' % FRAMES, 120,
                     '%d replayed frames' % FRAMES)
    check(browser.evaluate('window.burrowrotorError') is None, 'the tape loads without an error')
    shown = browser.evaluate('window.burrowrotorHashes')
    check(len(shown) == FRAMES, 'the page stops after %d frames with ?frames' % FRAMES)
    first_difference = next((i for i, (a, b) in enumerate(zip(shown, expected)) if a != b), None)
    check(first_difference is None,
          'the %d frame hashes equal the headless runner\'s%s' % (FRAMES, '' if first_difference is None else
                                                                 ' (first difference at frame %d: %s, headless %s)' % (
                                                                     first_difference + 1, shown[first_difference],
                                                                     expected[first_difference])))
    check(state(browser)['screen'] == 'title' and state(browser)['score'] > 0,
          'the replayed game crashed and the title screen came back with its score')


def live_page(browser, origin, screenshot):
    browser.navigate(origin + '/index.html')
    browser.wait_for('window.burrowrotorFrames > 20', 30, 'the title screen at 60 Hz')
    first = state(browser)
    check(first['screen'] == 'title' and first['row'] == 2, 'the title screen starts on the LET\'S GO! row')
    check(browser.evaluate('window.burrowrotorHashes') is None, 'live play keeps no list of hashes')

    layout = browser.evaluate('''(function () {
        var c = document.getElementById('screen'), s = getComputedStyle(c), r = c.getBoundingClientRect();
        return {w: r.width, h: r.height, x: r.left, right: innerWidth - r.right,
                rendering: s.imageRendering, focused: document.activeElement === c};
    })()''')
    check(layout['w'] == 960 and layout['h'] == 720, 'the canvas is scaled by 3 in a 1000 x 860 window (%s)' % layout)
    check(abs(layout['x'] - layout['right']) <= 1, 'the canvas is centred')
    check(layout['rendering'] == 'pixelated', 'the canvas keeps its pixels crisp')
    check(layout['focused'], 'the canvas has the keyboard focus without a click')

    browser.evaluate("window.addEventListener('keydown', function (e) { if (e.code === 'ArrowUp') "
                     "window.arrowKeysPrevented = e.defaultPrevented; })")
    hash_before = browser.evaluate('window.burrowrotorLastHash')
    check(browser.hold_key_until('ArrowUp', 38, 'window.burrowrotorState().row === 0', 'the top menu row'),
          'ArrowUp moves the menu up to the mode row')
    check(browser.hold_key_until('ArrowRight', 39, 'window.burrowrotorState().mode === 2', 'the last game mode'),
          'ArrowRight raises the game mode')
    check(browser.evaluate('window.burrowrotorLastHash') != hash_before, 'the shown frame changed')
    check(browser.evaluate('window.arrowKeysPrevented === true'),
          'the page keeps the arrow keys from scrolling it')
    check(browser.hold_key_until('ArrowDown', 40, 'window.burrowrotorState().row === 2', 'the LET\'S GO! row'),
          'ArrowDown moves the menu back down')

    browser.send('Input.dispatchKeyEvent', {'type': 'keyDown', 'code': 'Space', 'key': ' ', 'text': ' ',
                                            'windowsVirtualKeyCode': 32, 'nativeVirtualKeyCode': 32})
    check(browser.wait_for("window.burrowrotorState().screen === 'game'", 5, 'the game to start'),
          'Space on LET\'S GO! starts a game')
    time.sleep(0.25)
    shot = browser.send('Page.captureScreenshot', {'format': 'png'})
    browser.send('Input.dispatchKeyEvent', {'type': 'keyUp', 'code': 'Space', 'key': ' ',
                                            'windowsVirtualKeyCode': 32, 'nativeVirtualKeyCode': 32})
    with open(screenshot, 'wb') as f:
        f.write(base64.b64decode(shot['data']))
    print('ok: screenshot of the game saved to', screenshot)

    # A finger on the canvas holds ACTION for as long as it stays there.
    touch = {'x': 500, 'y': 300, 'id': 1}
    browser.send('Input.dispatchTouchEvent', {'type': 'touchStart', 'touchPoints': [touch]})
    held = browser.evaluate('Module.burrowButtons()')
    browser.send('Input.dispatchTouchEvent', {'type': 'touchEnd', 'touchPoints': []})
    check(held == 1 << 12 and browser.evaluate('Module.burrowButtons()') == 0,
          'a touch on the canvas holds ACTION until it ends')
    check(browser.evaluate("document.getElementById('pad').offsetHeight > 0"),
          'the touch pad appears once the screen is touched')


def bad_tapes_reported(browser, origin):
    browser.navigate(origin + '/index.html?tape=no-such.tape')
    message = browser.wait_for('window.burrowrotorError', 10, 'the missing tape to be reported')
    check('404' in message and browser.evaluate('window.burrowrotorFrames') == 0,
          'a tape that cannot be fetched is reported and no frame runs (%s)' % message)
    browser.navigate(origin + '/index.html?tape=bad.tape')
    message = browser.wait_for('window.burrowrotorError', 10, 'the bad tape to be reported')
    shown = browser.evaluate("document.getElementById('status').textContent")
    check('line 2' in message and 'JUMP' in message and shown == message and
          browser.evaluate('window.burrowrotorFrames') == 0,
          'a tape that does not parse is reported on the page with its line and no frame runs (%s)' % message)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runner', required=True, help='burrowrotor-headless')
    parser.add_argument('--dist', required=True, help='the built web/dist directory')
    parser.add_argument('--tape', required=True)
    parser.add_argument('--screenshot', required=True)
    parser.add_argument('--chromium', default=os.environ.get('CHROMIUM', '/usr/bin/chromium'))
    args = parser.parse_args()

    chromium = shutil.which(args.chromium)
    if chromium is None:
        print('SKIPPED: no Chromium at %s (install the Debian package chromium, or run make deps)' % args.chromium)
        return SKIP
    for name in ('index.html', 'burrowrotor.js', 'burrowrotor.wasm'):
        if not os.path.isfile(os.path.join(args.dist, name)):
            print('FAILED: %s/%s is missing: build it with make web' % (args.dist, name))
            return 1

    with tempfile.TemporaryDirectory(prefix='burrow-web-') as work:
        site = os.path.join(work, 'site')
        shutil.copytree(args.dist, site)
        shutil.copy(args.tape, os.path.join(site, 'crash.tape'))
        with open(os.path.join(site, 'bad.tape'), 'w') as f:
            f.write('10 UP\n20 JUMP\n')
        expected = headless_hashes(args.runner, args.tape, work)
        server = serve(site)
        origin = 'http://127.0.0.1:%d' % server.server_address[1]
        browser = Browser(chromium, os.path.join(work, 'profile'))
        try:
            browser.open_page()
            replay_matches_headless(browser, origin, expected)
            live_page(browser, origin, args.screenshot)
            bad_tapes_reported(browser, origin)
            outside = [u for u in browser.requested_urls() if not u.startswith(origin + '/')]
            check(not outside, 'the page asks for nothing outside its own server %s' % outside)
        finally:
            browser.close()
            server.shutdown()
    print('browser test passed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
