#!/usr/bin/env python3
"""The hall of fame as a cluster on this machine (make serve-scores-cluster):
a PostgreSQL of its own on a Unix socket in DIR, two API servers and two
workers (burrowrotor-server --role api / --role worker on that database) and
HAProxy in front of the API servers; everything listens on 127.0.0.1 only.
Ctrl-C (or SIGTERM, or --seconds running out) stops them all, the load
balancer first and the database last. Each program's log is DIR/NAME.log.

   hall_cluster.py BUILD_DIR DIR [--port N] [--play WEB_DIST] [--rate-limit N] [--seconds N]

The tests import Postgres and Cluster from here."""
import argparse, os, pwd, shutil, signal, socket, subprocess, sys, tempfile, time

PG_BIN = os.environ.get('BURROW_PG_BIN', '/usr/lib/postgresql/15/bin')


def postgres_missing():
    """Why PostgreSQL 15 cannot be started here, or None."""
    for tool in ('initdb', 'pg_ctl', 'psql', 'pg_dump'):
        if not os.access(os.path.join(PG_BIN, tool), os.X_OK):
            return 'no %s in %s (tools/deps.sh installs postgresql-15)' % (tool, PG_BIN)
    return None


class Postgres:
    """A PostgreSQL in DIR/data that listens only on a Unix socket in DIR (no
    TCP at all). initdb refuses root, so as root it runs as the postgres user
    Debian's package makes."""

    def __init__(self, folder, port=5432):
        self.dir, self.data, self.port = os.path.abspath(folder), os.path.join(os.path.abspath(folder), 'data'), port
        os.makedirs(self.dir, exist_ok=True)
        os.chmod(self.dir, 0o755)
        self.as_user = []
        if os.getuid() == 0:
            user = pwd.getpwnam('postgres')
            os.chown(self.dir, user.pw_uid, user.pw_gid)
            self.as_user = ['runuser', '-u', 'postgres', '--']
        if not os.path.exists(os.path.join(self.data, 'PG_VERSION')):
            self.tool('initdb', '-D', self.data, '-U', 'postgres', '--auth=trust', '--no-sync', '-E', 'UTF8')
        self.uri = 'postgresql:///postgres?host=%s&port=%d&user=postgres' % (self.dir, port)
        self.start()

    def tool(self, name, *args):
        # A session of its own: Ctrl-C in the terminal reaches only the script, which stops the database last.
        return subprocess.run(self.as_user + [os.path.join(PG_BIN, name)] + list(args), check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              start_new_session=True).stdout

    def start(self):
        self.tool('pg_ctl', '-D', self.data, '-w', '-t', '60', '-l', os.path.join(self.dir, 'postgres.log'), 'start',
                  '-o', "-c listen_addresses='' -c unix_socket_directories='%s' -p %d -c max_connections=200"
                  % (self.dir, self.port))

    def kill(self):
        """kill -9 of the postmaster and its backends, as when the machine loses them."""
        pid = int(open(os.path.join(self.data, 'postmaster.pid')).readline())
        children = subprocess.run(['pgrep', '-P', str(pid)], capture_output=True, text=True).stdout.split()
        for p in [pid] + [int(c) for c in children]:
            try:
                os.kill(p, signal.SIGKILL)
            except ProcessLookupError:
                pass
        deadline = time.time() + 10
        while time.time() < deadline and any(os.path.exists('/proc/%s' % p) for p in [pid] + children):
            time.sleep(0.05)

    def sql(self, statement, **values):
        """Runs SQL through psql; :'name' in it stands for values['name'], quoted."""
        args = [os.path.join(PG_BIN, 'psql'), '-X', '-q', '-t', '-A', '-v', 'ON_ERROR_STOP=1', '-d', self.uri]
        for k, v in values.items():
            args += ['-v', '%s=%s' % (k, v)]
        return subprocess.run(args, input=statement, check=True, capture_output=True, text=True).stdout.strip()

    def stop(self):
        try:
            self.tool('pg_ctl', '-D', self.data, '-m', 'fast', '-w', 'stop')
        except subprocess.CalledProcessError:
            pass


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


HAPROXY = '''global
  maxconn 4000
defaults
  mode http
  option forwardfor
  timeout connect 5s
  timeout client 15s
  timeout server 30s
  timeout http-request 10s
frontend hall
  bind 127.0.0.1:{port}
  # The per-address limit on submissions lives here, in front of every API server.
  stick-table type ip size 100k expire 60s store http_req_rate(60s)
  http-request track-sc0 src if {{ method POST }} {{ path /api/runs }}
{limit}  default_backend api
backend api
  balance roundrobin
  option httpchk GET /api/boards/0/0?limit=1
{servers}
'''
LIMIT = ('  http-request return status 429 content-type application/json string "{{\\"error\\":\\"more than {n} '
         'submissions in a minute from this address; wait a minute\\"}}" if {{ method POST }} {{ path /api/runs }} '
         '{{ sc_http_req_rate(0) gt {n} }}\n')


class Cluster:
    """PostgreSQL, API servers, workers and HAProxy, all stopped by stop()."""

    def __init__(self, build, folder, port, apis=2, workers=2, rate_limit=0, play=None, server_args=()):
        self.build, self.dir, self.port, self.logs = build, os.path.abspath(folder), port, {}
        self.procs, self.rate_limit, self.play, self.server_args = {}, rate_limit, play, list(server_args)
        os.makedirs(self.dir, exist_ok=True)
        os.chmod(self.dir, 0o755)  # for PostgreSQL's own user
        self.pg = Postgres(os.path.join(self.dir, 'pg'))
        self.api_ports = {}
        try:
            for i in range(1, apis + 1):
                self.start_api('api-%d' % i)
            for i in range(1, workers + 1):
                self.start_worker('worker-%d' % i)
            self.start_haproxy()
        except BaseException:
            self.stop()
            raise

    def spawn(self, name, args):
        log = open(os.path.join(self.dir, name + '.log'), 'a')
        self.procs[name] = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=log, text=True, start_new_session=True)
        return self.procs[name].stdout.readline()

    def start_api(self, name, port=0):
        args = [os.path.join(self.build, 'burrowrotor-server'), '--role', 'api', '--db', self.pg.uri, '--instance', name,
                '--listen', '127.0.0.1:%d' % port, '--rate-limit', '0'] + self.server_args
        line = self.spawn(name, args + (['--play', self.play] if self.play else []))
        if 'listening' not in line:
            raise RuntimeError('%s did not start: see %s.log' % (name, os.path.join(self.dir, name)))
        self.api_ports[name] = int(line.rsplit(':', 1)[1].strip('/\n'))

    def start_worker(self, name):
        args = [os.path.join(self.build, 'burrowrotor-server'), '--role', 'worker', '--db', self.pg.uri,
                '--instance', name] + self.server_args
        if 'replays' not in self.spawn(name, args):
            raise RuntimeError('%s did not start: see %s.log' % (name, os.path.join(self.dir, name)))

    def start_haproxy(self):
        servers = ''.join('  server %s 127.0.0.1:%d check inter 500ms\n' % (n, p) for n, p in self.api_ports.items())
        limit = LIMIT.format(n=self.rate_limit) if self.rate_limit > 0 else ''
        config = os.path.join(self.dir, 'haproxy.cfg')
        open(config, 'w').write(HAPROXY.format(port=self.port, limit=limit, servers=servers))
        self.procs['haproxy'] = subprocess.Popen(['haproxy', '-db', '-f', config], stdout=subprocess.DEVNULL,
                                                 stderr=open(os.path.join(self.dir, 'haproxy.log'), 'a'),
                                                 start_new_session=True)
        deadline = time.time() + 10
        while time.time() < deadline:
            try:
                socket.create_connection(('127.0.0.1', self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError('haproxy did not start: see %s/haproxy.log' % self.dir)

    def kill(self, name):
        """kill -9, as when a machine dies."""
        self.procs[name].kill()
        self.procs[name].wait()

    def restart(self, name):
        if name.startswith('api'):
            self.start_api(name, self.api_ports[name])  # the same port, where HAProxy looks for it
        else:
            self.start_worker(name)

    def stop(self):
        for name in ['haproxy'] + sorted(n for n in self.procs if n != 'haproxy'):
            p = self.procs[name]
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self.pg.stop()


def main():
    ap = argparse.ArgumentParser(description='the hall of fame as a cluster on 127.0.0.1')
    ap.add_argument('build')
    ap.add_argument('dir')
    ap.add_argument('--port', type=int, default=8080)
    ap.add_argument('--play')
    ap.add_argument('--rate-limit', type=int, default=10)
    ap.add_argument('--seconds', type=float, default=0, help='stop after this long (0: at Ctrl-C)')
    o = ap.parse_args()
    why = postgres_missing()
    if why or shutil.which('haproxy') is None:
        sys.exit('hall_cluster.py: ' + (why or 'no haproxy (tools/deps.sh installs it)'))
    stopping = []
    signal.signal(signal.SIGTERM, lambda *_: stopping.append(1))
    signal.signal(signal.SIGINT, lambda *_: stopping.append(1))
    cluster = Cluster(o.build, o.dir, o.port, rate_limit=o.rate_limit, play=o.play)
    try:
        print('The hall of fame on PostgreSQL, 2 API servers, 2 workers and HAProxy: http://127.0.0.1:%d/ '
              '(logs in %s; Ctrl-C stops them all)' % (o.port, o.dir), flush=True)
        end = time.time() + o.seconds if o.seconds > 0 else float('inf')
        while not stopping and time.time() < end:
            time.sleep(0.2)
    finally:
        cluster.stop()
    print('hall_cluster.py: stopped', flush=True)


if __name__ == '__main__':
    main()
