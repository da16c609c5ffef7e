"""A PostgreSQL 15 of the test's own: initdb in a temporary folder, the server
listening only on a Unix socket in that folder (no TCP at all), stopped and
removed by stop(). initdb refuses root, so as root it runs as the postgres
user Debian's package makes. Where the binaries are missing, skip() ends the
test with CTest's skip code."""
import os, pwd, shutil, subprocess, sys, tempfile

BIN = os.environ.get('BURROW_PG_BIN', '/usr/lib/postgresql/15/bin')
SKIPPED = 77


def skip_unless_present():
    if not os.access(os.path.join(BIN, 'initdb'), os.X_OK) or not os.access(os.path.join(BIN, 'pg_ctl'), os.X_OK):
        print('SKIPPED: no PostgreSQL 15 in %s (tools/deps.sh installs postgresql-15)' % BIN)
        sys.exit(SKIPPED)


class Postgres:
    def __init__(self, port=5432):
        skip_unless_present()
        self.dir = tempfile.mkdtemp(prefix='burrow-pg-')
        os.chmod(self.dir, 0o755)
        self.data, self.port = os.path.join(self.dir, 'data'), port
        self.as_user = []
        if os.getuid() == 0:
            os.chown(self.dir, pwd.getpwnam('postgres').pw_uid, pwd.getpwnam('postgres').pw_gid)
            self.as_user = ['runuser', '-u', 'postgres', '--']
        self.tool('initdb', '-D', self.data, '-U', 'postgres', '--auth=trust', '--no-sync', '-E', 'UTF8')
        self.start()
        self.uri = 'postgresql:///postgres?host=%s&port=%d&user=postgres' % (self.dir, port)

    def tool(self, name, *args, **kw):
        return subprocess.run(self.as_user + [os.path.join(BIN, name)] + list(args), check=True,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, **kw).stdout

    def start(self):
        self.tool('pg_ctl', '-D', self.data, '-w', '-t', '60', '-l', os.path.join(self.dir, 'log'), 'start', '-o',
                  "-c listen_addresses='' -c unix_socket_directories='%s' -p %d -c max_connections=200"
                  % (self.dir, self.port))

    def kill(self):
        """kill -9 of the postmaster, as a machine that loses it."""
        pid = int(open(os.path.join(self.data, 'postmaster.pid')).readline())
        os.kill(pid, 9)

    def sql(self, statement, **values):
        """Runs SQL through psql; :'name' in it stands for values['name'], quoted."""
        args = [os.path.join(BIN, 'psql'), '-X', '-q', '-t', '-A', '-v', 'ON_ERROR_STOP=1', '-d', self.uri]
        for k, v in values.items():
            args += ['-v', '%s=%s' % (k, v)]
        return subprocess.run(args, input=statement, check=True, capture_output=True, text=True).stdout.strip()

    def stop(self):
        try:
            self.tool('pg_ctl', '-D', self.data, '-m', 'immediate', 'stop')
        except subprocess.CalledProcessError:
            pass
        shutil.rmtree(self.dir, ignore_errors=True)
