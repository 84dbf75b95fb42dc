#!/bin/bash
# Every text of the sources has a finished translation in every language the
# program ships, and each translation keeps the place markers (%1, %n) of its
# text: a new text left out, or a marker lost, shows up in the window.
set -eu
build=$1 source=$2
cache() { grep -oP "^$1:[A-Z]+=\K.*" "$build/CMakeCache.txt"; }
lupdate=$(cache MAIL_LUPDATE)
read -ra options <<<"$(cache MAIL_LUPDATE_OPTIONS | tr ';' ' ')"
status=0
for ts in "$source"/translations/*.ts; do
    current=$TMPDIR/$(basename "$ts")
    cp "$ts" "$current"
    (cd "$source" && "$lupdate" "${options[@]}" src -ts "$current" >/dev/null)
    python3 - "$current" <<'PY' || status=1
import re, sys, xml.etree.ElementTree as ET
faults = []
for context in ET.parse(sys.argv[1]).getroot().iter("context"):
    for message in context.iter("message"):
        source = message.findtext("source")
        translation = message.find("translation")
        texts = [n.text or "" for n in translation.iter("numerusform")] or [translation.text or ""]
        where = "%s: %r" % (context.findtext("name"), source)
        if translation.get("type") == "unfinished" or not all(t.strip() for t in texts):
            faults.append("not translated: " + where)
        elif any(set(re.findall(r"%(?:\d|n)", t)) != set(re.findall(r"%(?:\d|n)", source)) for t in texts):
            faults.append("place markers differ: " + where)
for fault in faults:
    print(sys.argv[1].split("/")[-1] + ": " + fault)
sys.exit(1 if faults else 0)
PY
done
exit $status
