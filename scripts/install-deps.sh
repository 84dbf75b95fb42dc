#!/bin/bash
# Installs every Debian package that the build, the program and the tests
# need. Does nothing when they are all present already.
set -euo pipefail

PACKAGES=(
    # build
    cmake g++ make pkg-config
    qtbase5-dev qtdeclarative5-dev libqt5svg5-dev qtdeclarative5-dev-tools
    libvmime-dev libgnutls28-dev libvmime1-doc libcrypto++-dev qttools5-dev-tools qt5keychain-dev
    # run time
    libqt5sql5-sqlite qml-module-qtquick2 qml-module-qtquick-window2
    qml-module-qtquick-controls qml-module-qtquick-layouts
    qml-module-qtgraphicaleffects qml-module-qttest
    hicolor-icon-theme adwaita-icon-theme shared-mime-info fonts-dejavu-core
    qttranslations5-l10n ca-certificates
    # run time: passwords in the desktop's keyring (QtKeychain loads libsecret)
    libsecret-1-0
    # tests: headless display with software OpenGL, PDF text, SQLite shell
    xvfb xauth libgl1-mesa-dri libglx-mesa0 poppler-utils sqlite3 openssl
    # tests: the installed desktop entry and metadata
    desktop-file-utils appstream
    # tests: the fuzzing target (clang's libFuzzer and sanitizer runtimes)
    clang libclang-rt-14-dev
    # tests: real mail servers on loopback, reference fetcher for the benchmark
    dovecot-imapd dovecot-pop3d dovecot-lmtpd python3-aiosmtpd isync
    procps psmisc x11-utils iproute2 util-linux
    # tests: a private D-Bus session with GNOME Keyring, read by secret-tool
    dbus-daemon dbus-bin gnome-keyring libsecret-tools
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"

# Debian starts dovecot as a system service on install; the tests run their
# own instances on private ports and do not need it.
if command -v service >/dev/null 2>&1; then
    $SUDO service dovecot stop >/dev/null 2>&1 || true
fi
