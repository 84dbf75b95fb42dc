"""Small faulty servers for the tests, on 127.0.0.1 and a free port that is
printed as the first line of standard output.

  faultserver.py silent
      accepts connections and never says a word.
  faultserver.py proxy TARGET_PORT [--cut-after-bytes N] [--cut-on REGEX --count K]
                 [--connections C]
      forwards to 127.0.0.1:TARGET_PORT and cuts both sides of a connection
      after N bytes from the server, or when the client sends its K-th line
      matching REGEX (that line is not forwarded). Only the first C
      connections are cut (default: all); later ones pass through.

Both stop when standard input closes, so they never outlive the test."""
import argparse
import os
import re
import socket
import sys
import threading


def serve(listener, handler):
    while True:
        try:
            conn, _ = listener.accept()
        except OSError:
            return
        threading.Thread(target=handler, args=(conn,), daemon=True).start()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("mode", choices=["silent", "proxy"])
    p.add_argument("target", type=int, nargs="?")
    p.add_argument("--cut-after-bytes", type=int, default=-1)
    p.add_argument("--cut-on", default=None)
    p.add_argument("--count", type=int, default=1)
    p.add_argument("--connections", type=int, default=-1)
    a = p.parse_args()

    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print(listener.getsockname()[1], flush=True)

    held = []
    state = {"connections": 0}
    lock = threading.Lock()

    def silent(conn):
        held.append(conn)

    def proxy(client):
        with lock:
            state["connections"] += 1
            cut = a.connections < 0 or state["connections"] <= a.connections
        server = socket.create_connection(("127.0.0.1", a.target))
        done = threading.Event()

        def close():
            done.set()
            for s in (client, server):
                try:
                    s.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                s.close()

        def down():
            sent = 0
            while not done.is_set():
                try:
                    data = server.recv(65536)
                except OSError:
                    break
                if not data:
                    break
                if cut and a.cut_after_bytes >= 0 and sent + len(data) >= a.cut_after_bytes:
                    try:
                        client.sendall(data[:a.cut_after_bytes - sent])
                    except OSError:
                        pass
                    break
                sent += len(data)
                try:
                    client.sendall(data)
                except OSError:
                    break
            close()

        def up():
            pattern = re.compile(a.cut_on.encode()) if (cut and a.cut_on) else None
            seen = 0
            pending = b""
            while not done.is_set():
                try:
                    data = client.recv(65536)
                except OSError:
                    break
                if not data:
                    break
                if pattern is None:
                    try:
                        server.sendall(data)
                    except OSError:
                        break
                    continue
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    if pattern.search(line):
                        seen += 1
                        if seen >= a.count:
                            close()
                            return
                    try:
                        server.sendall(line + b"\n")
                    except OSError:
                        break
            close()

        threading.Thread(target=down, daemon=True).start()
        up()

    handler = silent if a.mode == "silent" else proxy
    threading.Thread(target=serve, args=(listener, handler), daemon=True).start()
    sys.stdin.read()
    os._exit(0)


if __name__ == "__main__":
    main()
