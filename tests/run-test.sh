#!/bin/bash
# Runs one test program in a home of its own, so that no test ever reads or
# writes the real user's settings, mail store or contacts.
#   run-test.sh offscreen|xvfb <test program> [test arguments...]
set -u
display=$1; shift

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/mail-test.XXXXXX")
trap 'rm -rf "$sandbox"' EXIT
mkdir -p "$sandbox/home/.config" "$sandbox/tmp" "$sandbox/runtime"
chmod 700 "$sandbox/runtime"
export HOME="$sandbox/home"
export XDG_CONFIG_HOME="$sandbox/home/.config"
export XDG_DATA_HOME="$sandbox/home/.local/share"
export XDG_CACHE_HOME="$sandbox/home/.cache"
export XDG_RUNTIME_DIR="$sandbox/runtime"
export TMPDIR="$sandbox/tmp"
unset DREL_PHONE_LOW_EFFECTS
export MAIL_TEST_SANDBOX="$sandbox"
# A bus that is not there: no test may reach the user's own keyring (or any
# other desktop service); a test that needs a keyring starts its own.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$sandbox/no-bus"
# Qt's own libraries are not instrumented; leak reports from them would drown
# real faults, so only memory errors fail the sanitizer build.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

if [ "$display" = xvfb ]; then
    export QT_QPA_PLATFORM=xcb
    export LIBGL_ALWAYS_SOFTWARE=1
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
else
    export QT_QPA_PLATFORM=offscreen
    "$@"
fi
