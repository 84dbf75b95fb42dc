#!/usr/bin/env python3
"""Makes every include of the program's own headers name its subsystem.

src/ is the one include root, so `#include "cache.h"` becomes
`#include "store/cache.h"`: the folder that holds the header is looked up
under src/. An include that names a folder where the header no longer is
(it moved to another subsystem) is pointed at its new folder. Headers that
are not under src/ (test fixtures, generated moc files, system headers) are
left alone, as is a name that two folders share.

Safe to run again at any time, e.g. after merging a branch that still uses
bare names:  scripts/fix-includes.py [--check | --resolve]
With --check it changes nothing and exits 1 when a file would change.
With --resolve it first settles merge conflicts whose two sides are nothing
but includes of the program's own headers: the file keeps the headers of
both sides (one line per file name). Other conflicts are left as they are.
"""

import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "src")
TREES = ("src", "tests", "bench")
INCLUDE = re.compile(r'^(\s*#\s*include\s+")([^"]+)(".*)$')


def header_folders():
    """Maps a header's file name to the src/ folders that hold one."""
    found = {}
    for entry in sorted(os.listdir(SRC)):
        folder = os.path.join(SRC, entry)
        if not os.path.isdir(folder) or entry == "qml":
            continue
        for name in os.listdir(folder):
            if name.endswith((".h", ".hpp")):
                found.setdefault(name, []).append(entry)
    return found


def resolve_include_conflicts(lines):
    out, i, changed = [], 0, False
    while i < len(lines):
        if not lines[i].startswith("<<<<<<< "):
            out.append(lines[i])
            i += 1
            continue
        try:
            mid = lines.index("=======", i)
            end = next(k for k in range(mid, len(lines)) if lines[k].startswith(">>>>>>> "))
        except (ValueError, StopIteration):
            out.extend(lines[i:])
            break
        sides = [l for l in lines[i + 1:mid] + lines[mid + 1:end] if l.strip()]
        if sides and all(INCLUDE.match(l) for l in sides):
            seen = {}
            for l in sides:
                name = INCLUDE.match(l).group(2).rpartition("/")[2]
                # A name with its folder wins over the bare one.
                if name not in seen or "/" in INCLUDE.match(l).group(2):
                    seen[name] = l
            out.extend(sorted(seen.values()))
            changed = True
        else:
            out.extend(lines[i:end + 1])
        i = end + 1
    return changed, out


def rewrite(path, headers, resolve=False):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    changed = False
    if resolve:
        changed, lines = resolve_include_conflicts(lines)
    for i, line in enumerate(lines):
        m = INCLUDE.match(line)
        if not m:
            continue
        target = m.group(2)
        folder, _, name = target.rpartition("/")
        if "/" in folder or not name:
            continue
        if folder and os.path.isfile(os.path.join(SRC, folder, name)):
            continue
        if folder and not os.path.isdir(os.path.join(SRC, folder)):
            continue  # a path of some other root
        homes = headers.get(name, [])
        if len(homes) != 1:
            continue
        new = homes[0] + "/" + name
        if new != target:
            lines[i] = m.group(1) + new + m.group(3)
            changed = True
    if changed:
        # Keep each block of includes sorted after the rename.
        own = os.path.splitext(os.path.basename(path))[0] + ".h"
        lines = sort_blocks(lines, own)
    return changed, "\n".join(lines)


def sort_blocks(lines, own):
    """Sorts each run of quoted includes; a file's own header stays first."""
    out, block = [], []

    def flush():
        head = [l for l in block[:1] if INCLUDE.match(l).group(2).endswith("/" + own)]
        out.extend(head + sorted(block[len(head):]))
        block.clear()

    for line in lines:
        m = INCLUDE.match(line)
        if m and not m.group(2).endswith(".moc"):
            block.append(line)
            continue
        flush()
        out.append(line)
    flush()
    return out


def main():
    check = "--check" in sys.argv[1:]
    resolve = "--resolve" in sys.argv[1:]
    headers = header_folders()
    dirty = []
    for tree in TREES:
        for base, _, files in os.walk(os.path.join(ROOT, tree)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h", ".hpp")):
                    continue
                path = os.path.join(base, name)
                changed, text = rewrite(path, headers, resolve)
                if not changed:
                    continue
                dirty.append(os.path.relpath(path, ROOT))
                if not check:
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(text)
    for path in dirty:
        print(("would fix " if check else "fixed ") + path)
    return 1 if check and dirty else 0


if __name__ == "__main__":
    sys.exit(main())
