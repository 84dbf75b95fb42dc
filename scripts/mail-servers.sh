#!/bin/bash
# Runs real mail servers on loopback, for the network tests and for the demo,
# for as long as this script runs:
#   mail-servers.sh DIR
# DIR must be a fresh folder that the mail user may enter (a world-readable
# folder under /tmp). Dovecot serves IMAP and POP3 (plain with STARTTLS and
# implicit TLS), and an SMTP server (aiosmtpd) with implicit TLS, STARTTLS and
# password login delivers into Dovecot's Maildir. Everything listens on
# 127.0.0.1 on free ports, written to DIR/servers.env as KEY=VALUE lines;
# "ready" on standard output says that every port answers.
# The servers stop when this script gets SIGTERM/SIGINT, and also when the
# process that started it goes away (a test that crashed or was killed).
# SIGUSR1 stops Dovecot alone ("stopped" on standard output once it is gone),
# SIGUSR2 starts it again ("started" once its ports answer): a server restart.
# Optional environment:
#   MAIL_USERS      the mail users, all with password "secret" (default
#                   "test other"); the SMTP server delivers mail for unknown
#                   users to the first
#   MAIL_BOX_STORE  a folder that keeps the Maildirs between runs: copied in
#                   at start, copied back when the servers stop
set -u
dir=$1
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3     # Debian's own interpreter: aiosmtpd belongs to it
owner=$PPID
pids=()
dovecot=

stop() {
    trap - EXIT INT TERM USR1 USR2
    [ -n "$dovecot" ] && pids+=("$dovecot")
    for p in "${pids[@]}"; do kill -TERM "$p" 2>/dev/null; done
    for _ in $(seq 50); do
        alive=0
        for p in "${pids[@]}"; do kill -0 "$p" 2>/dev/null && alive=1; done
        [ $alive = 0 ] && break
        sleep 0.1
    done
    for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; done
    # Dovecot's children leave with their master; catch any that did not.
    [ -f "$dir/run/master.pid" ] && kill -KILL "$(cat "$dir/run/master.pid")" 2>/dev/null
    save_mailboxes
    [ -n "${MAIL_KEEP_SERVERS:-}" ] || rm -rf "$dir"
    exit 0
}
trap stop EXIT INT TERM

store=${MAIL_BOX_STORE:-}
# The new copy is complete before it replaces the old one, so that a failure
# half-way leaves the last good mailbox.
save_mailboxes() {
    [ -n "$store" ] && [ -d "$dir/mail" ] || return 0
    rm -rf "$store.new" && cp -R "$dir/mail" "$store.new" && chown -R "$(id -u):$(id -g)" "$store.new" \
        && rm -rf "$store.old" && { [ ! -d "$store" ] || mv "$store" "$store.old"; } \
        && mv "$store.new" "$store" && rm -rf "$store.old"
}

chmod 755 "$dir"
mkdir -p "$dir/run" "$dir/state" "$dir/mail"
if [ -n "$store" ] && [ -d "$store" ]; then
    cp -R "$store/." "$dir/mail/" || exit 1
fi

if [ "$(id -u)" = 0 ]; then
    # Login processes refuse to run as root: keep Debian's login users and let
    # the mailbox belong to the mail user.
    mail_uid=$(id -u mail); mail_gid=$(id -g mail)
    login_user=dovenull; internal_user=dovecot
else
    mail_uid=$(id -u); mail_gid=$(id -g)
    login_user=$(id -un); internal_user=$(id -un)
fi

free_ports() {
    "$python" - "$1" <<'PY'
import socket, sys
socks = []
for _ in range(int(sys.argv[1])):
    s = socket.socket(); s.bind(("127.0.0.1", 0)); socks.append(s)
print(" ".join(str(s.getsockname()[1]) for s in socks))
PY
}
read -r imap imaps pop3 pop3s smtp smtps smtpascii <<<"$(free_ports 7)"
# Inside a network namespace of its own a test may ask for the protocols'
# standard ports, where a client that is given only a host name looks.
if [ -n "${MAIL_STANDARD_PORTS:-}" ]; then
    imap=143 imaps=993 pop3=110 pop3s=995 smtp=25 smtps=465
fi

# Two self-signed certificates; cert.pem points at one of the certificates
# made here, so a test can swap it (and send SIGHUP to Dovecot).
# The first names this host (127.0.0.1, localhost); the second names another
# host, so it also raises the host-name question.
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=mail-test-a" \
    -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
    -keyout "$dir/key-a.pem" -out "$dir/cert-a.pem" >/dev/null 2>&1 || exit 1
openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj "/CN=mail-test-b.example.org" \
    -keyout "$dir/key-b.pem" -out "$dir/cert-b.pem" >/dev/null 2>&1 || exit 1
# A test authority, for tests that name it as the root store
# (SSL_CERT_FILE=DIR/ca.pem), and three certificates it signed with one key:
# for this host, for another host, and one that has expired.
ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
openssl req -x509 "${ec[@]}" -days 30 -subj "/CN=Mail Test Authority" \
    -keyout "$dir/ca-key.pem" -out "$dir/ca.pem" >/dev/null 2>&1 || exit 1
openssl req -new "${ec[@]}" -subj "/CN=mail-test-signed" \
    -keyout "$dir/signed.key" -out "$dir/signed.csr" >/dev/null 2>&1 || exit 1
sign() {   # NAME DAYS SUBJECT-ALT-NAMES; -1 days ends before it starts
    echo "subjectAltName=$3" > "$dir/$1.ext"
    openssl x509 -req -in "$dir/signed.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca-key.pem" \
        -CAcreateserial -days "$2" -extfile "$dir/$1.ext" -out "$dir/cert-$1.pem" >/dev/null 2>&1 \
        && ln -sf signed.key "$dir/key-$1.pem"
}
sign signed 30 "IP:127.0.0.1,DNS:localhost" || exit 1
sign wronghost 30 "DNS:mail-test-other.example.org" || exit 1
sign expired -1 "IP:127.0.0.1,DNS:localhost" || exit 1
ln -sf cert-a.pem "$dir/cert.pem"
ln -sf key-a.pem "$dir/key.pem"
chmod 644 "$dir"/*.pem

: > "$dir/users"
for u in ${MAIL_USERS:-test other}; do
    echo "$u:{PLAIN}secret:$mail_uid:$mail_gid::$dir/mail/$u::" >> "$dir/users"
    mkdir -p "$dir/mail/$u/cur" "$dir/mail/$u/new" "$dir/mail/$u/tmp"
done
chown -R "$mail_uid:$mail_gid" "$dir/mail"

cat > "$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
default_login_user = $login_user
default_internal_user = $internal_user
protocols = imap pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem
ssl_dh = </usr/share/dovecot/dh.pem
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_failure_delay = 0
first_valid_uid = $mail_uid
mail_location = maildir:$dir/mail/%u
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN $dir/users
}
userdb {
  driver = passwd-file
  args = $dir/users
}
service imap-login {
  inet_listener imap {
    port = $imap
  }
  inet_listener imaps {
    port = $imaps
    ssl = yes
  }
}
service pop3-login {
  inet_listener pop3 {
    port = $pop3
  }
  inet_listener pop3s {
    port = $pop3s
    ssl = yes
  }
}
protocol imap {
  mail_max_userip_connections = 200
}
protocol pop3 {
  mail_max_userip_connections = 200
}
CONF

start_dovecot() {
    /usr/sbin/dovecot -F -c "$dir/dovecot.conf" >>"$dir/dovecot.log" 2>&1 &
    dovecot=$!
}
start_dovecot
"$python" "$here/smtpserver.py" --maildir "$dir/mail" --uid "$mail_uid" --gid "$mail_gid" \
    --cert "$dir/cert-a.pem" --key "$dir/key-a.pem" --users "$dir/users" \
    --port "$smtp" --tls-port "$smtps" --ascii-port "$smtpascii" >>"$dir/smtp.log" 2>&1 &
pids+=($!)

cat > "$dir/servers.env" <<ENV
IMAP_PORT=$imap
IMAPS_PORT=$imaps
POP3_PORT=$pop3
POP3S_PORT=$pop3s
SMTP_PORT=$smtp
SMTPS_PORT=$smtps
SMTP_ASCII_PORT=$smtpascii
MAIL_UID=$mail_uid
MAIL_GID=$mail_gid
MAIL_DIR=$dir/mail
USER=$(head -n1 "$dir/users" | cut -d: -f1)
PASSWORD=secret
ENV

# Wait until every port given takes connections (at most 20 s).
wait_for_ports() {
    "$python" - "$@" <<'PY'
import socket, sys, time
deadline = time.time() + 20
for port in map(int, sys.argv[1:]):
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), 1).close(); break
        except OSError:
            if time.time() > deadline:
                sys.exit("port %d did not open" % port)
            time.sleep(0.05)
PY
}
wait_for_ports $imap $imaps $pop3 $pop3s $smtp $smtps $smtpascii || exit 1
echo ready

trap '[ -n "$dovecot" ] && kill -TERM "$dovecot" && wait "$dovecot"; dovecot=; echo stopped' USR1
trap '[ -n "$dovecot" ] || { start_dovecot; wait_for_ports $imap $imaps $pop3 $pop3s || stop; }; echo started' USR2
while kill -0 "$owner" 2>/dev/null; do
    for p in "${pids[@]}" $dovecot; do
        kill -0 "$p" 2>/dev/null || { echo "a server died" >&2; stop; }
    done
    sleep 0.5 &
    wait $!
done
stop
