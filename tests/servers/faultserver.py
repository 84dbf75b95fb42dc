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
  faultserver.py imap --shape SHAPE
      an IMAP server with three messages (see imap_message) whose FETCH
      answers for message 2 are hostile: "oversized" (a literal past the
      store's bound), "endless" (a literal announced past twice that),
      "cut" (the connection ends inside the literal), "no" (a NO after the
      window's data), "reordered" (other items before and after the body, a literal
      among them) or "interleaved" (EXISTS, EXPUNGE, RECENT and a FLAGS
      FETCH before it).

Both stop when standard input closes, so they never outlive the test."""
import argparse
import itertools
import os
import re
import socket
import sys
import threading


def imap_message(number):
    return (b"Message-ID: <m%d@example.org>\r\nSubject: Message %d\r\n\r\nBody of %d\r\n"
            % (number, number, number))


def imap_numbers(sequence):
    numbers = []
    for part in sequence.split(b","):
        low, _, high = part.partition(b":")
        numbers += range(int(low), int(high or low) + 1)
    return sorted(numbers, reverse=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("mode", choices=["silent", "proxy", "endless-pop3", "imap"])
    p.add_argument("target", type=int, nargs="?")
    p.add_argument("--cut-on", default="(?!)")
    p.add_argument("--count", type=int, default=1)
    p.add_argument("--connections", type=int, default=-1)
    p.add_argument("--record")
    p.add_argument("--hide")
    p.add_argument("--one-line", action="store_true")
    p.add_argument("--shape")
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

    def imap_answer(number, item):
        body = imap_message(number)
        if number != 2 or a.shape == "interleaved":
            pre = (b"* 5 EXISTS\r\n* 5 EXPUNGE\r\n* 1 RECENT\r\n* 1 FETCH (FLAGS (\\Seen))\r\n"
                   if a.shape == "interleaved" else b"")
            return pre + b"* %d FETCH (%s {%d}\r\n%s)\r\n" % (number, item, len(body), body)
        if a.shape == "reordered":
            return (b"* 2 FETCH (FLAGS (\\Seen $Junk) UID 7 %s {%d}\r\n%s RFC822.SIZE %d"
                    b" BODYSTRUCTURE (\"text\" \"plain\" NIL NIL {4}\r\n(}\"{ \"7bit\" 9 1))\r\n"
                    % (item, len(body), body, len(body)))
        if b"HEADER" in item or a.shape == "no":
            return b"* 2 FETCH (%s {%d}\r\n%s)\r\n" % (item, len(body), body)
        if a.shape == "oversized":
            filler = (b"b" * 78 + b"\r\n") * (51 * 1024 * 1024 // 80)
            return b"* 2 FETCH (%s {%d}\r\n%s%s)\r\n" % (item, len(body) + len(filler), body, filler)
        if a.shape == "endless":
            return b"* 2 FETCH (%s {%d}\r\n%s" % (item, 200 * 1024 * 1024, body)
        return b"* 2 FETCH (%s {%d}\r\n%s" % (item, len(body) + 1000, body)   # cut

    def imap(client):
        lines = client.makefile("rb")
        try:
            client.sendall(b"* OK ready\r\n")
            for line in lines:
                words = line.split()
                tag, command = words[0], words[1].upper() if len(words) > 1 else b""
                reply = b""
                if command == b"CAPABILITY":
                    reply = b"* CAPABILITY IMAP4rev1\r\n"
                elif command in (b"SELECT", b"EXAMINE"):
                    reply = b"* 3 EXISTS\r\n* FLAGS ()\r\n"
                elif command == b"FETCH":
                    item = b"BODY[]" if b"BODY.PEEK[]" in line else b"BODY[HEADER.FIELDS (MESSAGE-ID)]"
                    numbers = imap_numbers(words[2])
                    for number in numbers:
                        reply += imap_answer(number, item)
                        if number == 2 and item == b"BODY[]" and a.shape in ("cut", "endless"):
                            client.sendall(reply)
                            while a.shape == "endless":
                                client.sendall(b"x" * 65536)
                            raise OSError
                    if 2 in numbers and item == b"BODY[]" and a.shape == "no":
                        client.sendall(reply + tag + b" NO [SERVERBUG] failed\r\n")
                        continue
                elif command == b"AUTHENTICATE":
                    client.sendall(tag + b" NO no mechanisms\r\n")
                    continue
                client.sendall(reply + tag + b" OK done\r\n")
                if command == b"LOGOUT":
                    break
        except OSError:
            pass
        close(client)

    def serve():
        while True:
            conn, _ = listener.accept()
            if a.mode == "silent":
                held.append(conn)
            elif a.mode == "imap":
                threading.Thread(target=imap, args=(conn,), daemon=True).start()
            elif a.mode == "endless-pop3":
                threading.Thread(target=endless_pop3, args=(conn,), daemon=True).start()
            else:
                threading.Thread(target=proxy, args=(conn,), daemon=True).start()

    threading.Thread(target=serve, daemon=True).start()
    sys.stdin.read()
    os._exit(0)


if __name__ == "__main__":
    main()
