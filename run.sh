#!/bin/bash
# Installs what is missing, builds the client and starts it. With --demo it
# starts the client on a demo mailbox served on this computer (demo/demo.sh).
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/install-deps.sh
# A folder of its own: the tests build with crash points on, and sharing one
# folder would rebuild everything each time one follows the other.
build=build-run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMAIL_CRASH_POINTS=OFF >/dev/null
if [ "${1:-}" = --demo ]; then
    shift
    cmake --build "$build" --target drel-mail drel-mail-demo-account -j"$(nproc)"
    exec bash demo/demo.sh "$build" "$@"
fi
cmake --build "$build" --target drel-mail -j"$(nproc)"
exec "./$build/src/drel-mail" "$@"
