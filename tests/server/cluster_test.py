#!/usr/bin/env python3
"""The cluster from its one command (tools/hall_cluster.py, as make
serve-scores-cluster runs it): submissions through HAProxy reach both API
servers and are verified by both workers, nothing lost and no 5xx; HAProxy
keeps the per-address limit; Ctrl-C stops everything.
   cluster_test.py BUILD_DIR DATA_DIR"""
import http.client, json, os, shutil, signal, socket, subprocess, sys, tempfile

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools')
sys.path.insert(0, TOOLS)
import hall_cluster, hall_load

BUILD, DATA = sys.argv[1], sys.argv[2]
if hall_cluster.postgres_missing() or not shutil.which('haproxy'):
    print('SKIPPED: %s' % (hall_cluster.postgres_missing() or 'no haproxy'))
    sys.exit(77)
work = tempfile.mkdtemp(prefix='burrow-cluster-')
port = hall_cluster.free_port()
cluster = subprocess.Popen([sys.executable, os.path.join(TOOLS, 'hall_cluster.py'), BUILD, work, '--port', str(port),
                            '--rate-limit', '10'], stdout=subprocess.PIPE, text=True)
failures = []


def check(condition, what):
    print(('ok: ' if condition else 'FAILED: ') + what)
    if not condition:
        failures.append(what)


try:
    check('http://127.0.0.1:%d/' % port in cluster.stdout.readline(), 'the cluster starts from one command')
    # Every load client comes from 127.0.0.1, which HAProxy lets send 10 a minute.
    result = hall_load.run(('127.0.0.1', port), DATA, 10, 4, 90)
    print(json.dumps(result))
    check(result['statuses'] == {'202': 10} and result['lost'] == 0, 'every submission settled, no 5xx')
    check(result['served_by'] == ['api-1', 'api-2'], 'both API servers answered: %s' % result['served_by'])
    conn = http.client.HTTPConnection('127.0.0.1', port, timeout=30)
    conn.request('POST', '/api/runs', '{}')
    r = conn.getresponse()
    check(r.status == 429 and 'wait a minute' in json.loads(r.read())['error'], 'the 11th submission in a minute: 429')
    logs = {w: open(os.path.join(work, w + '.log')).read() for w in ('worker-1', 'worker-2')}
    check(all('by %s worker' % w in text for w, text in logs.items()), 'both workers gave verdicts')
finally:
    cluster.send_signal(signal.SIGINT)
    check(cluster.wait(timeout=60) == 0 and 'stopped' in cluster.stdout.read(), 'Ctrl-C stops the cluster')
    try:
        socket.create_connection(('127.0.0.1', port), timeout=1).close()
        check(False, 'HAProxy has stopped listening')
    except OSError:
        pass
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
