#!/usr/bin/env python3
"""A load generator for the hall of fame, bounded in count and time: sends
SUBMISSIONS runs (the golden tapes' games under fresh names, so the first of
each game is accepted and the rest are verified and refused as duplicates)
from CONCURRENCY connections, then waits for every verdict. Prints one JSON
line: submissions a second with p50 and p99 latency, every status seen,
verified games a second, and how many 202s never reached a verdict (lost).
Only loopback addresses are accepted as the target.

   hall_load.py HOST:PORT DATA_DIR [--submissions N] [--concurrency C] [--seconds T]

Exits 1 when an answer was a 5xx or a run was lost."""
import argparse, http.client, ipaddress, json, os, subprocess, sys, threading, time

GOLDENS = ['coin-fast', 'coin-slow', 'moving-madness', 'moving-slow', 'normal-medium']
# The first game of each golden tape: mode, speed, score (burrowrotor-headless --games).
CLAIMS = {'coin-fast': (1, 2, 5470), 'coin-slow': (1, 0, 954), 'moving-madness': (2, 3, 6160),
          'moving-slow': (2, 0, 719), 'normal-medium': (0, 1, 3036)}


def call(target, method, path, body=None, timeout=30):
    conn = http.client.HTTPConnection(target[0], target[1], timeout=timeout)
    try:
        conn.request(method, path, body, {'Content-Type': 'application/json'} if body else {})
        r = conn.getresponse()
        return r.status, r.read(), r.getheader('X-Served-By')
    finally:
        conn.close()


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * len(values)))] if values else 0


def run(target, data, submissions, concurrency, seconds, tag='load', interval=0.0):
    tapes = {g: open(os.path.join(data, 'golden-%s.tape' % g)).read() for g in GOLDENS}
    latencies, statuses, ids, served, lock = [], {}, [], set(), threading.Lock()
    end = time.time() + seconds
    counter = iter(range(submissions))

    def client():
        for i in counter:
            if time.time() > end:
                return
            time.sleep(interval)
            g = GOLDENS[i % len(GOLDENS)]
            mode, speed, score = CLAIMS[g]
            body = json.dumps({'name': '%s %d' % (tag[:5], i), 'mode': mode, 'speed': speed, 'score': score,
                               'tape': tapes[g]})
            t = time.time()
            try:
                status, answer, by = call(target, 'POST', '/api/runs', body)
            except OSError as e:
                status, answer, by = 'error: %s' % type(e).__name__, b'', None
            with lock:
                latencies.append(time.time() - t)
                statuses[str(status)] = statuses.get(str(status), 0) + 1
                served.add(by)
                if status == 202:
                    ids.append(json.loads(answer)['id'])

    start = time.time()
    threads = [threading.Thread(target=client) for _ in range(concurrency)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    sent_seconds = time.time() - start
    pending, verdicts = set(ids), {}
    while pending and time.time() < end:
        for run_id in list(pending)[:200]:
            try:
                status, answer, _ = call(target, 'GET', '/api/runs/%d' % run_id)
            except OSError:
                continue
            state = json.loads(answer).get('state') if status == 200 else None
            if state in ('accepted', 'rejected'):
                verdicts[state] = verdicts.get(state, 0) + 1
                pending.discard(run_id)
        time.sleep(0.05)
    all_seconds = time.time() - start
    return {'submissions': len(latencies), 'seconds': round(sent_seconds, 2),
            'per_second': round(len(latencies) / sent_seconds, 1),
            'p50_ms': round(1000 * percentile(latencies, 0.5), 1), 'p99_ms': round(1000 * percentile(latencies, 0.99), 1),
            'statuses': statuses, 'verdicts': verdicts, 'verified_per_second': round(len(ids) / all_seconds, 1),
            'lost': len(pending), 'served_by': sorted(s for s in served if s)}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('target')
    ap.add_argument('data')
    ap.add_argument('--submissions', type=int, default=200)
    ap.add_argument('--concurrency', type=int, default=8)
    ap.add_argument('--seconds', type=float, default=120)
    o = ap.parse_args()
    host, port = o.target.rsplit(':', 1)
    if not ipaddress.ip_address(host.strip('[]')).is_loopback:
        sys.exit('hall_load.py: %s is not a loopback address; load goes to this machine only' % host)
    result = run((host.strip('[]'), int(port)), o.data, o.submissions, o.concurrency, o.seconds)
    print(json.dumps(result), flush=True)
    bad = result['lost'] or any(k.startswith('5') or k.startswith('error') for k in result['statuses'])
    sys.exit(1 if bad else 0)


if __name__ == '__main__':
    main()
