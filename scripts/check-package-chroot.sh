#!/usr/bin/env bash
# Installs a built package into a clean Debian 12 root with apt-get, as a user would, and runs its three programs
# there: the proof that the package's dependencies are complete. Needs root, debootstrap and Debian's mirror.
#   scripts/check-package-chroot.sh [--no-install-recommends] DEB [ROOT]
# ROOT (default /var/tmp/melodrop-deb-root) is made with debootstrap when missing and then kept clean: each run
# installs into a copy of it beside it (ROOT.run), removed at the end. --no-install-recommends leaves out the
# recommended packages, to show that Depends alone is enough.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "check-package-chroot.sh: needs root (chroot, mount)" >&2; exit 2; }

# Run in mount and process namespaces of our own: the /proc mounted in the copy goes away with them, and every
# process started there (the stand-in that the window starts too) is killed when this script ends, however it
# ends, so the copy can always be removed and nothing stays behind.
if [ -z "${MELODROP_CHROOT_NAMESPACES:-}" ]; then
  exec env MELODROP_CHROOT_NAMESPACES=1 unshare --mount --pid --fork --propagation private "$0" "$@"
fi
trap 'exit 130' INT TERM # this shell is process 1 of its namespace: without a handler it ignores both

apt_options=()
if [ "${1:-}" = --no-install-recommends ]; then
  apt_options+=(--no-install-recommends)
  shift
fi
[ $# -ge 1 ] || { echo "usage: $0 [--no-install-recommends] DEB [ROOT]" >&2; exit 2; }

deb=$(realpath "$1")
root=$(realpath -m "${2:-/var/tmp/melodrop-deb-root}")
run=$root.run

if [ ! -x "$root/usr/bin/apt-get" ]; then
  echo "making a Debian 12 root in $root with debootstrap" >&2
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
# --one-file-system: never follow a mount left in a copy into the file system behind it.
rm -rf --one-file-system "$run"
cp -a "$root" "$run"
cleanup() {
  umount "$run/proc" 2>/dev/null || true
  rm -rf --one-file-system "$run"
}
trap cleanup EXIT
mount -t proc proc "$run/proc"
cp /etc/resolv.conf "$run/etc/resolv.conf"
cp "$deb" "$run/tmp/"
in_root() { chroot "$run" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 "$@"; }

in_root apt-get update -qq
before=$(in_root dpkg-query -W -f='${Package}\n' | wc -l)
# The root has no terminal: dpkg runs without one rather than complain. Its talk is shown only when it fails.
if ! in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -o Dpkg::Use-Pty=0 "${apt_options[@]}" \
    "/tmp/$(basename "$deb")" >"$run/tmp/apt.log" 2>&1; then
  cat "$run/tmp/apt.log" >&2
  echo "FAILED: apt-get install ./$(basename "$deb")" >&2
  exit 1
fi
after=$(in_root dpkg-query -W -f='${Package}\n' | wc -l)
echo "apt-get install${apt_options[*]:+ ${apt_options[*]}} ./$(basename "$deb"): $((after - before)) packages installed," \
  "$(in_root dpkg-query -W -f='${Package} ${Version}, ${Installed-Size} KiB' melodrop)"

failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}

in_root melodrop-cli --help >/dev/null || fail "melodrop-cli --help"
version=$(in_root env QT_QPA_PLATFORM=offscreen melodrop --version 2>/dev/null) || fail "melodrop --version"
echo "melodrop --version: $version"
[[ "$version" == *"$(in_root dpkg-query -W -f='${Version}' melodrop)"* ]] || fail "melodrop --version: $version"

# The stand-in on its own: it prints its address, and the command-line client signs in there and searches.
in_root melodrop-sandbox --port 0 >"$run/tmp/sandbox.out" 2>/dev/null &
sandbox=$!
for _ in $(seq 100); do [ -s "$run/tmp/sandbox.out" ] && break; sleep 0.1; done
address=$(head -n1 "$run/tmp/sandbox.out")
echo "melodrop-sandbox: $address"
[[ "$address" == http://127.0.0.1:* ]] || fail "melodrop-sandbox printed no address"
found=$(in_root env MELODROP_PASSWORD=melodrop melodrop-cli --service-base "$address" --email demo@melodrop.test \
  search-audio a 2>/dev/null | wc -l) || fail "melodrop-cli search-audio against the stand-in"
echo "melodrop-cli search-audio a: $found records"
[ "$found" -gt 0 ] || fail "melodrop-cli found nothing at the stand-in"
kill "$sandbox"
wait "$sandbox" || true

# The window with --sandbox, offscreen: after a few seconds it must still run, with the stand-in it started from
# beside it, and have said nothing of a missing library, QML module or plugin, nor of a broken view.
mkdir -m 0700 "$run/tmp/runtime"
in_root env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/runtime timeout 10 melodrop --sandbox --root /tmp/docs \
  >"$run/tmp/window.out" 2>"$run/tmp/window.err" &
window=$!
sleep 6
started=no
for comm in "$run"/proc/[0-9]*/comm; do
  # The kernel keeps 15 characters of a program's name.
  [ "$(cat "$comm" 2>/dev/null)" = melodrop-sandbo ] && started=yes
done
wait "$window" && status=0 || status=$?
echo "melodrop --sandbox: $([ "$status" -eq 124 ] && echo "still running after 10 s" || echo "ended with $status")," \
  "stand-in started: $started; its standard error:"
sed 's/^/    /' "$run/tmp/window.err"
[ "$status" -eq 124 ] || fail "melodrop --sandbox ended before its time"
[ "$started" = yes ] || fail "melodrop --sandbox started no melodrop-sandbox"
if grep -Eiq "is not installed|cannot load|could not load|failed to load|cannot open shared object|qrc:/.*\.qml:[0-9]+" \
    "$run/tmp/window.err"; then
  fail "melodrop --sandbox complained (above)"
fi

[ "$failed" -eq 0 ] && echo "chroot checks passed"
exit "$failed"
