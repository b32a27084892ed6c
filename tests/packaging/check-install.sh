#!/usr/bin/env bash
# Installs the build tree into a scratch DESTDIR and checks what a system would get: exactly the
# expected files, icons of the size their folder claims, a help the program finds, desktop and
# AppStream files that the validators accept and that agree with each other, and man pages that
# render cleanly and know every option of quarnel-scan.
# Usage: check-install.sh BUILD_DIR SOURCE_DIR VERSION
set -uo pipefail

build=$1 source=$2 version=$3
id=org.orvanne.Quarnel
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
have() { command -v "$1" >/dev/null || { fail "$1 is missing: run tools/install-deps"; false; }; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
if ! DESTDIR=$stage cmake --install "$build" --prefix /usr >"$stage.log" 2>&1; then
  cat "$stage.log"; rm -f "$stage.log"
  echo "FAIL: cmake --install"; exit 1
fi
rm -f "$stage.log"
root=$stage/usr

# The whole tree, so that a test or benchmark program slipping into the install shows up too.
expected=(
  bin/quarnel
  bin/quarnel-scan
  share/quarnel/qnl.html
  share/applications/$id.desktop
  share/metainfo/$id.metainfo.xml
  share/man/man1/quarnel.1.gz
  share/man/man1/quarnel-scan.1.gz
  share/doc/quarnel/copyright
  share/doc/quarnel/changelog.gz
  share/doc/quarnel-scan/copyright
  share/doc/quarnel-scan/changelog.gz
)
# hicolor files an icon under the size it is drawn at; width and height sit at bytes 16-23. A
# missing or extra icon is the listing's to report.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
icons=("$source"/src/app/resources/icons/quarnel-*.png)
((${#icons[@]} >= 2)) || fail "no application icons found in the sources"
for icon in "${icons[@]}"; do
  size=${icon##*-}; size=${size%.png}x${size%.png}
  expected+=("share/icons/hicolor/$size/apps/$id.png")
  installed=$root/${expected[-1]}
  [ ! -f "$installed" ] || [ "$(png_size "$installed")" = "$size" ] \
    || fail "the icon in $size is $(png_size "$installed")"
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -printf '%P\n' | sort) \
  || fail "the installed files differ from the expected ones (< expected, > installed)"
[ -z "$(cd "$stage" && find . -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files outside the prefix"

for program in quarnel quarnel-scan; do
  [ -x "$root/bin/$program" ] || fail "bin/$program is not executable"
  readelf -d "$root/bin/$program" 2>/dev/null | grep -Eq '\((RUNPATH|RPATH)\)' \
    && fail "bin/$program keeps a library search path"
done

# The program looks for its help at <bindir>/../share/quarnel/qnl.html.
cmp -s "$source/src/app/help/qnl.html" "$root/bin/../share/quarnel/qnl.html" \
  || fail "the help is not where the program looks for it, or differs from the source"

unreplaced=$(grep -Il '@[A-Z_]*@' -r "$root/share" | tr '\n' ' ')
[ -z "$unreplaced" ] || fail "unreplaced @VARIABLE@ in: $unreplaced"

desktop=$root/share/applications/$id.desktop
metainfo=$root/share/metainfo/$id.metainfo.xml
key() { sed -n "s/^$1=//p" "$desktop"; }
if [ -f "$desktop" ]; then
  if have desktop-file-validate; then
    # Hints and warnings count too: the file should give the validator nothing to say.
    report=$(desktop-file-validate "$desktop" 2>&1); status=$?
    [ -n "$report" ] && echo "$report"
    ((status == 0)) && [ -z "$report" ] || fail "desktop-file-validate"
  fi
  exec_program=$(key Exec | awk '{ print $1 }')
  [ -x "$root/bin/$exec_program" ] || fail "Exec=$exec_program is not an installed program"
  [ "$(key Icon)" = "$id" ] || fail "Icon=$(key Icon), not $id"
fi

if [ -f "$metainfo" ]; then
  if have appstreamcli; then
    appstreamcli validate --no-net --pedantic --no-color "$metainfo" || fail "appstreamcli validate"
  fi
  grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "the metainfo does not launch $id.desktop"
  newest=$(grep -m1 -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
  [ "$newest" = "$version" ] || fail "the newest release in the metainfo is $newest, the project is $version"
fi

# Every option of the programs' own help must be in their man pages; the help and the version
# answer with no display, as for any command.
for program in quarnel quarnel-scan; do
  page=$root/share/man/man1/$program.1.gz
  [ -x "$root/bin/$program" ] && [ -f "$page" ] || continue
  options=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)
  [ -n "$options" ] || fail "$program --help names no options"
  for option in $options; do
    zgrep -qF -- "${option//-/\\-}" "$page" || fail "$program.1 does not document $option"
  done
done
[ "$(env -u DISPLAY "$root/bin/quarnel" --version 2>&1)" = "Quarnel $version" ] \
  || fail "quarnel --version does not print 'Quarnel $version'"
if command -v man >/dev/null; then
  for page in "$root"/share/man/man1/*.1.gz; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$(basename "$page") renders with warnings: $warnings"
  done
fi

((failures == 0)) && echo "install layout checked: ${#expected[@]} files"
exit $((failures > 0))
