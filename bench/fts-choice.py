#!/usr/bin/python3
# Compares the two full-text engines Debian offers for the letter search:
# SQLite's FTS5 (as Qt's SQLite driver uses it) and Xapian. Same synthetic
# letters, same queries; prints letters indexed per second, index size and
# query times (min / median). Needs python3-xapian (apt-get install
# python3-xapian); the program itself uses only the winner.
#   bench/fts-choice.py [letters]   (default 100000)
import os, random, shutil, sqlite3, statistics, sys, tempfile, time
import xapian

N = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
rng = random.Random(7)
syll = ["ka", "lo", "mi", "ne", "ru", "sa", "ti", "vo", "be", "dé", "zü", "ha", "or", "el", "an"]
vocab = ["".join(rng.choice(syll) for _ in range(rng.randint(2, 4))) for _ in range(30000)]
names = ["Anna Müller", "Jörg Weiß", "Zoë Martin", "李小龙", "Søren Kierkegaard", "Ali Öztürk"]

def word():
    # Zipf-like: low ranks are common words.
    return vocab[min(int(rng.paretovariate(1.1)) - 1, len(vocab) - 1)]

def letter(i):
    subject = " ".join(word() for _ in range(5))
    sender = rng.choice(names)
    body = " ".join(word() for _ in range(300))
    return subject, sender, "to%d@example.org" % (i % 50), "file%d.pdf" % i, body

letters = [letter(i) for i in range(N)]
common, rare = vocab[0], vocab[20000]
queries = [common, rare, vocab[3][:3], vocab[1] + " " + vocab[40], "muller"]
work = tempfile.mkdtemp()

def fts5():
    path = os.path.join(work, "i.sqlite")
    db = sqlite3.connect(path)
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("CREATE VIRTUAL TABLE w USING fts5(subject, sender, recipients, attachments, body,"
               " tokenize='unicode61 remove_diacritics 2', prefix='2 3')")
    t = time.monotonic()
    for start in range(0, N, 500):
        db.executemany("INSERT INTO w VALUES (?,?,?,?,?)", letters[start:start + 500])
        db.commit()
    rate = N / (time.monotonic() - t)
    def q(text):
        m = " ".join('"%s"*' % p for p in text.split())
        return db.execute("SELECT rowid FROM w WHERE w MATCH ? ORDER BY rowid DESC LIMIT 500", (m,)).fetchall()
    return rate, os.path.getsize(path), q

def xap():
    path = os.path.join(work, "x")
    db = xapian.WritableDatabase(path, xapian.DB_CREATE_OR_OPEN)
    tg = xapian.TermGenerator()
    tg.set_flags(xapian.TermGenerator.FLAG_CJK_NGRAM)
    t = time.monotonic()
    for i, l in enumerate(letters):
        doc = xapian.Document()
        tg.set_document(doc)
        for f in l:
            tg.index_text(f)
        db.add_document(doc)
        if i % 500 == 499:
            db.commit()
    db.commit()
    rate = N / (time.monotonic() - t)
    size = sum(os.path.getsize(os.path.join(path, f)) for f in os.listdir(path))
    qp = xapian.QueryParser()
    qp.set_database(db)
    qp.set_default_op(xapian.Query.OP_AND)
    enq = xapian.Enquire(db)
    enq.set_docid_order(xapian.Enquire.DESCENDING)
    enq.set_weighting_scheme(xapian.BoolWeight())
    def q(text):
        enq.set_query(qp.parse_query(text, xapian.QueryParser.FLAG_PARTIAL))
        return list(enq.get_mset(0, 500))
    return rate, size, q

for name, make in (("FTS5", fts5), ("Xapian", xap)):
    rate, size, q = make()
    times = []
    for text in queries:
        q(text)
        runs = []
        for _ in range(5):
            t = time.monotonic(); q(text); runs.append((time.monotonic() - t) * 1000)
        times.append(min(runs))
    print("%-7s %6.0f letters/s  %5.0f MB  query ms min %.1f median %.1f max %.1f" % (
        name, rate, size / 1e6, min(times), statistics.median(times), max(times)))
shutil.rmtree(work)
