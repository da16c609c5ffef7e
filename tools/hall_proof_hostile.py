#!/usr/bin/env python3
"""Hostile clients against one server on a free loopback port: 500
connections that send their headers a byte a second, chunked bodies that
never end, an oversize body, JSON nested 100,000 deep, a gzip body and a
name that is not UTF-8. Each is refused or closed within its bound; the
server's peak memory stays bounded; an honest client's p99 during the attack
stays within twice its quiet value (with a floor of FLOOR_MS for timer noise
on a shared machine). Prints the figures as one JSON line.
   hall_proof_hostile.py SERVER [SLOW_CONNECTIONS]"""
import gzip, http.client, json, os, selectors, shutil, socket, subprocess, sys, tempfile, threading, time

SERVER = sys.argv[1]
SLOW = int(sys.argv[2]) if len(sys.argv) > 2 else 500
REQUEST_SECONDS = 10  # limits.h: a whole request must come within this
FLOOR_MS = 5.0
PEAK_BYTES = 256 << 20
failures, figures = [], {}


def check(condition, what):
    print(('ok: ' if condition else 'FAILED: ') + what, flush=True)
    if not condition:
        failures.append(what)


def post(body, headers=None):
    t = time.time()
    conn = http.client.HTTPConnection('127.0.0.1', port, timeout=30)
    conn.request('POST', '/api/runs', body, headers or {})
    r = conn.getresponse()
    text = r.read()
    conn.close()
    return r.status, json.loads(text).get('error', ''), time.time() - t


def honest(count):
    times = []
    for _ in range(count):
        t = time.time()
        conn = http.client.HTTPConnection('127.0.0.1', port, timeout=30)
        conn.request('GET', '/api/boards/0/0')
        conn.getresponse().read()
        conn.close()
        times.append(1000 * (time.time() - t))
    return sorted(times)[int(0.99 * len(times))]


def slow_clients(count, closed_after, started):
    """Opens `count` connections that send their request a byte a second;
    records how long each lived before the server closed it."""
    sel, begun = selectors.DefaultSelector(), time.time()
    text = b'POST /api/runs HTTP/1.1\r\nHost: a\r\n' + b'X-Slow: ' + b'a' * 100
    for i in range(count):
        s = socket.create_connection(('127.0.0.1', port))
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ, [0])
    started.set()
    deadline = begun + REQUEST_SECONDS + 20
    while sel.get_map() and time.time() < deadline:
        for key, _ in sel.select(timeout=1):
            try:
                gone = key.fileobj.recv(4096) == b''
            except ConnectionError:
                gone = True
            if gone:
                closed_after.append(time.time() - begun)
                sel.unregister(key.fileobj)
                key.fileobj.close()
        for key in list(sel.get_map().values()):
            try:
                key.fileobj.send(text[key.data[0] % len(text):][:1])
                key.data[0] += 1
            except OSError:
                pass
    for key in list(sel.get_map().values()):
        key.fileobj.close()


def endless_chunks(closed_after):
    s, begun = socket.create_connection(('127.0.0.1', port)), time.time()
    s.sendall(b'POST /api/runs HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n')
    s.settimeout(0.5)
    while time.time() < begun + REQUEST_SECONDS + 20:
        try:
            s.sendall(b'1\r\n{\r\n')
            if s.recv(4096) == b'':
                break
        except socket.timeout:
            continue
        except OSError:
            break
    closed_after.append(time.time() - begun)
    s.close()


work = tempfile.mkdtemp(prefix='burrow-hostile-')
server = subprocess.Popen([SERVER, '--db', os.path.join(work, 'hall.sqlite'), '--listen', '127.0.0.1:0',
                           '--rate-limit', '0'], stdout=subprocess.PIPE, text=True)
try:
    port = int(server.stdout.readline().rsplit(':', 1)[1].strip('/\n'))
    quiet = honest(300)
    slow_closed, chunk_closed, started = [], [], threading.Event()
    attackers = [threading.Thread(target=slow_clients, args=(SLOW, slow_closed, started))]
    attackers += [threading.Thread(target=endless_chunks, args=(chunk_closed,)) for _ in range(5)]
    for a in attackers:
        a.start()
    started.wait(30)
    nested = '{"name": ' + '[' * 100000 + ']' * 100000 + '}'
    for what, (status, error, seconds), want in [
        ('a 300 KiB body', post(b'{"tape": "' + b'#' * 300 * 1024 + b'"}'), 413),
        ('JSON nested 100,000 deep', post(nested.encode()), 400),
        ('a gzip body', post(gzip.compress(b'{}'), {'Content-Encoding': 'gzip'}), 415),
        ('a name that is not UTF-8', post(b'{"name": "\xff\xfe\xfd", "mode": 0, "speed": 0, "score": 1, "tape": ""}'), 400),
    ]:
        check(status == want and seconds < REQUEST_SECONDS, '%s: %d in %.2f s (%s)' % (what, status, seconds, error))
    attacked = honest(300)
    for a in attackers:
        a.join()
    figures.update(quiet_p99_ms=round(quiet, 2), attacked_p99_ms=round(attacked, 2),
                   slow_closed=len(slow_closed), slowest_close_s=round(max(slow_closed + [0]), 1),
                   chunked_closed_s=round(max(chunk_closed + [0]), 1))
    check(len(slow_closed) == SLOW and max(slow_closed) < REQUEST_SECONDS + 3,
          'every slow-header connection closed within %d s' % (REQUEST_SECONDS + 3))
    check(len(chunk_closed) == 5 and max(chunk_closed) < REQUEST_SECONDS + 3, 'every endless chunked body closed')
    check(attacked <= 2 * max(quiet, FLOOR_MS), "an honest client's p99 within twice its quiet value")
    peak = [l for l in open('/proc/%d/status' % server.pid) if l.startswith('VmHWM')][0].split()[1]
    figures['peak_rss_kib'] = int(peak)
    check(int(peak) * 1024 < PEAK_BYTES, 'peak memory under %d MiB' % (PEAK_BYTES >> 20))
    print(json.dumps(figures))
finally:
    server.terminate()
    check(server.wait(timeout=30) == 0, 'the server stops on SIGTERM')
    shutil.rmtree(work)
sys.exit(1 if failures else 0)
