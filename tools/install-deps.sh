#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, when missing
# (dpkg-dev for the package's dependencies; desktop-file-utils, appstream and
# groff-base to check the desktop entry, the metainfo and the manual pages;
# lintian, devscripts' hardening-check and systemd's systemd-analyze to
# review the package; fonts-liberation, which the package depends on).
set -euo pipefail
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-webengine-dev libgtest-dev libgmock-dev
          libbenchmark-dev libssl-dev libsqlite3-dev sqlite3 zlib1g-dev clang libclang-rt-14-dev
          fonts-dejavu-core fonts-liberation2 fonts-liberation chromium xvfb xauth
          qt6-translations-l10n dpkg-dev desktop-file-utils appstream groff-base lintian devscripts
          systemd
          locales)  # the skin test compiles a German locale from its sources
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ! command -v npm >/dev/null 2>&1; then missing+=(npm); fi
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
