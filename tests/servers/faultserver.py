"""Small faulty servers for the tests, on 127.0.0.1 and a free port that is
printed as the first line of standard output.

  faultserver.py silent
      accepts connections and never says a word.
  faultserver.py proxy TARGET_PORT --cut-on REGEX [--count K] [--connections C]
                  [--record FILE] [--hide WORD]
      forwards to 127.0.0.1:TARGET_PORT and cuts both sides of a connection
      when the client sends its K-th line matching REGEX (that line is not
      forwarded). Only the first C connections are cut (default: all). With
      --record, every line forwarded from a client is appended to FILE. With
      --hide WORD, the word is taken out of what the server says (a
      capability it does not offer then).
  faultserver.py endless-pop3 [--one-line]
      a POP3 server with one message whose RETR answer never ends: endless
      short lines, or one endless line.

Both stop when standard input closes, so they never outlive the test."""
import argparse
import itertools
import os
import re
import socket
import sys
import threading


def main():
    p = argparse.ArgumentParser()
    p.add_argument("mode", choices=["silent", "proxy", "endless-pop3"])
    p.add_argument("target", type=int, nargs="?")
    p.add_argument("--cut-on", default="(?!)")
    p.add_argument("--count", type=int, default=1)
    p.add_argument("--connections", type=int, default=-1)
    p.add_argument("--record")
    p.add_argument("--hide")
    p.add_argument("--one-line", action="store_true")
    a = p.parse_args()

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print(listener.getsockname()[1], flush=True)
    held = []
    record = open(a.record, "ab", buffering=0) if a.record else None
    record_lock = threading.Lock()
    numbers = itertools.count(1)

    def close(*sockets):
        for s in sockets:
            try:
                s.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            s.close()

    def down(server, client):
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                if a.hide:
                    data = data.replace(b" " + a.hide.encode(), b"")
                client.sendall(data)
        except OSError:
            pass
        close(client, server)

    def proxy(client):
        number = next(numbers)
        server = socket.create_connection(("127.0.0.1", a.target))
        threading.Thread(target=down, args=(server, client), daemon=True).start()
        if 0 <= a.connections < number:
            return down(client, server)
        pattern = re.compile(a.cut_on.encode())
        seen, pending = 0, b""
        try:
            while True:
                data = client.recv(65536)
                if not data:
                    break
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    if pattern.search(line):
                        seen += 1
                        if seen >= a.count:
                            raise OSError
                    if record:
                        with record_lock:
                            record.write(line + b"\n")
                    server.sendall(line + b"\n")
        except OSError:
            pass
        close(client, server)

    head = b"+OK\r\nMessage-ID: <endless@fault.test>\r\n\r\n"
    replies = dict.fromkeys((b"USER", b"PASS", b"NOOP", b"RSET", b"DELE", b"QUIT"), b"+OK\r\n")
    replies.update({b"CAPA": b"+OK\r\nUSER\r\n.\r\n", b"STAT": b"+OK 1 100\r\n", b"TOP": head + b".\r\n",
                    b"RETR": head})

    def endless_pop3(client):
        chunk = b"x" * 65536 if a.one_line else (b"x" * 78 + b"\r\n") * 800
        try:
            client.sendall(b"+OK ready\r\n")
            for line in client.makefile("rb"):
                command = line.split()[0].upper() if line.split() else b""
                client.sendall(replies.get(command, b"-ERR\r\n"))
                while command == b"RETR":
                    client.sendall(chunk)
        except OSError:
            pass
        close(client)

    def serve():
        while True:
            conn, _ = listener.accept()
            if a.mode == "silent":
                held.append(conn)
            elif a.mode == "endless-pop3":
                threading.Thread(target=endless_pop3, args=(conn,), daemon=True).start()
            else:
                threading.Thread(target=proxy, args=(conn,), daemon=True).start()

    threading.Thread(target=serve, daemon=True).start()
    sys.stdin.read()
    os._exit(0)


if __name__ == "__main__":
    main()
