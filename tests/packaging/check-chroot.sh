#!/usr/bin/env bash
# Installs the two Debian packages in a clean Debian 12 (a minimal debootstrap, no display, no Qt)
# and lists what each pulls in: quarnel-scan first, which must bring no graphical library and
# must run there, then quarnel. Needs root, debootstrap and Debian's mirror; it says it skipped
# otherwise (exit 77). The first run takes minutes, so CTest runs it only when asked
# (QUARNEL_CHROOT_TEST=1); the base system is kept in CHROOT_CACHE between runs when given.
# Usage: check-chroot.sh BUILD_DIR VERSION
set -uo pipefail

build=$1 version=$2
skip() { echo "SKIP: $*"; exit 77; }
[ "${QUARNEL_CHROOT_TEST:-0}" = 1 ] || skip "set QUARNEL_CHROOT_TEST=1 to install the packages in a chroot"
[ "$(id -u)" -eq 0 ] || skip "needs root"
command -v debootstrap >/dev/null || skip "debootstrap is missing (apt install debootstrap)"

work=$(mktemp -d /var/tmp/quarnel-chroot.XXXXXX)
target=$work/root
cleanup() {
  for m in proc dev/pts dev; do umount "$target/$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/debs" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
arch=$(dpkg --print-architecture)

base=${CHROOT_CACHE:-}
if [ -n "$base" ] && [ -f "$base/etc/debian_version" ]; then
  cp -a "$base" "$target"
else
  debootstrap --variant=minbase bookworm "$target" http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 \
    || { tail -20 "$work/debootstrap.log"; skip "debootstrap could not reach Debian's mirror"; }
  [ -z "$base" ] || cp -a "$target" "$base"
fi
mount -t proc proc "$target/proc"
mount --bind /dev "$target/dev"
cp "$work"/debs/*.deb "$target/tmp/"
in_root() { chroot "$target" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
installed() { in_root dpkg-query -W -f='${Package}\n' | sort; }

in_root apt-get update -q >/dev/null || skip "apt-get update failed in the chroot"
failures=0
for package in quarnel-scan quarnel; do
  before=$(installed)
  if ! in_root apt-get install -y -q --no-install-recommends "/tmp/${package}_${version}_$arch.deb" \
       >"$work/$package.log" 2>&1; then
    tail -20 "$work/$package.log"; echo "FAIL: apt install $package"; failures=$((failures + 1))
    continue
  fi
  pulled=$(comm -13 <(echo "$before") <(installed))
  echo "$package pulls in $(wc -l <<<"$pulled") packages: $(xargs <<<"$pulled")"
  if [ "$package" = quarnel-scan ]; then
    graphical=$(grep -E '^lib(qt6(gui|widgets|printsupport|charts|opengl|dbus)|x11-|xcb|gl1|glx|egl|opengl|wayland|gtk|cups)' <<<"$pulled")
    [ -z "$graphical" ] || { echo "FAIL: quarnel-scan pulls in $graphical"; failures=$((failures + 1)); }
    mkdir -p "$target/tmp/tree/sub" && head -c 5000 /dev/zero >"$target/tmp/tree/sub/file"
    out=$(in_root quarnel-scan --export - /tmp/tree 2>&1) && [[ $out == *'"name":"file"'* ]] \
      || { echo "FAIL: quarnel-scan does not run in the chroot: $out"; failures=$((failures + 1)); }
  else
    in_root env QT_QPA_PLATFORM=offscreen quarnel --version | grep -qx "Quarnel $version" \
      || { echo "FAIL: quarnel --version in the chroot"; failures=$((failures + 1)); }
  fi
done
exit $((failures > 0))
