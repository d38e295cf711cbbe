#!/usr/bin/env python3
"""Real servers on 127.0.0.1 for the network tests (servers.sh starts them). Ends with exit 1 and
the reason when one cannot start, else runs until SIGTERM.

usage: servers.py [SPOOL] [--root DIR --user U --password P --ctl-file F [--throttle N]] [--http DIR --ctl-file F]

SPOOL: SMTP. aiosmtpd "auth" (AUTH LOGIN nahravky/heslo-123, no TLS) and "plain" (no authentication),
and the scripted fault servers of SCRIPTS, each logging what it reads to fault-<name>.log. Message n
is stored as n.eml with a summary n.txt by Python's email package; SPOOL/ports.txt (name=port) last.
--root: FTP. pyftpdlib on 127.0.0.1:21 with one user; "21" is written to --ctl-file once it listens.
--throttle N reads uploads at N bytes a second.
--http: http.server over DIR on a free port, written to --ctl-file.
"""
import warnings
warnings.simplefilter('ignore')
import argparse, base64, email, email.header, email.policy, email.utils, hashlib, os, signal, socket
import sys, threading, time

HOST = '127.0.0.1'


def append(path, text):
    with open(path, 'a', encoding='latin-1') as f:
        f.write(text + '\n')


def publish(path, text):
    """Writes a file that others wait for whole."""
    with open(path + '.tmp', 'w', encoding='utf-8') as f:
        f.write(text)
    os.replace(path + '.tmp', path)


def die(why):
    print('servers.py: ' + why, file=sys.stderr)
    sys.exit(1)


# --- SMTP ----------------------------------------------------------------------

class Spool:
    def __init__(self, folder):
        self.folder, self.count, self.lock = folder, 0, threading.Lock()
        os.makedirs(folder, exist_ok=True)

    def path(self, name):
        return os.path.join(self.folder, name)

    def store(self, raw, mail_from, rcpts, mail_options=()):
        with self.lock:
            self.count += 1
            n = self.count
        with open(self.path('%d.eml' % n), 'wb') as f:
            f.write(raw)
        m = email.message_from_bytes(raw, policy=email.policy.default)
        lines = ['mail_from=' + mail_from] + ['rcpt=' + r for r in rcpts]
        lines.append('mail_options=' + ' '.join(mail_options))
        # A parse takes seconds per 10 MB: a large message is judged by its attachment.
        small = len(raw) < 10 * 1024 * 1024
        lines.append('strict=' + (strict_defects(raw) if small else 'not checked (large)'))
        flat = lambda v: str(v).replace('\r', ' ').replace('\n', ' ')
        for h in ('From', 'To', 'Subject', 'Bcc'):
            if m[h] is not None:
                lines.append('header.%s=%s' % (h, flat(m[h])))
        # As RFC 2047 reads them: blanks between encoded words are no text (Python's address parser keeps them).
        legacy = email.message_from_bytes(raw, policy=email.policy.compat32) if small else {}
        for h in ('From', 'To'):
            if legacy.get(h) is not None:
                lines.append('rfc2047.%s=%s' % (h, flat(email.header.make_header(email.header.decode_header(legacy[h])))))
        for k, p in enumerate((p for p in m.walk() if not p.is_multipart()), 1):
            data = p.get_payload(decode=True) or b''
            name = p.get_param('name')
            for key, value in (('type', p.get_content_type()), ('charset', p.get_content_charset()),
                               ('encoding', p['Content-Transfer-Encoding']),
                               ('disposition', p.get_content_disposition()), ('filename', p.get_filename()),
                               ('name', email.utils.collapse_rfc2231_value(name) if name is not None else None),
                               ('size', len(data)), ('sha256', hashlib.sha256(data).hexdigest())):
                lines.append('part%d.%s=%s' % (k, key, value))
            if p.get_content_maintype() == 'text':
                # What a mail client shows: decoded by the declared charset.
                with open(self.path('%d.part%d.txt' % (n, k)), 'wb') as f:
                    f.write(p.get_content().encode('utf-8'))
        publish(self.path('%d.txt' % n), '\n'.join(lines) + '\n')


def strict_defects(raw):
    """What Python's email parser in strict mode finds wrong: 'ok' or the defects."""
    try:
        m = email.message_from_bytes(raw, policy=email.policy.strict)
        found = []
        for p in m.walk():
            found += [type(d).__name__ for d in p.defects]
            for k, v in p.items():
                found += [k + ':' + type(d).__name__ for d in getattr(v, 'defects', ())]
        return ' '.join(found) if found else 'ok'
    except Exception as e:
        return 'error ' + type(e).__name__ + ' ' + str(e).replace('\n', ' ')


class Conn:
    def __init__(self, sock, log, spool):
        self.s, self.buf, self.log, self.spool = sock, b'', log, spool
        self.s.settimeout(20)

    def note(self, text):
        append(self.log, text)

    def send(self, *pieces, pause=0.0):
        for p in pieces:
            self.s.sendall(p)
            time.sleep(pause)

    def say(self, *replies, pause=0.0):
        self.send(*[r + b'\r\n' for r in replies], pause=pause)

    def until(self, end):
        while end not in self.buf:
            d = self.s.recv(1 << 20)
            if not d:
                raise EOFError
            self.buf += d
        piece, self.buf = self.buf.split(end, 1)
        return piece

    def line(self):
        l = self.until(b'\r\n')
        self.note(l.decode('latin-1'))
        return l

    def data(self):
        body = self.until(b'\r\n.\r\n')
        return b'\r\n'.join(x[1:] if x.startswith(b'.') else x for x in body.split(b'\r\n')) + b'\r\n'


def hello(c, reply=b'250 hi'):
    c.say(b'220 ready')
    c.line()
    c.say(reply)


def transaction(c, ehlo=b'250 hi', say=None, mail_from_reply=b'250 OK', at_data=None):
    """The introduction answered with `ehlo` (unless None), then MAIL, RCPT..., DATA, QUIT; stores the
    message. `at_data` takes over once DATA is accepted."""
    say = say or c.say
    if ehlo:
        say(b'220 ready')
        c.line()
        say(ehlo)
    mail_from, rcpts = '', []
    while True:
        l = c.line()
        u = l.upper()
        if u.startswith(b'MAIL FROM'):
            mail_from = l[11:].decode('latin-1').strip(' <>')
            say(mail_from_reply)
        elif u.startswith(b'RCPT TO'):
            rcpts.append(l[9:].decode('latin-1').strip(' <>'))
            say(b'250 OK')
        elif u == b'DATA':
            say(b'354 go ahead')
            if at_data:
                return at_data(c)
            c.spool.store(c.data(), mail_from, rcpts)
            say(b'250 stored')
        elif u == b'QUIT':
            return say(b'221 bye')
        else:
            say(b'500 what')


def greet554(c):
    c.say(b'554 5.3.2 no service here')
    c.s.settimeout(3)
    while True:
        c.line()


def ehlo502(c):
    c.say(b'220 old server')
    c.say(b'502 5.5.1 EHLO not implemented' if c.line().upper().startswith(b'EHLO') else b'250 hi')
    c.say(b'250 hello' if c.line().upper().startswith(b'HELO') else b'503 bad sequence')
    transaction(c, None)


def data421(c):
    def shut(c):
        c.s.recv(4096)
        c.say(b'421 4.3.0 shutting down')
    transaction(c, at_data=shut)


def garbage(c):
    c.say(b'220 ready')
    while True:
        c.line()
        c.say(b'hello there, nice weather')


def split(c):
    # Every reply in pieces, cut inside the code and between CR and LF.
    def say(r):
        r += b'\r\n'
        c.send(r[:2], r[2:-1], r[-1:], pause=0.05)
    transaction(c, b'250-split.test\r\n250-SIZE 1000000\r\n250 HELP', say)


def multiline(c):
    # A long multi-line EHLO reply whose lines arrive one by one, slowly.
    hello(c, b'250-multi.test')
    c.say(*[b'250-X-EXTENSION-%02d some text to make it long' % i for i in range(40)], b'250 HELP', pause=0.02)
    transaction(c, None)


def datastall(c):
    # Takes DATA, then stops reading: the client's sending must time out.
    def stall(c):
        c.note('-- stalled')
        time.sleep(150)
    transaction(c, at_data=stall)


def authodd(c):
    # AUTH LOGIN with a challenge no client knows: "*" must cancel it before
    # anything else is said (RFC 4954), else the next command is taken as the answer.
    hello(c, b'250-odd.test\r\n250 AUTH LOGIN')
    while True:
        u = c.line().upper()
        if u == b'AUTH LOGIN':
            c.say(b'334 ' + base64.b64encode(b'Heslo a jmeno:'))
            answer = c.line()
            c.note('answer=' + answer.decode('latin-1'))
            c.say(b'501 5.7.0 cancelled' if answer == b'*' else b'535 5.7.8 no')
        elif u.startswith(b'MAIL FROM'):
            c.say(b'530 5.7.0 Authentication required')
        elif u == b'QUIT':
            return c.say(b'221 bye')
        else:
            c.say(b'503 bad sequence')


def closing(c):
    c.say(b'220 ready')
    c.line()


SCRIPTS = dict(greet554=greet554, ehlo502=ehlo502, data421=data421, garbage=garbage,
               garbagemail=lambda c: transaction(c, mail_from_reply=b'OK'), split=split, multiline=multiline,
               closing=closing, datastall=datastall, authodd=authodd)


def serve_script(name, script, listener, spool):
    log = spool.path('fault-%s.log' % name)
    while True:
        s, _ = listener.accept()
        append(log, '-- connection')

        def run(s=s):
            try:
                script(Conn(s, log, spool))
            except Exception:
                pass
            finally:
                s.close()
        threading.Thread(target=run, daemon=True).start()


def start_smtp(folder):
    try:
        from aiosmtpd.controller import Controller
        from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword
    except ImportError:
        die('python3-aiosmtpd is not installed (scripts/setup installs it)')
    spool = Spool(folder)

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if address.startswith('refuse'):
                return '550 5.1.1 No such user'
            envelope.rcpt_tos.append(address)
            return '250 OK'

        async def handle_DATA(self, server, session, envelope):
            spool.store(envelope.original_content or envelope.content, envelope.mail_from, envelope.rcpt_tos,
                        envelope.mail_options)
            return '250 Message accepted'

    def authenticator(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and data.login == b'nahravky' and data.password == b'heslo-123'
        return AuthResult(success=ok, handled=False)

    class LoginSMTP(SMTP):
        # The prompts of AUTH LOGIN as most servers word them.
        AuthLoginUsernameChallenge = 'Username:'
        AuthLoginPasswordChallenge = 'Password:'

    class LoginController(Controller):
        def factory(self):
            return LoginSMTP(self.handler, **self.SMTP_kwargs)

    def listener(name):
        l = socket.socket()
        l.bind((HOST, 0))
        ports[name] = l.getsockname()[1]
        return l

    ports = {}
    for name, auth in (('auth', True), ('plain', False)):
        listener(name).close()
        LoginController(Handler(), hostname=HOST, port=ports[name], authenticator=authenticator,
                        auth_required=auth, auth_require_tls=False, data_size_limit=300 * 1024 * 1024,
                        decode_data=False).start()
    for name, script in SCRIPTS.items():
        l = listener(name)
        l.listen(8)
        threading.Thread(target=serve_script, args=(name, script, l, spool), daemon=True).start()
    publish(spool.path('ports.txt'), ''.join('%s=%d\n' % kv for kv in ports.items()))


# --- FTP -----------------------------------------------------------------------

def serve_ftp(a):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer
    handler = FTPHandler
    handler.authorizer = DummyAuthorizer()
    handler.authorizer.add_user(a.user, a.password, a.root, perm='elradfmwMT')
    if a.throttle:
        handler.dtp_handler = ThrottledDTPHandler
        handler.dtp_handler.read_limit = a.throttle
    handler.auth_failed_timeout = 0.2  # the tests wait for the outcome of a wrong password
    try:
        server = FTPServer((HOST, 21), handler)
    except OSError as e:
        die('cannot bind %s:21: %s' % (HOST, e))
    publish(a.ctl_file, '21\n')
    server.serve_forever(timeout=0.2, blocking=True, handle_exit=True)


def start_http(root, port_file):
    import functools, http.server
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=root)
    server = http.server.ThreadingHTTPServer((HOST, 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    publish(port_file, '%d\n' % server.server_address[1])


def main():
    p = argparse.ArgumentParser()
    p.add_argument('spool', nargs='?')
    for o in ('--root', '--user', '--password', '--ctl-file', '--http'):
        p.add_argument(o)
    p.add_argument('--throttle', type=int, default=0)
    a = p.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    if a.spool:
        start_smtp(a.spool)
    if a.http:
        start_http(a.http, a.ctl_file)
    if a.root:
        serve_ftp(a)
    threading.Event().wait()


if __name__ == '__main__':
    main()
