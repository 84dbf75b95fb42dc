"""SMTP server for the tests: implicit TLS on one port, plain with STARTTLS on
another, password login (PLAIN, LOGIN) required before MAIL. Every accepted
message is written, byte for byte as received, into the Maildir of the
recipient's user (the local part of the address; unknown users get the first
user of the users file).
Recipients named "reject" are refused. The plain port and the implicit-TLS
port offer SMTPUTF8, as common servers do; --ascii-port is a plain port that
does not."""
import argparse
import asyncio
import os
import ssl
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

args = None
users = {}
first_user = "test"
counter = 0


class Deliver:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        # "reject@..." stands for a mailbox the server does not know.
        if address.split("@")[0] == "reject":
            return "550 5.1.1 Mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        global counter
        data = envelope.original_content or envelope.content
        if isinstance(data, str):
            data = data.encode("utf-8", "surrogateescape")
        for rcpt in envelope.rcpt_tos:
            user = rcpt.split("@")[0]
            if user not in users:
                user = first_user
            box = os.path.join(args.maildir, user)
            counter += 1
            name = "%d.S%06d.smtp" % (int(time.time()), counter)
            tmp = os.path.join(box, "tmp", name)
            with open(tmp, "wb") as f:
                f.write(data)
            os.chown(tmp, args.uid, args.gid)
            os.rename(tmp, os.path.join(box, "new", name))
        return "250 OK delivered"


def check_password(server, session, envelope, mechanism, auth_data):
    if not isinstance(auth_data, LoginPassword):
        return AuthResult(success=False, handled=False)
    login = auth_data.login.decode("utf-8", "replace")
    password = auth_data.password.decode("utf-8", "replace")
    # handled=False: let the server send its own 235 or 535 reply.
    return AuthResult(success=users.get(login) == password, handled=False)


class ImplicitTlsController(Controller):
    pass


def main():
    global args, first_user
    p = argparse.ArgumentParser()
    for name in ("--maildir", "--cert", "--key", "--users"):
        p.add_argument(name, required=True)
    for name in ("--uid", "--gid", "--port", "--tls-port", "--ascii-port"):
        p.add_argument(name, type=int, required=True)
    args = p.parse_args()
    if os.environ.get("MAIL_SMTP_DEBUG"):
        import logging
        logging.basicConfig(level=logging.DEBUG)
    with open(args.users) as f:
        for line in f:
            fields = line.strip().split(":")
            if len(fields) > 1:
                if not users:
                    first_user = fields[0]
                users[fields[0]] = fields[1].replace("{PLAIN}", "")

    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(args.cert, args.key)
    common = dict(authenticator=check_password, auth_required=True,
                  auth_require_tls=False, hostname="127.0.0.1")
    starttls = Controller(Deliver(), port=args.port, tls_context=context,
                          require_starttls=False, **common)
    implicit = Controller(Deliver(), port=args.tls_port, ssl_context=context, **common)
    ascii_only = Controller(Deliver(), port=args.ascii_port, tls_context=context,
                            require_starttls=False, enable_SMTPUTF8=False, **common)
    starttls.start()
    implicit.start()
    ascii_only.start()
    try:
        while True:
            time.sleep(3600)
    finally:
        starttls.stop()
        implicit.stop()
        ascii_only.stop()


if __name__ == "__main__":
    main()
