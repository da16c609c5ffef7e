#!/usr/bin/env python3
"""Backups taken while submissions flow, and the move to PostgreSQL. An
SQLite online backup and a pg_dump are each taken in the middle of a stream
of submissions and restored into a fresh store: its boards must be exactly
what its accepted runs make them (no verdict without its board entry), every
run accepted there is accepted in the original, and a server serves it.
Then the settled SQLite hall is moved into an empty PostgreSQL
(tools/hall_move.py) and both boards must be equal.
   hall_proof_backup.py BUILD_DIR DATA_DIR SUBMISSIONS"""
import json, os, shutil, sqlite3, subprocess, sys, tempfile, threading

TOOLS = os.path.dirname(os.path.abspath(__file__))
import hall_cluster, hall_load

BUILD, DATA, COUNT = sys.argv[1], sys.argv[2], int(sys.argv[3])
SERVER = os.path.join(BUILD, 'burrowrotor-server')
if hall_cluster.postgres_missing():
    print('SKIPPED: ' + hall_cluster.postgres_missing())
    sys.exit(77)
BOARD = 'SELECT mode, speed, name_key, score FROM board ORDER BY 1, 2, 3'
DERIVED = ("SELECT mode, speed, name_key, max(score) FROM runs WHERE state = 'accepted' GROUP BY mode, speed, name_key"
           ' ORDER BY 1, 2, 3')
ACCEPTED = "SELECT id FROM runs WHERE state = 'accepted' ORDER BY id"
failures = []


def check(condition, what):
    print(('ok: ' if condition else 'FAILED: ') + what, flush=True)
    if not condition:
        failures.append(what)


def flowing(db, backup):
    """Starts a server on `db`, sends COUNT submissions and calls backup() halfway."""
    server = subprocess.Popen([SERVER, '--db', db, '--listen', '127.0.0.1:0', '--rate-limit', '0', '--workers', '2'],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    try:
        port = int(server.stdout.readline().rsplit(':', 1)[1].strip('/\n'))
        # Backup once half the submissions are in and verdicts are being written.
        load = threading.Thread(target=lambda: results.append(
            hall_load.run(('127.0.0.1', port), DATA, COUNT, 2, 120, interval=0.1)))
        results = []
        load.start()
        while load.is_alive() and not (sql(db, 'SELECT count(*) FROM runs') >= [(COUNT // 2,)] and sql(db, ACCEPTED)):
            load.join(0.05)
        backup()
        load.join()
        check(results[0]['lost'] == 0 and list(results[0]['statuses']) == ['202'], 'every submission settled: %s'
              % json.dumps(results[0]))
    finally:
        server.terminate()
        server.wait(timeout=30)


def sql(db, query):
    if db.startswith('postgresql://'):
        out = psql(db, query)
        return [tuple(int(v) if v.lstrip('-').isdigit() else v for v in line.split('|')) for line in out.splitlines()]
    with sqlite3.connect(db, timeout=30) as con:
        return con.execute(query).fetchall()


def psql(uri, query):
    return subprocess.run([os.path.join(hall_cluster.PG_BIN, 'psql'), '-X', '-q', '-t', '-A', '-d', uri, '-c', query],
                          check=True, capture_output=True, text=True).stdout.strip()


def restored_well(what, original, copy):
    check(sql(copy, BOARD) == sql(copy, DERIVED), '%s: its boards are what its accepted runs make them' % what)
    check(set(sql(copy, ACCEPTED)) <= set(sql(original, ACCEPTED)) and sql(copy, ACCEPTED),
          '%s: holds accepted runs, all accepted in the original' % what)
    check(subprocess.run([SERVER, '--db', copy, '--schema-only'], capture_output=True).returncode == 0,
          '%s: a server opens it' % what)


work = tempfile.mkdtemp(prefix='burrow-backup-')
os.chmod(work, 0o755)
pg = hall_cluster.Postgres(os.path.join(work, 'pg'))
try:
    # SQLite's online backup (what `sqlite3 hall.sqlite ".backup copy.sqlite"` does).
    lite, lite_copy = os.path.join(work, 'hall.sqlite'), os.path.join(work, 'copy.sqlite')

    def online_backup():
        with sqlite3.connect(lite, timeout=30) as src, sqlite3.connect(lite_copy) as dst:
            src.backup(dst)
    flowing(lite, online_backup)
    restored_well('SQLite online backup', lite, lite_copy)

    # pg_dump from a live PostgreSQL, pg_restore into a fresh database.
    dump = os.path.join(pg.dir, 'hall.dump')  # written by PostgreSQL's own user
    flowing(pg.uri, lambda: pg.tool('pg_dump', '-Fc', '-f', dump, '-d', pg.uri))
    pg.sql('CREATE DATABASE restored')
    restored = pg.uri.replace('/postgres?', '/restored?')
    pg.tool('pg_restore', '-d', restored, dump)
    restored_well('pg_dump', pg.uri, restored)

    # The settled SQLite hall moved into an empty PostgreSQL.
    pg.sql('CREATE DATABASE moved')
    moved = pg.uri.replace('/postgres?', '/moved?')
    subprocess.run([sys.executable, os.path.join(TOOLS, 'hall_move.py'), SERVER, lite, moved], check=True)
    check(sql(moved, BOARD) == sql(lite, BOARD) and sql(moved, ACCEPTED) == sql(lite, ACCEPTED),
          'moved to PostgreSQL: the same boards and accepted runs')
    check(subprocess.run([sys.executable, os.path.join(TOOLS, 'hall_move.py'), SERVER, lite, moved],
                         capture_output=True).returncode != 0, 'a second move into a hall with runs is refused')
finally:
    pg.stop()
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
