#!/usr/bin/env python3
"""Real SMTP servers on loopback for the mail transport's tests (Debian's python3-aiosmtpd).

Usage: smtp_test_server.py DIR

Makes a self-signed certificate for 127.0.0.1 and localhost in DIR, then serves three ports:
  plain     no TLS; AUTH allowed in clear (loopback only)
  starttls  offers STARTTLS and requires it, and requires AUTH
  smtps     TLS from the first byte (implicit TLS)
AUTH accepts only the user "alarm" with the password "s3cret". Prints one line
  READY plain=PORT starttls=PORT smtps=PORT ca=CERTFILE
and serves until its standard input closes. Every accepted message N is written to DIR as
N.eml (the bytes received) and N.json (envelope, decoded subject, whether TLS and AUTH were used).
"""

import json
import os
import socket
import ssl
import subprocess
import sys
from email import message_from_bytes, policy

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

USER = b"alarm"
PASSWORD = b"s3cret"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_certificate(directory):
    cert = os.path.join(directory, "cert.pem")
    key = os.path.join(directory, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
         "-keyout", key, "-out", cert, "-subj", "/CN=localhost",
         "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return cert, context


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and \
        auth_data.login == USER and auth_data.password == PASSWORD
    # Not "handled": the server itself answers a refusal with 535.
    return AuthResult(success=ok, handled=False)


class Mailbox:
    def __init__(self, directory):
        self.directory = directory
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.directory, str(self.count))
        with open(base + ".eml", "wb") as f:
            f.write(envelope.content)
        message = message_from_bytes(envelope.content, policy=policy.default)
        facts = {
            "from": envelope.mail_from,
            "to": envelope.rcpt_tos,
            "subject": str(message["Subject"]),
            "tls": session.ssl is not None or
                   server.transport.get_extra_info("ssl_object") is not None,
            "authenticated": bool(session.authenticated),
        }
        # Written last and renamed into place: a test that sees it sees the whole message.
        with open(base + ".tmp", "w") as f:
            json.dump(facts, f)
        os.rename(base + ".tmp", base + ".json")
        return "250 Message accepted for delivery"


def main():
    directory = os.path.abspath(sys.argv[1])
    cert, context = make_certificate(directory)
    mailbox = Mailbox(directory)
    common = dict(hostname="127.0.0.1", authenticator=authenticate)
    servers = {
        "plain": Controller(mailbox, port=free_port(), auth_require_tls=False, **common),
        "starttls": Controller(mailbox, port=free_port(), tls_context=context,
                               require_starttls=True, auth_required=True, **common),
        "smtps": Controller(mailbox, port=free_port(), ssl_context=context, **common),
    }
    for server in servers.values():
        server.start()
    ports = " ".join("%s=%d" % (name, s.port) for name, s in servers.items())
    print("READY %s ca=%s" % (ports, cert), flush=True)
    sys.stdin.read()
    for server in servers.values():
        server.stop()


if __name__ == "__main__":
    main()
