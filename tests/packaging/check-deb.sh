#!/usr/bin/env bash
# Builds the two Debian packages with CPack into a scratch folder and checks their control fields,
# that each depends on the package of every library its program loads, that quarnel-scan pulls in
# no graphical library however deep, and that together they hold the install tree under /usr with
# stripped programs and directories no one else can write to.
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

arch=$(dpkg --print-architecture)
field() { dpkg-deb --field "$1" "$2"; }
# A package's Depends as " name name ... ", versions and alternatives dropped.
depends() { echo " $(field "$1" Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "; }

for package in quarnel-scan quarnel; do
  deb=$out/${package}_${version}_$arch.deb
  [ -f "$deb" ] || { ls "$out"; echo "FAIL: no $(basename "$deb")"; exit 1; }
  dpkg-deb --field "$deb"
  for pair in "Package $package" "Version $version" "Architecture $arch" "Section utils" \
              "Priority optional"; do
    name=${pair%% *} want=${pair#* }
    [ "$(field "$deb" "$name")" = "$want" ] \
      || fail "$package: $name is '$(field "$deb" "$name")', not '$want'"
  done
  [ -n "$(field "$deb" Maintainer)" ] || fail "$package: no Maintainer"
  [ "$(field "$deb" Description | wc -l)" -ge 3 ] || fail "$package: no long description"

  root=$out/root-$package
  dpkg-deb --extract "$deb" "$root"
  deps=$(depends "$deb")
  # Loaded as a plugin, so no program names it: both programs keep the history of walks with it.
  [[ $deps == *" libqt6sql6-sqlite "* ]] || fail "$package: Depends lacks libqt6sql6-sqlite"
  [ "$(ls "$root/usr/bin")" = "$package" ] || fail "$package: ships $(ls "$root/usr/bin" | xargs)"
  for program in "$root"/usr/bin/*; do
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
      [[ $deps == *" $owner "* ]] \
        || fail "$(basename "$program") needs $library from ${owner:-?}, which Depends lacks"
    done
  done
  writable=$(dpkg-deb --contents "$deb" | awk 'substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w"')
  [ -z "$writable" ] || fail "$package: entries writable by group or others: $writable"
  # What Debian's own checker says of the package: no error and no warning.
  lintian --fail-on error,warning "$deb" 2>&1 | grep -v "^running with root"
  ((PIPESTATUS[0] == 0)) || fail "lintian $package"
  echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"
done

# The window's package takes the command line's of its very version.
scan_deb=$out/quarnel-scan_${version}_$arch.deb
[[ $(field "$out/quarnel_${version}_$arch.deb" Depends) == *"quarnel-scan (= $version)"* ]] \
  || fail "quarnel does not depend on quarnel-scan (= $version)"
# The command line is for servers without a display: nothing it pulls in may be graphical.
if command -v apt-cache >/dev/null; then
  # shellcheck disable=SC2046 # one word per package
  pulled=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
             --no-replaces --no-enhances $(depends "$scan_deb") 2>/dev/null | grep -v '^ ' | sort -u)
  [ -n "$pulled" ] || fail "apt-cache knows none of quarnel-scan's dependencies"
  graphical=$(grep -E '^lib(qt6(gui|widgets|printsupport|charts|opengl|dbus)|x11-|xcb|gl1|glx|egl|opengl|wayland|gtk|cups)' <<<"$pulled")
  [ -z "$graphical" ] || fail "quarnel-scan pulls in graphical libraries: $graphical"
  echo "quarnel-scan pulls in: $(xargs <<<"$pulled")"
fi

# The same files as a plain install, under /usr.
stage=$out/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null 2>&1 || fail "cmake --install"
diff <(cd "$stage" && find . -type f | sort) \
     <(for root in "$out"/root-*; do (cd "$root" && find . -type f); done | sort) \
  || fail "the packages' files differ from an install under /usr (< install, > packages)"

exit $((failures > 0))
