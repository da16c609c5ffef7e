#!/usr/bin/env python3
"""The hall of fame end to end: a real burrowrotor-server on a free loopback
port with a temporary database (SQLite, or with `postgres` a PostgreSQL of its
own), real HTTP from 127.0.0.x addresses only.
   hall_test.py SERVER HEADLESS DATA_DIR [postgres]"""
import http.client, json, os, shutil, sqlite3, subprocess, sys, tempfile, time
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tools'))
import hall_cluster

SERVER, RUNNER, DATA = sys.argv[1:4]
GOLDENS = ['coin-fast', 'coin-slow', 'moving-madness', 'moving-slow', 'normal-medium']
failures = []
source = [10]  # each request from its own 127.0.0.x, so only the rate-limit case meets the limit


def check(condition, what):
    print(('ok: ' if condition else 'FAILED: ') + what)
    if not condition:
        failures.append(what)


def request(method, path, body=None, headers=None, address=None):
    if address is None:
        source[0] = source[0] % 250 + 1
        address = '127.0.0.%d' % (source[0] + 2)
    conn = http.client.HTTPConnection('127.0.0.1', port, timeout=30, source_address=(address, 0))
    data = body if isinstance(body, bytes) or body is None else json.dumps(body).encode()
    conn.request(method, path, data, headers or {})
    r = conn.getresponse()
    text = r.read()
    conn.close()
    check(r.status < 500, '%s %s answers %d, never a 5xx' % (method, path, r.status))
    return r.status, json.loads(text) if r.getheader('Content-Type', '').startswith('application/json') else text


def games(tape_path):
    out = subprocess.run([RUNNER, '--games', '--input', tape_path], check=True, capture_output=True, text=True).stdout
    return [json.loads(line) for line in out.splitlines()]


def submit(name, mode, speed, score, tape, **kw):
    return request('POST', '/api/runs', {'name': name, 'mode': mode, 'speed': speed, 'score': score, 'tape': tape}, **kw)


def verdict(run_id, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        state = request('GET', '/api/runs/%d' % run_id)[1]
        if state['state'] in ('accepted', 'rejected'):
            return state
        time.sleep(0.1)
    return {'state': 'still ' + state['state'], 'reason': ''}


work = tempfile.mkdtemp(prefix='burrow-hall-')
os.chmod(work, 0o755)  # for PostgreSQL's own user
postgres = None
if sys.argv[4:] == ['postgres']:
    if hall_cluster.postgres_missing():
        sys.exit(print('SKIPPED: ' + hall_cluster.postgres_missing()) or 77)
    postgres = hall_cluster.Postgres(os.path.join(work, 'pg'))
db = postgres.uri if postgres else os.path.join(work, 'hall.sqlite')
server = subprocess.Popen([SERVER, '--db', db, '--listen', '127.0.0.1:0', '--workers', '2', '--replay-seconds', '8'],
                          stdout=subprocess.PIPE, text=True)
# Beside it, started at the same moment on the same new database, a server that only replays.
worker = subprocess.Popen([SERVER, '--db', db, '--role', 'worker', '--replay-seconds', '8'], stdout=subprocess.DEVNULL)
try:
    port = int(server.stdout.readline().rsplit(':', 1)[1].strip('/\n'))
    tapes = {g: open(os.path.join(DATA, 'golden-%s.tape' % g)).read() for g in GOLDENS}
    first = {g: games(os.path.join(DATA, 'golden-%s.tape' % g))[0] for g in GOLDENS}

    # Every golden game is accepted with its score; a second game of one tape
    # under another name ranks below it; a name keeps its best.
    ids = {g: submit('Pilot ' + g[:8], first[g]['mode'], first[g]['speed'], first[g]['score'], tapes[g])[1]['id']
           for g in GOLDENS}
    fast = games(os.path.join(DATA, 'golden-coin-fast.tape'))
    second = submit('second', 1, 2, fast[1]['score'], tapes['coin-fast'])[1]['id']
    for g, run_id in ids.items():
        v = verdict(run_id)
        check(v['state'] == 'accepted' and v['rank'] == 1, '%s accepted with score %d: %s' % (g, first[g]['score'], v))
    check(verdict(second)['state'] == 'accepted', 'a second game of the same tape is accepted')
    worse = submit('SECOND ', 1, 2, fast[2]['score'], tapes['coin-fast'])[1]['id']
    check(verdict(worse)['state'] == 'accepted', 'a lower score of the same name is accepted')
    board = request('GET', '/api/boards/1/2')[1]['entries']
    check([(e['rank'], e['name'], e['score']) for e in board] == [(1, 'Pilot coin-fas', 5470), (2, 'second', fast[1]['score'])],
          'the board lists its entries best first and a name keeps its best: %s' % board)
    check(request('GET', '/api/runs/%d/tape' % second)[1].decode() == tapes['coin-fast'], 'an entry gives its tape back')

    # Refused after the replay, each with its reason, nothing on any board.
    cut = '\n'.join(l for l in tapes['coin-fast'].splitlines() if l.startswith('#') or int(l.split()[0]) < 500)
    refused = [
        ('duplicate', submit('copycat', 1, 2, 5470, tapes['coin-fast']), 'the same game as run %d' % ids['coin-fast']),
        ('one point off', submit('greedy', 1, 2, 5471, tapes['coin-fast']), 'end with 5470'),
        ('wrong mode', submit('lost', 0, 2, 5470, tapes['coin-fast']), 'is played at NORMAL FAST; it plays COIN FAST'),
        ('cut before the crash', submit('cutter', 1, 2, 5470, cut), 'the tape ends in frame 499, before its game'),
        ('no game at all', submit('idle', 0, 0, 10, open(os.path.join(DATA, 'golden-title-stay.tape')).read()),
         'no game ends in the tape'),
        ('ACTION held on the title for four hours', submit('holder', 0, 0, 10, '12 ACTION\n864000 ACTION\n'),
         ' 8 s'),  # the wall clock or the processor time, whichever ends it first
    ]
    for what, (status, body), reason in refused:
        v = verdict(body['id'])
        check(status == 202 and v['state'] == 'rejected' and reason in v['reason'], '%s rejected: %s' % (what, v))
        check(request('GET', '/api/runs/%d/tape' % body['id'])[0] == 404, '%s: its tape is not kept' % what)

    # Refused at once, each with its own error, nothing stored.
    ok = tapes['moving-slow']
    for what, (status, body), want, text in [
        ('rules 2', submit('future', 2, 0, 719, '# burrowrotor tape 2 rules 2\n' + ok), 400, 'rules version 2'),
        ('a 300 KiB body', submit('big', 2, 0, 719, ok + '#' * 300 * 1024), 413, 'larger than 262144'),
        ('a million lines', submit('lines', 2, 0, 719, '\n' * 1000000), 413, 'larger than'),
        ('a 200 KiB line', submit('wide', 2, 0, 719, '1 ' + 'A' * 200 * 1024), 400, 'line is too long'),
        ('a frame near 2^31', submit('far', 2, 0, 719, '2147483000 ACTION\n'), 400, 'past four hours'),
        ('a short name', submit(' ab ', 2, 0, 719, ok), 400, '3 to 16 characters'),
        ('a name with <', submit('a<b>c', 2, 0, 719, ok), 400, 'only letters'),
        ('speed 4', submit('fast', 2, 4, 719, ok), 400, "'speed' must be from 0 to 3"),
        ('gzip', request('POST', '/api/runs', b'{}', {'Content-Encoding': 'gzip'}), 415, 'Content-Encoding'),
        ('not JSON', request('POST', '/api/runs', b'{"name":'), 400, 'JSON object'),
    ]:
        check(status == want and text in body['error'], '%s: %d %s' % (what, status, body))
    for address, limit_hit in [('127.0.1.2', False)] * 10 + [('127.0.1.2', True), ('127.0.1.3', False)]:
        status, body = submit('x', 0, 0, 1, '', address=address)
        check((status == 429) == limit_hit, 'submission from %s: %d %s' % (address, status, body))
    boards = [len(request('GET', '/api/boards/%d/%d' % (m, s))[1]['entries']) for m in range(3) for s in range(4)]
    check(boards == [0, 1, 0, 0, 1, 0, 2, 0, 1, 0, 0, 1], 'the accepted entries and no other: %s' % boards)
    check(request('GET', '/')[0] == 200 and request('GET', '/api/boards/3/0')[0] == 404, 'the hall page; no board 3/0')

    # A run whose worker died mid-replay (its lease ran out) is taken again,
    # unless that was its third claim: then it is rejected with the last reason.
    def dead_worker(attempts):
        dead = ("INSERT INTO runs(name, name_key, mode, speed, score, tape, state, attempts, lease, lease_until,"
                " submitted, last_error) VALUES ('Late', 'late', 0, 1, 3036, %s, 'verifying', " + str(attempts) +
                ", 'dead', 0, 0, 'the replay hung')")
        if postgres:
            return int(postgres.sql(dead % ":'tape'" + ' RETURNING id', tape=tapes['normal-medium']))
        with sqlite3.connect(db, timeout=30) as con:
            return con.execute(dead % '?', (tapes['normal-medium'],)).lastrowid
    check(verdict(dead_worker(1))['reason'].startswith('the same game as run'), 'a run left by a dead worker is verified again')
    check(verdict(dead_worker(3))['reason'] == 'verification failed 3 times: the replay hung', 'a third lost claim rejects')
finally:
    server.terminate()
    worker.terminate()
    check(server.wait(timeout=30) == 0 and worker.wait(timeout=30) == 0, 'both servers stop on SIGTERM')
    if postgres:
        postgres.stop()
    shutil.rmtree(work)
sys.exit(1 if failures else 0)
