#!/bin/bash
# Fuzzes the path from a message's bytes to a shown letter (header listing and
# full parse) with libFuzzer under AddressSanitizer and UBSan for a bounded
# time (FUZZ_SECONDS, default 60), seeded with the test corpus, a few plain
# headers and hostile letters. A crash, leak, hang (10 s per input), memory
# blow-up (2 GB) or a plain header read unlike the library reads it fails the
# test and leaves the input that did it in <build>/fuzz.
# Arguments: <build dir> <source dir>
set -euo pipefail
build=$1/fuzz
source=$2
seconds=${FUZZ_SECONDS:-60}

CXX=clang++ cmake -S "$source/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build.log" 2>&1 \
    && nice cmake --build "$build" -j2 >>"$build.log" 2>&1 || { cat "$build.log"; exit 1; }

# From the seeds alone each time: what a run adds stays out of the next.
corpus=$build/corpus
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$source"/tests/data/mail/*.eml "$source"/tests/fuzz/seeds/*.eml "$corpus"/
python3 - "$corpus" <<'PY'
import sys
out = sys.argv[1]
head = b"From: s@hostile.test\r\nSubject: hostile\r\nMIME-Version: 1.0\r\n"
def write(name, data):
    open(f"{out}/{name}", "wb").write(data)
nested = b"".join(b"Content-Type: multipart/mixed; boundary=n%d\r\n\r\n--n%d\r\n" % (i, i) for i in range(100))
write("hostile-nested", head + nested + b"\r\ntext\r\n")
parts = b"".join(b"--m\r\nContent-Type: image/png; name=p%d.png\r\n\r\nxx\r\n" % i for i in range(1100))
write("hostile-parts", head + b"Content-Type: multipart/mixed; boundary=m\r\n\r\n" + parts + b"--m--\r\n")
fields = b"".join(b"X-F%d: %s\r\n" % (i, b"h" * 60) for i in range(4500))
write("hostile-header", head + fields + b"\r\nbody\r\n")
html = b"<img src=\"cid:p@h\">" * 400
write("hostile-cid", head + b"Content-Type: multipart/related; boundary=r\r\n\r\n--r\r\n"
      b"Content-Type: text/html\r\n\r\n" + html + b"\r\n--r\r\nContent-Type: image/png\r\n"
      b"Content-ID: <p@h>\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw0KGgo=\r\n--r--\r\n")
write("hostile-boundaries", head + b"Content-Type: multipart/mixed; boundary*0=a; boundary*1=b\r\n\r\n"
      b"--ab\r\nContent-Type: multipart/alternative; boundary=\"x\\\"y\"\r\n\r\n--x\"y\r\n\r\nt\r\n")
PY

cd "$build"
nice ./letterfuzzer -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=400000 \
    -print_final_stats=1 "$corpus"
