#!/bin/bash
# Runs a benchmark with its test home on a freshly made, journaled ext4 on a
# loop device (as root). A file system that has just had many thousands of
# files removed makes new files slower for minutes, whoever makes them: ext4
# without a journal skips recently freed inodes one at a time. A new file
# system makes the runs repeatable and is what most users have.
#
#   bench/fresh-fs.sh build-bench/bench/bench_fetch 1000 2000 10000
#
# FRESH_FS_MKFS_OPTIONS="-O ^has_journal" makes it like this machine's /tmp.
set -e
image=${FRESH_FS_IMAGE:-/var/tmp/bench-fs.img}
mountpoint=${FRESH_FS_MOUNT:-/mnt/bench-fs}
umount "$mountpoint" 2>/dev/null || true
rm -f "$image"
truncate -s 8G "$image"
mkfs.ext4 -q -F ${FRESH_FS_MKFS_OPTIONS} "$image"
mkdir -p "$mountpoint"
mount -o loop "$image" "$mountpoint"
trap 'umount "$mountpoint"; rm -f "$image"' EXIT
mkdir -p "$mountpoint/tmp"
chmod 1777 "$mountpoint/tmp"
sync
TMPDIR="$mountpoint/tmp" "$@"
