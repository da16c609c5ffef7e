#!/usr/bin/env python3
"""Moves a hall of fame from its SQLite file to an empty PostgreSQL database:
brings the target's schema up to date (burrowrotor-server --schema-only),
reads every run and board entry from one snapshot of the SQLite file (it may
be in use), and writes them with COPY in one transaction, so the target holds
all of it or nothing. Run ids stay as they were, and new ones continue after them.

   hall_move.py SERVER SQLITE_FILE postgresql://...

Needs psql (postgresql-client). Refuses a target that already holds runs."""
import os, sqlite3, subprocess, sys

RUNS = ['id', 'name', 'name_key', 'mode', 'speed', 'score', 'tape', 'state', 'reason', 'fingerprint', 'attempts',
        'last_error', 'lease', 'lease_until', 'submitted', 'decided']
BOARD = ['mode', 'speed', 'name_key', 'name', 'score', 'run', 'date']
PSQL = os.path.join(os.environ.get('BURROW_PG_BIN', '/usr/lib/postgresql/15/bin'), 'psql')


def psql(uri, script):
    r = subprocess.run([PSQL, '-X', '-q', '-t', '-A', '-v', 'ON_ERROR_STOP=1', '-d', uri], input=script,
                       capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit('hall_move.py: PostgreSQL refused: ' + ' '.join(r.stderr.split()))
    return r.stdout.strip()


def csv_rows(rows):
    """COPY's CSV: text quoted (an empty text stays empty), NULL as nothing."""
    return ''.join(','.join('' if v is None else str(v) if isinstance(v, int) else '"' + v.replace('"', '""') + '"'
                            for v in row) + '\n' for row in rows)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.split('\n\n')[1].strip())
    server, source, target = sys.argv[1:]
    if not target.startswith(('postgresql://', 'postgres://')):
        sys.exit('hall_move.py: the target must be a postgresql:// address')
    subprocess.run([server, '--db', target, '--schema-only'], check=True, stdout=subprocess.DEVNULL)
    if psql(target, 'SELECT count(*) FROM runs') != '0':
        sys.exit('hall_move.py: the target already holds runs; move only into an empty hall')
    con = sqlite3.connect('file:%s?mode=ro' % source, uri=True, isolation_level=None)
    con.execute('BEGIN')  # one snapshot of both tables
    version = con.execute('SELECT version FROM schema_version').fetchone()[0]
    if str(version) != psql(target, 'SELECT version FROM schema_version'):
        sys.exit('hall_move.py: %s has schema version %d, the target another; start a server on it first' % (source, version))
    runs = con.execute('SELECT %s FROM runs ORDER BY id' % ', '.join(RUNS)).fetchall()
    board = con.execute('SELECT %s FROM board' % ', '.join(BOARD)).fetchall()
    con.close()
    script = ('BEGIN;\nCOPY runs(%s) FROM STDIN WITH (FORMAT csv);\n%s\\.\n' % (', '.join(RUNS), csv_rows(runs)) +
              'COPY board(%s) FROM STDIN WITH (FORMAT csv);\n%s\\.\n' % (', '.join(BOARD), csv_rows(board)) +
              "SELECT setval(pg_get_serial_sequence('runs', 'id'), (SELECT COALESCE(max(id), 0) + 1 FROM runs), false);\n"
              'COMMIT;\n')
    psql(target, script)
    print('hall_move.py: moved %d runs and %d board entries from %s' % (len(runs), len(board), source))


if __name__ == '__main__':
    main()
