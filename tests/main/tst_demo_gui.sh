#!/bin/bash
# The demo end to end: it serves and fetches its mailbox, quitting stops every
# server, a second start finds the mailbox as it was left and fetches the
# letter sent to the demo address in between, and the user's own settings
# and mail stay as they were.
set -eu
build=$1 source=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
# The message is read when the wait fails, so that it shows what was written by then.
wait_for() { for _ in $(seq "$1"); do eval "$2" && return 0; sleep 0.5; done; eval "fail \"$3\""; }

mkdir -p "$HOME/.config/drel" "$HOME/.drel-mail/me@example.org/Incoming"
printf '[global]\ncurrentProfile=me@example.org\n' > "$HOME/.config/drel/mail.conf"
printf 'Subject: mine\n\nmine\n' > "$HOME/.drel-mail/me@example.org/Incoming/mine.eml"
own_files() { find "$HOME/.config" "$HOME/.drel-mail" -type f -exec md5sum {} + | sort; }
before=$(own_files)

demo=$HOME/.cache/drel-mail-demo
incoming=$demo/home/.drel-mail/demo@example.org/Incoming
start_demo() {
    bash "$source/demo/demo.sh" "$build" >"$TMPDIR/demo.out" 2>&1 &
    demo_pid=$!
    wait_for 240 '[ -f "$demo/servers.env" ]' 'servers did not come up: $(cat "$TMPDIR/demo.out")'
    servers=$(grep -oP '^MAIL_DIR=\K.*' "$demo/servers.env"); servers=${servers%/mail}
}
quit_demo() {
    wait_for 60 'pgrep -P "$demo_pid" -x drel-mail >/dev/null' "client did not start"
    kill -TERM "$(pgrep -P "$demo_pid" -x drel-mail)"
    wait "$demo_pid" || fail "demo ended with an error: $(cat "$TMPDIR/demo.out")"
    ! pgrep -f "$servers" >/dev/null || fail "server processes left behind"
    [ ! -e "$servers" ] || fail "server folder left behind"
}
eml_count() { find "$incoming" -name '*.eml' | wc -l; }

start_demo
wait_for 120 '[ "$(eml_count)" -ge 60 ]' "letters not fetched: $(eml_count)"
grep -lq 'invoice-2026-0412.pdf' "$incoming"/*.eml || fail "no letter with a PDF"
python3 - "$(grep -oP '^SMTPS_PORT=\K.*' "$demo/servers.env")" <<'PY'
import smtplib, ssl, sys
context = ssl.create_default_context()
context.check_hostname, context.verify_mode = False, ssl.CERT_NONE
with smtplib.SMTP_SSL("127.0.0.1", int(sys.argv[1]), context=context) as s:
    s.login("demo", "secret")
    s.sendmail("demo@example.org", ["demo@example.org"],
               b"Subject: Round trip\r\nMessage-ID: <round-trip@example.org>\r\n\r\nBack again.\r\n")
PY
fetched=$(eml_count)
quit_demo

start_demo
[ "$(find "$servers/mail/demo" -type f -path '*/cur/*' -o -type f -path '*/new/*' | wc -l)" = $((fetched + 1)) ] \
    || fail "mailbox not kept as it was"
wait_for 120 '[ -f "$incoming/round-trip@example.org.eml" ]' "sent letter did not come back"
quit_demo

[ "$(own_files)" = "$before" ] || fail "the user's own settings or mail changed"
echo PASS
