#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user gets it: unpacked into a temporary root with
# dpkg -x and run from there under a fresh HOME. The installed programs must
# find their shared files beside their own folder, set up the per-user program
# folder, fold a sample log, write the site, and write nothing below the
# installation. The desktop entry, the metainfo and the manual pages must
# pass their validators, the package lintian, its binaries hardening-check and
# the listener's unit systemd's security analysis. Usage: test_package.sh DEB
set -euo pipefail
deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
home="$work/home"
mkdir -p "$home" "$work/cwd"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_eq() {  # expected actual what
  [ "$1" = "$2" ] || fail "$3: expected '$1', got '$2'"
}

dpkg -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libqt6webenginewidgets6 fonts-liberation; do
  [[ $depends == *"$lib "* || $depends == *"$lib,"* || $depends == *"$lib" ]] ||
    fail "Depends lacks $lib"
done

bin="$root/usr/bin"
shared="$root/usr/share/varnokel"
expect_eq "varnokel-cli $version" "$("$bin/varnokel-cli" --version)" "varnokel-cli --version"
expect_eq "varnokel $version" "$("$bin/varnokel" --version)" "varnokel --version"
missing_folder=0
unknown_option=0
"$bin/varnokel" --program-dir >/dev/null 2>&1 || missing_folder=$?
env HOME="$work/usage-home" QT_QPA_PLATFORM=offscreen "$bin/varnokel" --no-such-option \
  >/dev/null 2>&1 || unknown_option=$?
expect_eq "2 2" "$missing_folder $unknown_option" "exit status of the window's usage errors"

# Every file below the installation with its bytes, for the before/after check.
snapshot() {
  (cd "$root" && find . -printf '%p %y %m %s %T@ %l\n' | sort &&
    find . -type f -exec sha256sum {} + | sort)
}
before=$(snapshot)

# The batch tool without --program-dir: the per-user folder below HOME.
data="$home/.local/share/varnokel"
status=$(cd "$work/cwd" && env -u XDG_DATA_HOME HOME="$home" "$bin/varnokel-cli" \
  --load "$shared/samples/abend.log" --update --report)
expect_eq "Logfile fertig... Datenbank 1 fertig... HTML - Ausgabe 1 fertig..." "$status" \
  "status of load, update, report"
for n in 1 2 3 4 5 6 7 8 9; do [ -d "$data/Datenbanken/db$n" ] || fail "no database $n"; done
[ -n "$(ls -A "$data/Datenbanken/db1")" ] || fail "database 1 has no players"
[ -z "$(ls -A "$data/Datenbanken/db2")" ] || fail "database 2 is not empty"
for file in html/st.htm html/se.htm html/sp.htm html/wt.htm html/style.css html/usp.gif \
  html/req/about.htm color.no buffer.no s_style.css varnokel_design.htm varnokel.swf water.bmp; do
  [ -f "$data/$file" ] || fail "per-user folder lacks $file"
done
for file in color.no buffer.no html/req/about.htm html/usp.gif; do
  cmp -s "$shared/$file" "$data/$file" || fail "$file differs from the shipped one"
  [ ! -L "$data/$file" ] || fail "$file is a link into the installation"
done
expect_eq "" "$(find "$data" -type l)" "links in the per-user folder"
[ -f "$shared/ruffle/ruffle.js" ] || fail "the installation lacks the animation's player"
[ -z "$(ls -A "$work/cwd")" ] || fail "wrote into the working directory"

# XDG_DATA_HOME, when absolute, moves the folder.
env XDG_DATA_HOME="$work/xdg" HOME="$home" "$bin/varnokel-cli" --list >/dev/null
[ -d "$work/xdg/varnokel/Datenbanken/db9" ] || fail "XDG_DATA_HOME not followed"

# The window starts from the package under a fresh HOME (offscreen) and sets up
# its folder there; still running after the time limit means it came up.
window_home="$work/window-home"
mkdir -p "$window_home"
set +e
(cd "$work/cwd" && env -u XDG_DATA_HOME HOME="$window_home" QT_QPA_PLATFORM=offscreen \
  timeout 15 "$bin/varnokel" >"$work/window.log" 2>&1)
window_status=$?
set -e
expect_eq 124 "$window_status" "window still running after 15 s (log: $(head -c 400 "$work/window.log"))"
[ -d "$window_home/.local/share/varnokel/Datenbanken/db1" ] || fail "window set up no folder"

# A --program-dir that does not exist yet is made from the installation, by
# the batch tool and by the window alike, and said so once.
made=$("$bin/varnokel-cli" --program-dir "$work/clan-stats" --list 2>&1)
expect_eq "Programmordner $work/clan-stats aus der Vorlage der Installation eingerichtet" \
  "$made" "message of a new --program-dir"
expect_eq "" "$("$bin/varnokel-cli" --program-dir "$work/clan-stats" --list 2>&1)" \
  "a second run on the new folder"
set +e
(cd "$work/cwd" && env HOME="$window_home" QT_QPA_PLATFORM=offscreen \
  timeout 15 "$bin/varnokel" --program-dir "$work/clan-window" >"$work/window.log" 2>&1)
window_status=$?
set -e
expect_eq 124 "$window_status" "window on a new --program-dir (log: $(head -c 400 "$work/window.log"))"
for folder in clan-stats clan-window; do
  [ -d "$work/$folder/Datenbanken/db9" ] || fail "--program-dir $folder not made"
  expect_eq 755 "$(stat -c %a "$work/$folder/html")" "mode of $folder/html"
done

expect_eq "$before" "$(snapshot)" "files below the installation after the runs"

# The files the desktop and the software centres read, and the manual pages.
desktop="$root/usr/share/applications/de.varnokel.stats.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/de.varnokel.stats.metainfo.xml" >/dev/null ||
  fail "appstreamcli validate"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$bin/$exec_program" ] || fail "Exec=$exec_program is not an installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no $size px icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon"
for page in varnokel varnokel-cli; do
  warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -ww -z -Tutf8 2>&1)
  expect_eq "" "$warnings" "groff warnings for $page(1)"
done

# What a Debian reviewer runs: lintian without an error or a warning, every
# binary hardened, the listener's sandbox rated at most 2.5 ("OK").
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.log")"
lintian_output=$(grep -v 'root privileges' "$work/lintian.log" || true)
echo "lintian: ${lintian_output:-no error, no warning}"
# Control-flow protection is built in, but Debian 12's C runtime start files
# lack its mark, so no program linked there carries it.
for program in "$bin"/*; do
  hardening-check --quiet --nocfprotection "$program" || fail "hardening-check $(basename "$program")"
done
unit="$root/usr/lib/systemd/system/varnokel-listen@.service"
exposure_tenths=25
systemd-analyze security --offline=true --no-pager --threshold="$exposure_tenths" "$unit" \
  >"$work/security.log" 2>&1 || fail "systemd-analyze security: $(tail -n 1 "$work/security.log")"
tail -n 1 "$work/security.log"
expect_eq "u varnokel" "$(grep -o '^u varnokel' "$root/usr/lib/sysusers.d/varnokel.conf")" \
  "the listener's system user"
dpkg-deb -e "$deb" "$work/control"
for script in postinst prerm postrm; do
  [ -x "$work/control/$script" ] || fail "no $script"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures packaging check(s) failed" >&2
  exit 1
fi
echo "packaging checks passed"
