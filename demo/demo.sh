#!/bin/bash
# Starts the client on a demo mailbox of its own:
#   demo.sh BUILD_DIR [client arguments...]
# Real servers (Dovecot for IMAP and POP3, an SMTP server) run on loopback on
# free ports with a mailbox of about sixty letters; the client runs with a
# home of its own under ~/.cache/drel-mail-demo (DREL_MAIL_DEMO_DIR), so the
# user's settings and mail are never touched. Whatever the demo account sends
# lands in the demo mailbox. Quitting the client stops the servers; the next
# demo starts with the mailbox as it was left.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build-run}" && pwd); shift || true
demo=${DREL_MAIL_DEMO_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/drel-mail-demo}
interval=${DREL_MAIL_DEMO_INTERVAL:-60000}   # how often the client checks, ms
login=demo
address=demo@example.org

mkdir -p "$demo/home/.config" "$demo/runtime" || exit 1
chmod 700 "$demo" "$demo/runtime"

run_client() {
    # A home of its own for the client, and a runtime folder of its own so
    # that a client the user runs already does not take the demo's start.
    local wayland=${WAYLAND_DISPLAY:-}
    [ -n "$wayland" ] && [ "${wayland#/}" = "$wayland" ] && wayland=${XDG_RUNTIME_DIR:-}/$wayland
    exec env HOME="$demo/home" XDG_CONFIG_HOME="$demo/home/.config" \
        XDG_DATA_HOME="$demo/home/.local/share" XDG_CACHE_HOME="$demo/home/.cache" \
        XDG_RUNTIME_DIR="$demo/runtime" ${wayland:+WAYLAND_DISPLAY="$wayland"} \
        "$build/src/drel-mail" "$@" 9>&-
}

# One demo at a time: a second start only brings the running one forward.
exec 9>"$demo/lock"
if ! flock -n 9; then
    run_client "$@"
    exit 0
fi

servers=$(mktemp -d /tmp/drel-mail-demo-servers.XXXXXX) || exit 1
MAIL_USERS=$login MAIL_BOX_STORE="$demo/mailbox" \
    bash "$root/scripts/mail-servers.sh" "$servers" >"$demo/servers.out" 2>&1 9>&- &
servers_pid=$!
client_pid=
finish() {
    trap - EXIT INT TERM
    [ -n "$client_pid" ] && kill -TERM "$client_pid" 2>/dev/null && wait "$client_pid"
    kill -TERM "$servers_pid" 2>/dev/null
    wait "$servers_pid"
    rm -f "$demo/servers.env"
}
trap finish EXIT
trap 'exit 1' INT TERM

for _ in $(seq 600); do
    grep -qx ready "$demo/servers.out" && break
    kill -0 "$servers_pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -qx ready "$demo/servers.out"; then
    echo "The demo mail servers did not start:" >&2
    cat "$demo/servers.out" >&2
    exit 1
fi
cp "$servers/servers.env" "$demo/servers.env"
value() { grep -oP "^$1=\K.*" "$servers/servers.env"; }

mailbox=$(value MAIL_DIR)/$login
if [ ! -e "$(value MAIL_DIR)/.demo-seeded" ]; then
    count=$(python3 "$here/make-mailbox.py" "$mailbox" "$address" "$(value MAIL_UID)" "$(value MAIL_GID)") || exit 1
    touch "$(value MAIL_DIR)/.demo-seeded"
    echo "Demo mailbox: $count letters."
fi
HOME="$demo/home" XDG_CONFIG_HOME="$demo/home/.config" "$build/demo/drel-mail-demo-account" \
    "$address" "$login" "$(value PASSWORD)" "$(value IMAPS_PORT)" "$(value POP3S_PORT)" \
    "$(value SMTPS_PORT)" "$servers/cert-a.pem" "$interval" || exit 1

echo "Demo account $address: IMAP 127.0.0.1:$(value IMAPS_PORT), POP3 127.0.0.1:$(value POP3S_PORT)," \
     "SMTP 127.0.0.1:$(value SMTPS_PORT), login $login, password $(value PASSWORD)."
run_client "$@" &
client_pid=$!
wait "$client_pid"
client_pid=
