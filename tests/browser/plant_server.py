"""The plant's side of the browser run: a PostgreSQL of its own, set up by surge-audit
setup-server, plant users made by surge-users --server, and surge-plant on a free port.

As root, the database runs as the user postgres, as scripts/plant runs it.
"""
import os
import shutil
import subprocess
import time
import urllib.request

from webdriver import free_port

PG_BIN = "/usr/lib/postgresql/15/bin"
SUPERUSER = "surge"
PASSWORD = "pw-surge"


class PlantServer:
    def __init__(self, build, work):
        self.build = build
        self.home = os.path.join(work, "pg")
        self.data = os.path.join(self.home, "data")
        self.db_port = free_port()
        self.port = None
        self.service = None
        self.as_postgres = ["runuser", "-u", "postgres", "--"] if os.geteuid() == 0 else []
        os.makedirs(self.home)
        with open(os.path.join(self.home, "pw"), "w") as f:
            f.write(PASSWORD + "\n")
        os.chmod(os.path.join(self.home, "pw"), 0o600)
        if self.as_postgres:
            shutil.chown(work, "postgres")
            for path in [self.home, os.path.join(self.home, "pw")]:
                shutil.chown(path, "postgres")
        self._run([f"{PG_BIN}/initdb", "-N", "-A", "scram-sha-256", "-U", SUPERUSER,
                   f"--pwfile={self.home}/pw", "-E", "UTF8", "--no-locale", "-D", self.data])
        self._run([f"{PG_BIN}/pg_ctl", "-w", "-s", "-D", self.data, "-l",
                   os.path.join(self.home, "server.log"), "-o",
                   f"-c listen_addresses=127.0.0.1 -p {self.db_port} -k {self.home}", "start"])

    def _run(self, args):
        subprocess.run(self.as_postgres + args, check=True, stdout=subprocess.DEVNULL)

    def setting(self, user=SUPERUSER):
        return f"host=127.0.0.1 port={self.db_port} dbname=postgres user={user}"

    def dba_env(self):
        return dict(os.environ, SURGE_HISTORY_DB=self.setting(), SURGE_HISTORY_PASSWORD=PASSWORD)

    def sql(self, statement):
        subprocess.run(["psql", "-q", "-h", "127.0.0.1", "-p", str(self.db_port), "-U", SUPERUSER,
                        "-d", "postgres", "-c", statement],
                       check=True, env=dict(os.environ, PGPASSWORD=PASSWORD),
                       stdout=subprocess.DEVNULL)

    def tool(self, name, *args, stdin=""):
        """Runs a tool as the plant's DBA; its output goes to the run's "tools.log"."""
        with open(os.path.join(self.home, "..", "tools.log"), "a") as log:
            subprocess.run([os.path.join(self.build, "bin", name), *args], input=stdin.encode(),
                           check=True, env=self.dba_env(), stdout=log, stderr=subprocess.STDOUT)

    def login(self, role, password):
        """A login of its own on the server."""
        self.sql(f"CREATE ROLE {role} LOGIN PASSWORD '{password}'")

    def start_service(self, work, web_folder):
        """surge-plant on a free port of the loopback as the login "plantweb"; its base URL."""
        self.port = free_port()
        with open(os.path.join(work, "service-pw"), "w") as f:
            f.write("pw-plantweb\n")
        os.chmod(os.path.join(work, "service-pw"), 0o600)
        config = os.path.join(work, "plant.ini")
        with open(config, "w") as f:
            f.write(f"[listen]\naddress = 127.0.0.1\nport = {self.port}\n"
                    f"[database]\nhost = 127.0.0.1\nport = {self.db_port}\nname = postgres\n"
                    f"user = plantweb\npassword_file = {work}/service-pw\n"
                    f"[web]\nfolder = {web_folder}\n[session]\nplain_http_test_run = true\n")
        self.service = subprocess.Popen(
            [os.path.join(self.build, "bin", "surge-plant"), "--config", config],
            stdout=open(os.path.join(work, "surge-plant.log"), "w"), stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 20
        while True:
            try:
                urllib.request.urlopen(f"{self.url()}/health", timeout=2).close()
                return self.url()
            except OSError:
                if self.service.poll() is not None or time.monotonic() > deadline:
                    raise RuntimeError("surge-plant did not start")
                time.sleep(0.1)

    def url(self):
        return f"http://127.0.0.1:{self.port}"

    def stop(self):
        if self.service is not None and self.service.poll() is None:
            self.service.terminate()
            self.service.wait(timeout=10)
        self._run([f"{PG_BIN}/pg_ctl", "-w", "-s", "-D", self.data, "-m", "fast", "stop"])
