#!/usr/bin/env python3
"""Faults on the cluster: while N submissions flow through HAProxy, an API
server, a worker and PostgreSQL itself are each killed with SIGKILL at a
random moment and started again. Every submission answered 202 must end
accepted or rejected, with exactly one verdict logged; no board may hold a
game twice; no run may stay verifying past its lease.
   hall_proof_faults.py BUILD_DIR DATA_DIR SUBMISSIONS SECONDS"""
import json, os, random, re, shutil, sys, tempfile, threading, time

import hall_cluster, hall_load

BUILD, DATA, COUNT, SECONDS = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
if hall_cluster.postgres_missing() or not shutil.which('haproxy'):
    print('SKIPPED: %s' % (hall_cluster.postgres_missing() or 'no haproxy'))
    sys.exit(77)
work = tempfile.mkdtemp(prefix='burrow-faults-')
port = hall_cluster.free_port()
cluster = hall_cluster.Cluster(BUILD, work, port, rate_limit=0, server_args=['--replay-seconds', '3', '--lease-margin', '3'])
failures = []


def check(condition, what):
    print(('ok: ' if condition else 'FAILED: ') + what)
    if not condition:
        failures.append(what)


def faults(spread):
    for victim in random.sample(['api-1', 'worker-1', 'postgres'], 3):
        time.sleep(random.uniform(0.1, spread))
        print('kill -9 %s' % victim, flush=True)
        if victim == 'postgres':
            cluster.pg.kill()
            time.sleep(0.5)
            cluster.pg.start()
        else:
            cluster.kill(victim)
            time.sleep(0.5)
            cluster.restart(victim)


try:
    killer = threading.Thread(target=faults, args=(max(0.2, COUNT * 0.025 / 3),))
    killer.start()
    # The submissions are spread over a few seconds, so the kills fall among them.
    result = hall_load.run(('127.0.0.1', port), DATA, COUNT, 2, SECONDS, tag='fault', interval=0.05)
    killer.join()
    print(json.dumps(result))
    accepted = sum(result['verdicts'].values())
    check(result['lost'] == 0 and accepted == result['statuses'].get('202', 0) > 0,
          'every 202 ended accepted or rejected (%d of them)' % accepted)
    verdicts = re.findall(r'run (\d+) (?:accepted|rejected) by',
                          ''.join(open(os.path.join(work, w + '.log')).read() for w in ('worker-1', 'worker-2')))
    twice = [r for r in set(verdicts) if verdicts.count(r) > 1]
    check(not twice, 'one verdict per run (twice: %s)' % twice)
    check(cluster.pg.sql("SELECT count(*) FROM runs r JOIN board b ON b.run = r.id GROUP BY r.mode, r.speed,"
                         " r.fingerprint HAVING count(*) > 1") == '', 'no board holds a game twice')
    # A submission stored just as its answer was lost (PostgreSQL killed at the
    # commit) got a 503, so the load never waited for it; the workers still
    # owe it a verdict within its leases, three attempts at most.
    left, deadline = None, time.time() + 3 * (3 + 3) + 10
    while left != '0' and time.time() < deadline:
        left = cluster.pg.sql("SELECT count(*) FROM runs WHERE state IN ('queued', 'verifying')")
        time.sleep(0.5)
    check(left == '0', 'nothing left queued or verifying once the leases have run (%s left)' % left)
finally:
    cluster.stop()
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
