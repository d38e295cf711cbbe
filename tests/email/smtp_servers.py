#!/usr/bin/env python3
"""Real SMTP servers on 127.0.0.1 for the e-mail tests.

usage: smtp_servers.py <spool-folder>

Starts an aiosmtpd server that requires AUTH LOGIN (user "nahravky",
password "heslo-123", TLS not required), one without authentication, and
small scripted servers for the faults aiosmtpd cannot produce. Every received
message is stored as <n>.eml with a summary <n>.txt made by Python's email
package; the scripted servers log each command line they read to
fault-<name>.log. The ports go to <spool>/ports.txt as name=port lines,
written last. Runs until stdin closes or SIGTERM.
"""
import warnings
warnings.simplefilter('ignore')
import asyncio, base64, email, email.header, email.policy, email.utils, hashlib, os, signal, socket, sys, threading, time
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

spool = sys.argv[1]
os.makedirs(spool, exist_ok=True)
counter = [0]
lock = threading.Lock()


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


def store(raw, mail_from, rcpts, mail_options=()):
    with lock:
        counter[0] += 1
        n = counter[0]
    with open(os.path.join(spool, '%d.eml' % n), 'wb') as f:
        f.write(raw)
    m = email.message_from_bytes(raw, policy=email.policy.default)
    lines = ['mail_from=' + mail_from]
    lines += ['rcpt=' + r for r in rcpts]
    lines.append('mail_options=' + ' '.join(mail_options))
    # A parse takes seconds per 10 MB: large messages are judged by their
    # attachment alone.
    small = len(raw) < 10 * 1024 * 1024
    lines.append('strict=' + (strict_defects(raw) if small else 'not checked (large)'))
    for h in ('From', 'To', 'Subject', 'Date', 'MIME-Version', 'X-Mailer', 'Bcc'):
        if m[h] is not None:
            lines.append('header.%s=%s' % (h, str(m[h]).replace('\r', ' ').replace('\n', ' ')))
    # The address headers as RFC 2047 reads them: white space between two
    # encoded words is no part of the text (Python's address parser keeps it).
    legacy = email.message_from_bytes(raw, policy=email.policy.compat32) if small else {}
    for h in ('From', 'To'):
        if legacy.get(h) is not None:
            value = str(email.header.make_header(email.header.decode_header(legacy[h])))
            lines.append('rfc2047.%s=%s' % (h, value.replace('\r', ' ').replace('\n', ' ')))
    lines.append('type=' + m.get_content_type())
    k = 0
    for p in m.walk():
        if p.is_multipart():
            continue
        k += 1
        data = p.get_payload(decode=True) or b''
        lines.append('part%d.type=%s' % (k, p.get_content_type()))
        lines.append('part%d.charset=%s' % (k, p.get_content_charset()))
        lines.append('part%d.encoding=%s' % (k, p['Content-Transfer-Encoding']))
        lines.append('part%d.disposition=%s' % (k, p.get_content_disposition()))
        lines.append('part%d.filename=%s' % (k, p.get_filename()))
        lines.append('part%d.name=%s' % (k, email.utils.collapse_rfc2231_value(p.get_param('name'))
                                         if p.get_param('name') is not None else None))
        lines.append('part%d.size=%d' % (k, len(data)))
        lines.append('part%d.sha256=%s' % (k, hashlib.sha256(data).hexdigest()))
        if p.get_content_maintype() == 'text':
            # What a mail client shows: decoded by the declared charset.
            with open(os.path.join(spool, '%d.part%d.txt' % (n, k)), 'wb') as f:
                f.write(p.get_content().encode('utf-8'))
    with open(os.path.join(spool, '%d.txt.tmp' % n), 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines) + '\n')
    os.replace(os.path.join(spool, '%d.txt.tmp' % n), os.path.join(spool, '%d.txt' % n))


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith('refuse'):
            return '550 5.1.1 No such user'
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        store(envelope.original_content or envelope.content, envelope.mail_from, envelope.rcpt_tos,
              envelope.mail_options)
        return '250 Message accepted'


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b'nahravky' and \
        auth_data.password == b'heslo-123'
    return AuthResult(success=ok, handled=False)


class LoginSMTP(SMTP):
    # The prompts of AUTH LOGIN as most servers word them.
    AuthLoginUsernameChallenge = 'Username:'
    AuthLoginPasswordChallenge = 'Password:'


class LoginController(Controller):
    def factory(self):
        return LoginSMTP(self.handler, **self.SMTP_kwargs)


def free_port():
    s = socket.socket()
    s.bind(('127.0.0.1', 0))
    p = s.getsockname()[1]
    s.close()
    return p


ports = {}
controllers = []
for name, auth in (('auth', True), ('plain', False)):
    port = free_port()
    c = LoginController(Handler(), hostname='127.0.0.1', port=port, authenticator=authenticator,
                   auth_required=auth, auth_require_tls=False, data_size_limit=300 * 1024 * 1024,
                   decode_data=False)
    c.start()
    controllers.append(c)
    ports[name] = port


# --- scripted servers ---------------------------------------------------------

class Conn:
    def __init__(self, sock, log):
        self.s, self.buf, self.log = sock, b'', log
        self.s.settimeout(20)

    def send(self, *pieces, pause=0.0):
        for p in pieces:
            self.s.sendall(p)
            if pause:
                time.sleep(pause)

    def line(self):
        while b'\r\n' not in self.buf:
            d = self.s.recv(65536)
            if not d:
                raise EOFError
            self.buf += d
        l, self.buf = self.buf.split(b'\r\n', 1)
        with open(self.log, 'a', encoding='latin-1') as f:
            f.write(l.decode('latin-1') + '\n')
        return l

    def data(self):
        while b'\r\n.\r\n' not in self.buf:
            d = self.s.recv(1 << 20)
            if not d:
                raise EOFError
            self.buf += d
        body, self.buf = self.buf.split(b'\r\n.\r\n', 1)
        return body


def transaction(c, mail_from_reply=b'250 OK\r\n'):
    """MAIL, RCPT..., DATA, QUIT after the introduction; stores the message."""
    mail_from, rcpts = '', []
    while True:
        l = c.line()
        u = l.upper()
        if u.startswith(b'MAIL FROM'):
            mail_from = l[11:].decode('latin-1').strip(' <>')
            c.send(mail_from_reply)
        elif u.startswith(b'RCPT TO'):
            rcpts.append(l[9:].decode('latin-1').strip(' <>'))
            c.send(b'250 OK\r\n')
        elif u == b'DATA':
            c.send(b'354 go ahead\r\n')
            body = c.data()
            raw = b'\r\n'.join(x[1:] if x.startswith(b'.') else x for x in body.split(b'\r\n')) + b'\r\n'
            store(raw, mail_from, rcpts)
            c.send(b'250 stored\r\n')
        elif u == b'QUIT':
            c.send(b'221 bye\r\n')
            return
        else:
            c.send(b'500 what\r\n')


def greet554(c):
    c.send(b'554 5.3.2 no service here\r\n')
    try:
        c.s.settimeout(3)
        while True:
            c.line()
    except Exception:
        pass


def ehlo502(c):
    c.send(b'220 old server\r\n')
    l = c.line()
    c.send(b'502 5.5.1 EHLO not implemented\r\n' if l.upper().startswith(b'EHLO') else b'250 hi\r\n')
    l = c.line()
    c.send(b'250 hello\r\n' if l.upper().startswith(b'HELO') else b'503 bad sequence\r\n')
    transaction(c)


def data421(c):
    c.send(b'220 ready\r\n')
    c.line()
    c.send(b'250 hi\r\n')
    while True:
        l = c.line().upper()
        if l == b'DATA':
            c.send(b'354 go ahead\r\n')
            c.s.recv(4096)
            c.send(b'421 4.3.0 shutting down\r\n')
            c.s.close()
            return
        c.send(b'250 OK\r\n')


def garbage(c):
    c.send(b'220 ready\r\n')
    while True:
        c.line()
        c.send(b'hello there, nice weather\r\n')


def garbagemail(c):
    c.send(b'220 ready\r\n')
    c.line()
    c.send(b'250 hi\r\n')
    transaction(c, mail_from_reply=b'OK\r\n')


def split(c):
    # Every reply in several TCP segments, some cut inside a line.
    c.send(b'22', b'0 rea', b'dy\r', b'\n', pause=0.05)
    c.line()
    c.send(b'250-split.test\r\n250-SI', b'ZE 1000000\r\n', b'250 ', b'HELP\r\n', pause=0.05)
    mail_from, rcpts = '', []
    while True:
        l = c.line()
        u = l.upper()
        if u.startswith(b'MAIL FROM'):
            mail_from = l[11:].decode('latin-1').strip(' <>')
            c.send(b'2', b'50 O', b'K\r\n', pause=0.05)
        elif u.startswith(b'RCPT TO'):
            rcpts.append(l[9:].decode('latin-1').strip(' <>'))
            c.send(b'25', b'0 OK\r\n', pause=0.05)
        elif u == b'DATA':
            c.send(b'35', b'4 go\r\n', pause=0.05)
            body = c.data()
            store(b'\r\n'.join(x[1:] if x.startswith(b'.') else x for x in body.split(b'\r\n')) + b'\r\n',
                  mail_from, rcpts)
            c.send(b'250', b' stored\r', b'\n', pause=0.05)
        elif u == b'QUIT':
            c.send(b'221 bye\r\n')
            return


def multiline(c):
    # A long multi-line EHLO reply whose lines arrive one by one, slowly.
    c.send(b'220 ready\r\n')
    c.line()
    lines = [b'250-multi.test'] + [b'250-X-EXTENSION-%02d some text to make it long' % i for i in range(40)]
    lines.append(b'250 HELP')
    c.send(*[x + b'\r\n' for x in lines], pause=0.02)
    transaction(c)


def datastall(c):
    # Takes DATA, then stops reading: the client's sending must time out.
    c.send(b'220 ready\r\n')
    c.line()
    c.send(b'250 hi\r\n')
    while True:
        l = c.line().upper()
        if l == b'DATA':
            c.send(b'354 go ahead\r\n')
            with open(c.log, 'a') as f:
                f.write('-- stalled\n')
            time.sleep(150)
            return
        c.send(b'250 OK\r\n')


def authodd(c):
    # AUTH LOGIN with a challenge no client knows; "*" must cancel it before
    # anything else is said (RFC 4954), else the next command is taken as
    # the answer.
    c.send(b'220 ready\r\n')
    c.line()
    c.send(b'250-odd.test\r\n250 AUTH LOGIN\r\n')
    while True:
        l = c.line()
        u = l.upper()
        if u == b'AUTH LOGIN':
            c.send(b'334 ' + base64.b64encode(b'Heslo a jmeno:') + b'\r\n')
            answer = c.line()
            with open(c.log, 'a', encoding='latin-1') as f:
                f.write('answer=' + answer.decode('latin-1') + '\n')
            c.send(b'501 5.7.0 cancelled\r\n' if answer == b'*' else b'535 5.7.8 no\r\n')
        elif u.startswith(b'MAIL FROM'):
            c.send(b'530 5.7.0 Authentication required\r\n')
        elif u == b'QUIT':
            c.send(b'221 bye\r\n')
            return
        else:
            c.send(b'503 bad sequence\r\n')


def closing(c):
    c.send(b'220 ready\r\n')
    c.line()
    c.s.close()


scripts = dict(greet554=greet554, ehlo502=ehlo502, data421=data421, garbage=garbage,
               garbagemail=garbagemail, split=split, multiline=multiline, closing=closing,
               datastall=datastall, authodd=authodd)


def serve(name, fn, listener):
    log = os.path.join(spool, 'fault-%s.log' % name)
    while True:
        try:
            s, _ = listener.accept()
        except OSError:
            return
        with open(log, 'a') as f:
            f.write('-- connection\n')

        def run(s=s):
            try:
                fn(Conn(s, log))
            except Exception:
                pass
            finally:
                try:
                    s.close()
                except OSError:
                    pass
        threading.Thread(target=run, daemon=True).start()


listeners = []
for name, fn in scripts.items():
    l = socket.socket()
    l.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    l.bind(('127.0.0.1', 0))
    l.listen(8)
    listeners.append(l)
    ports[name] = l.getsockname()[1]
    threading.Thread(target=serve, args=(name, fn, l), daemon=True).start()

with open(os.path.join(spool, 'ports.tmp'), 'w') as f:
    for k, v in ports.items():
        f.write('%s=%d\n' % (k, v))
os.replace(os.path.join(spool, 'ports.tmp'), os.path.join(spool, 'ports.txt'))

stop = threading.Event()
signal.signal(signal.SIGTERM, lambda *a: stop.set())
signal.signal(signal.SIGINT, lambda *a: stop.set())
stop.wait(float(os.environ.get('TONBAR_SMTP_SERVER_SECONDS', '1800')))
for c in controllers:
    c.stop()
for l in listeners:
    l.close()
