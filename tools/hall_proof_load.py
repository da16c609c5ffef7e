#!/usr/bin/env python3
"""Sustained load (tools/hall_load.py) on one server with SQLite and on the
cluster (PostgreSQL, two API servers, two workers, HAProxy): submissions a
second with p50 and p99 and verified games a second, one JSON line each.
Nothing may be lost and no answer may be a 5xx. The cluster part reports
SKIPPED where PostgreSQL or HAProxy is missing.
   hall_proof_load.py BUILD_DIR DATA_DIR SUBMISSIONS CONCURRENCY"""
import json, os, shutil, subprocess, sys, tempfile

import hall_cluster, hall_load

BUILD, DATA, COUNT, CONCURRENCY = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
BOUND = 60 + COUNT  # seconds for the whole of one run, verdicts included
failures = []


def measure(what, target):
    result = hall_load.run(target, DATA, COUNT, CONCURRENCY, BOUND)
    print('%s: %s' % (what, json.dumps(result)), flush=True)
    if result['lost'] or list(result['statuses']) != ['202']:
        failures.append(what)
        print('FAILED: %s: every submission answered 202 and settled' % what)


work = tempfile.mkdtemp(prefix='burrow-load-')
os.chmod(work, 0o755)
server = subprocess.Popen([os.path.join(BUILD, 'burrowrotor-server'), '--db', os.path.join(work, 'hall.sqlite'),
                           '--listen', '127.0.0.1:0', '--rate-limit', '0', '--workers', '2'],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
try:
    measure('sqlite', ('127.0.0.1', int(server.stdout.readline().rsplit(':', 1)[1].strip('/\n'))))
finally:
    server.terminate()
    server.wait(timeout=30)
skipped = hall_cluster.postgres_missing() or (None if shutil.which('haproxy') else 'no haproxy')
if skipped:
    print('SKIPPED: the cluster: ' + skipped)
else:
    port = hall_cluster.free_port()
    cluster = hall_cluster.Cluster(BUILD, os.path.join(work, 'cluster'), port)
    try:
        measure('cluster', ('127.0.0.1', port))
    finally:
        cluster.stop()
shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 77 if skipped else 0)
