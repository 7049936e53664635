#!/usr/bin/env bash
# check-install.sh BUILD_DIR SOURCE_DIR
# Installs the build into a scratch DESTDIR under the prefix /usr/local,
# checks every installed file (with appstreamcli and desktop-file-validate
# where they are installed), then uninstalls and checks that no file is left.
set -euo pipefail
build=$1
source=$2
prefix=/usr/local

stage=$(mktemp -d)
manifest=$build/install_manifest.txt
saved_manifest=$(mktemp)
had_manifest=no
if [ -f "$manifest" ]; then
  cp "$manifest" "$saved_manifest"
  had_manifest=yes
fi
# The install below writes the build folder's manifest; a real install's
# manifest must survive this test so that its uninstall still works.
cleanup() {
  rm -rf "$stage"
  if [ "$had_manifest" = yes ]; then cp "$saved_manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -f "$saved_manifest"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >/dev/null
root=$stage$prefix

for program in corvane corvane-radiosim; do
  [ -x "$root/bin/$program" ] || fail "bin/$program missing or not executable"
done

desktop=$root/share/applications/corvane.desktop
if [ -f "$desktop" ]; then
  for line in 'Type=Application' 'Exec=corvane' 'Icon=corvane' 'Categories=Development;Electronics;'; do
    grep -qxF "$line" "$desktop" || fail "corvane.desktop lacks the line $line"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate refuses corvane.desktop"
  else
    echo "desktop-file-validate not installed: desktop entry not validated"
  fi
else
  fail "share/applications/corvane.desktop missing"
fi

icon=$root/share/icons/hicolor/scalable/apps/corvane.svg
if [ -f "$icon" ]; then
  grep -q '<svg' "$icon" || fail "corvane.svg is no SVG"
else
  fail "share/icons/hicolor/scalable/apps/corvane.svg missing"
fi

metainfo=$root/share/metainfo/org.corvane.corvane.metainfo.xml
if [ -f "$metainfo" ]; then
  grep -qF '<launchable type="desktop-id">corvane.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch corvane.desktop"
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses the metainfo"
  else
    echo "appstreamcli not installed: metainfo not validated"
  fi
else
  fail "share/metainfo/org.corvane.corvane.metainfo.xml missing"
fi

for page in corvane corvane-radiosim; do
  file=$root/share/man/man1/$page.1
  if [ -f "$file" ]; then
    grep -q '^\.SH NAME' "$file" || fail "$page.1 has no NAME section"
    ! grep -q '@[A-Z_]*@' "$file" || fail "$page.1 has an unreplaced @VARIABLE@"
  else
    fail "share/man/man1/$page.1 missing"
  fi
done

# Each program's --help and manual page agree on its options: every option
# --help lists has a heading in the page, and every option a heading names
# is one --help lists.
# The options --help lists: those that begin its option lines, not the ones
# its text mentions.
help_options() {
  "$1" --help 2>/dev/null | grep -oE -- '^  (-[a-zA-Z], )?--[a-z][a-z-]*' |
    grep -oE -- '--[a-z][a-z-]*' | sort -u
}
# The options the page's headings (the line after each .TP) name.
page_options() {
  awk 'previous == ".TP" { print } { previous = $0 }' "$1" |
    grep -oE -- '\\-\\-[a-z]([a-z]|\\-)*' | sed 's/\\-/-/g' | sort -u
}
for program in corvane corvane-radiosim; do
  page=$root/share/man/man1/$program.1
  [ -f "$page" ] && [ -x "$root/bin/$program" ] || continue
  listed=$(help_options "$root/bin/$program")
  described=$(page_options "$page")
  [ -n "$listed" ] || fail "$program --help lists no options"
  [ -n "$described" ] || fail "$program.1 describes no options"
  for option in $(comm -23 <(echo "$listed") <(echo "$described")); do
    fail "$program.1 does not describe $option, which $program --help lists"
  done
  for option in $(comm -13 <(echo "$listed") <(echo "$described")); do
    fail "$program.1 describes $option, which $program --help does not list"
  done
done

DESTDIR=$stage cmake -DMANIFEST="$manifest" -P "$source/cmake/Uninstall.cmake" >/dev/null
left=$(find "$stage" -type f -o -type l)
[ -z "$left" ] || fail "uninstall left: $left"

if [ "$failures" -ne 0 ]; then
  echo "$failures install check(s) failed"
  exit 1
fi
echo "install checks passed"
