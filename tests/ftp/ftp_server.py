#!/usr/bin/python3
"""A real FTP server on 127.0.0.1:21 for the FTP tests, with a control port.

The supervisor runs the FTP server as a child process so that a test can stop
and start it (to see what an upload does against a stopped server). It
listens on a free loopback port for one-line commands:

  stop          the FTP server goes away (port 21 refuses connections)
  start         the FTP server comes back (waits until port 21 accepts)
  ping          answers "ok"

With --throttle N the server reads uploads at N bytes a second (a slow link).

Every command is answered with one line, "ok" or "err <reason>". The control
port is written to --ctl-file once the FTP server accepts connections.
Exit code 77 when port 21 cannot be bound (the test is skipped).
"""

import argparse
import os
import socket
import subprocess
import sys
import time

FTP_HOST = "127.0.0.1"
FTP_PORT = 21


def serve(root, user, password, throttle):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    if throttle:
        dtp = ThrottledDTPHandler
        dtp.read_limit = throttle
        handler.dtp_handler = dtp
    # A wrong password is answered at once: the tests wait for the outcome.
    handler.auth_failed_timeout = 0.2
    # Active mode: the server connects back to the client's port.
    handler.permit_foreign_addresses = False
    try:
        server = FTPServer((FTP_HOST, FTP_PORT), handler)
    except OSError as e:
        print("ftp_server: cannot bind %s:%d: %s" % (FTP_HOST, FTP_PORT, e), file=sys.stderr)
        sys.exit(77)
    server.max_cons = 32
    server.serve_forever(timeout=0.2, blocking=True, handle_exit=True)


def port_accepts(timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            with socket.create_connection((FTP_HOST, FTP_PORT), timeout=0.5) as s:
                s.recv(64)  # the greeting
                return True
        except OSError:
            time.sleep(0.05)
    return False


class Supervisor:
    def __init__(self, args):
        self.args = args
        self.child = None

    def start(self):
        if self.child and self.child.poll() is None:
            return "ok"
        cmd = [sys.executable, os.path.abspath(__file__), "--serve", "--root", self.args.root,
               "--user", self.args.user, "--password", self.args.password,
               "--throttle", str(self.args.throttle)]
        self.child = subprocess.Popen(cmd, stdin=subprocess.DEVNULL)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if self.child.poll() is not None:
                return "err exit %d" % self.child.returncode
            if port_accepts(0.5):
                return "ok"
        return "err timeout"

    def stop(self):
        if self.child and self.child.poll() is None:
            self.child.terminate()
            try:
                self.child.wait(5)
            except subprocess.TimeoutExpired:
                self.child.kill()
                self.child.wait()
        self.child = None
        return "ok"

    def run(self):
        answer = self.start()
        if answer != "ok":
            code = self.child.returncode if self.child and self.child.poll() is not None else 1
            print("ftp_server: FTP server did not start: %s" % answer, file=sys.stderr)
            self.stop()
            return 77 if code == 77 else 1
        ctl = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        ctl.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        ctl.bind((FTP_HOST, 0))
        ctl.listen(4)
        tmp = self.args.ctl_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % ctl.getsockname()[1])
        os.rename(tmp, self.args.ctl_file)
        try:
            while True:
                conn, _ = ctl.accept()
                with conn:
                    conn.settimeout(30)
                    data = b""
                    try:
                        while not data.endswith(b"\n"):
                            chunk = conn.recv(256)
                            if not chunk:
                                break
                            data += chunk
                    except OSError:
                        continue
                    command = data.decode("ascii", "replace").strip()
                    if command == "stop":
                        answer = self.stop()
                    elif command == "start":
                        answer = self.start()
                    elif command == "ping":
                        answer = "ok"
                    elif command == "quit":
                        conn.sendall(b"ok\n")
                        break
                    else:
                        answer = "err unknown command"
                    try:
                        conn.sendall((answer + "\n").encode("ascii"))
                    except OSError:
                        pass
        finally:
            self.stop()
            ctl.close()
        return 0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--serve", action="store_true")
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--ctl-file")
    p.add_argument("--throttle", type=int, default=0)
    args = p.parse_args()
    if args.serve:
        serve(args.root, args.user, args.password, args.throttle)
        return 0
    if not args.ctl_file:
        p.error("--ctl-file is required")
    import signal
    sup = Supervisor(args)
    signal.signal(signal.SIGTERM, lambda *a: (sup.stop(), sys.exit(0)))
    return sup.run()


if __name__ == "__main__":
    sys.exit(main())
