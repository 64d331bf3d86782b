#!/usr/bin/env python3
"""A real FTP server on loopback for the FTP transport's tests (Debian's python3-pyftpdlib).

Usage: ftp_test_server.py DIR

Serves DIR/home (with an empty DIR/home/vigiltron) to the user "monitor" with the password
"s3cret", and opens a second port that accepts connections and never says a word. Prints one line
  READY ftp=PORT silent=PORT home=DIR/home
and serves until its standard input closes.

While a file DIR/drop exists, the next command the server receives is not answered: the file is
removed and the control connection closed, as a server that goes away mid-session would.
"""

import logging
import os
import socket
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer

USER = "monitor"
PASSWORD = "s3cret"


def serve_silently(listener, held):
    while True:
        try:
            connection, _ = listener.accept()
        except OSError:
            return
        held.append(connection)  # kept open, never answered


def main():
    directory = os.path.abspath(sys.argv[1])
    home = os.path.join(directory, "home")
    os.makedirs(os.path.join(home, "vigiltron"), exist_ok=True)
    drop_flag = os.path.join(directory, "drop")

    authorizer = DummyAuthorizer()
    authorizer.add_user(USER, PASSWORD, home, perm="elradfmwMT")

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if os.path.exists(drop_flag):
                os.remove(drop_flag)
                self.close()
                return
            super().pre_process_command(line, cmd, arg)

    Handler.authorizer = authorizer
    # A refused login answers at once rather than after the usual pause.
    Handler.auth_failed_timeout = 0.1
    logging.basicConfig(level=logging.WARNING)
    server = ThreadedFTPServer(("127.0.0.1", 0), Handler)
    threading.Thread(target=server.serve_forever, kwargs={"handle_exit": False},
                     daemon=True).start()

    silent = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    silent.bind(("127.0.0.1", 0))
    silent.listen(8)
    held = []
    threading.Thread(target=serve_silently, args=(silent, held), daemon=True).start()

    print("READY ftp=%d silent=%d home=%s" % (server.address[1], silent.getsockname()[1], home),
          flush=True)
    sys.stdin.read()
    silent.close()
    server.close_all()


if __name__ == "__main__":
    main()
