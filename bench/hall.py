#!/usr/bin/env python3
"""The hall of fame's figures (make bench-hall): verifications a second on
one core for a two-minute game, and the latency of a submission. A server
on a free loopback port, with a temporary database, runs pinned to one core
with one worker; everything it is sent goes to 127.0.0.1 only, and the runs
are bounded in count.
   hall.py BUILD_DIR [VERIFICATIONS] [SUBMISSIONS]"""
import http.client, json, os, shutil, subprocess, sys, tempfile, time

build = sys.argv[1]
verifications = int(sys.argv[2]) if len(sys.argv) > 2 else 10
submissions = int(sys.argv[3]) if len(sys.argv) > 3 else 200
tape = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'two-minute-game.tape')).read()
work = tempfile.mkdtemp(prefix='burrow-hall-bench-')
server = subprocess.Popen(['taskset', '-c', '0', os.path.join(build, 'burrowrotor-server'), '--db',
                           os.path.join(work, 'hall.sqlite'), '--listen', '127.0.0.1:0', '--rate-limit', '0'],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)


def call(method, path, body=None):
    conn = http.client.HTTPConnection('127.0.0.1', port, timeout=600)
    conn.request(method, path, body and json.dumps(body))
    r = conn.getresponse()
    answer = json.loads(r.read())
    conn.close()
    if r.status >= 300:
        sys.exit('hall.py: %s %s answered %d %s' % (method, path, r.status, answer))
    return answer


try:
    port = int(server.stdout.readline().rsplit(':', 1)[1].strip('/\n'))
    game = json.loads(subprocess.run([os.path.join(build, 'burrowrotor-headless'), '--games', '--input', '/dev/stdin'],
                                     input=tape, capture_output=True, text=True, check=True).stdout.splitlines()[0])
    claim = {'mode': game['mode'], 'speed': game['speed'], 'score': game['score'], 'tape': tape}
    frames = game['crash'] - game['start'] + 1

    # Every run replays the whole game (the copies after the first are then
    # refused as the same game). The processor time of the replays (the
    # server's reaped children) tells what one idle core would do.
    def replay_seconds():
        fields = open('/proc/%d/stat' % server.pid).read().rsplit(')', 1)[1].split()
        return (int(fields[13]) + int(fields[14])) / os.sysconf('SC_CLK_TCK')
    start, cpu = time.monotonic(), replay_seconds()
    ids = [call('POST', '/api/runs', dict(claim, name='bench %d' % i))['id'] for i in range(verifications)]
    for run_id in ids:
        while call('GET', '/api/runs/%d' % run_id)['state'] in ('queued', 'verifying'):
            time.sleep(0.02)
    elapsed, cpu = time.monotonic() - start, replay_seconds() - cpu
    print('verification: %d runs of a %d-frame game (%.0f s of play) in %.2f s on one core: %.2f a second;'
          ' %.2f s of processor time each, %.2f a second on an idle core' %
          (verifications, frames, frames / 60, elapsed, verifications / elapsed, cpu / verifications,
           verifications / cpu))

    # Submissions while the worker replays them on the same core.
    latencies = []
    for i in range(submissions):
        t = time.monotonic()
        call('POST', '/api/runs', dict(claim, name='late %d' % i))
        latencies.append(time.monotonic() - t)
    latencies.sort()
    print('submission of a %d-byte tape: p50 %.1f ms, p99 %.1f ms, max %.1f ms over %d (one core, replays running)' %
          (len(tape), 1000 * latencies[len(latencies) // 2], 1000 * latencies[int(len(latencies) * 0.99)],
           1000 * latencies[-1], submissions))
finally:
    server.terminate()
    server.wait(timeout=60)
    shutil.rmtree(work)
