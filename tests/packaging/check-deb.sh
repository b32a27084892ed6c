#!/usr/bin/env bash
# Builds the Debian package with CPack into a scratch folder and checks its control fields, that
# it depends on the package of every library the programs load, and that it holds the install
# tree under /usr with stripped programs and directories no one else can write to.
# Usage: check-deb.sh BUILD_DIR VERSION
set -uo pipefail

build=$1 version=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1
fi
debs=("$out"/quarnel_"$version"_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  ls "$out"; echo "FAIL: no single quarnel_${version}_<arch>.deb"; exit 1
fi
deb=${debs[0]}
dpkg-deb --field "$deb"

field() { dpkg-deb --field "$deb" "$1"; }
while read -r name want; do
  [ "$(field "$name")" = "$want" ] || fail "$name is '$(field "$name")', not '$want'"
done <<EOF
Package quarnel
Version $version
Architecture $(dpkg --print-architecture)
Section utils
Priority optional
EOF
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"

dpkg-deb --extract "$deb" "$out/root"
depends=" $(field Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
# Loaded as a plugin, so no program names it: the history of walks is kept with it.
[[ $depends == *" libqt6sql6-sqlite "* ]] || fail "Depends lacks libqt6sql6-sqlite"
for program in "$out"/root/usr/bin/*; do
  readelf -S "$program" | grep -q '\.debug_info' && fail "$(basename "$program") is not stripped"
  # The package that ships each library the program loads must be a dependency.
  for library in $(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldconfig -p | awk -v lib="$library" '$1 == lib { print $NF; exit }')
    [ -n "$path" ] || { fail "$library is not found on this machine"; continue; }
    # dpkg knows a file by the path its package ships it at, which with /usr merged may be
    # neither the one ldconfig gives nor the fully resolved one.
    owner=
    for candidate in "$path" "$(dirname "$path")/$(basename "$(readlink -f "$path")")" \
                     "$(readlink -f "$path")"; do
      owner=$(dpkg -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1)
      [ -n "$owner" ] && break
    done
    [[ $depends == *" $owner "* ]] \
      || fail "$(basename "$program") needs $library from ${owner:-?}, which Depends lacks"
  done
done

# The same files as a plain install, under /usr.
stage=$out/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null 2>&1 || fail "cmake --install"
diff <(cd "$stage" && find . -type f | sort) <(cd "$out/root" && find . -type f | sort) \
  || fail "the package's files differ from an install under /usr (< install, > package)"
writable=$(dpkg-deb --contents "$deb" | awk 'substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w"')
[ -z "$writable" ] || fail "entries writable by group or others: $writable"

# What Debian's own checker says of the package: no error and no warning.
lintian --fail-on error,warning "$deb" 2>&1 | grep -v "^running with root"; ((PIPESTATUS[0] == 0)) \
  || fail "lintian"

((failures == 0)) && echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
exit $((failures > 0))
