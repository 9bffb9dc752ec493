#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Times the search of a written site in headless Chromium from file://, and
# shows what the page loads before the first search and the largest index
# file a search loads.
#   search_bench.sh SITE_FOLDER [QUERIES]   (QUERIES: comma separated)
set -eu
site=$1
queries=${2:-ka,ro,Wolf,ster,dra,12}
here=$(dirname "$0")
cp "$here/search_timing.htm" "$site/suchzeit.htm"
trap 'rm -f "$site/suchzeit.htm"' EXIT
echo "vor der ersten Suche: suche.htm $(wc -c <"$site/suche.htm") Bytes"
grep -o 'href="[^"]*\.css"\|src="[^"]*"' "$site/suche.htm" | sort -u || true
echo "größte Indexdatei: $(ls -S "$site/daten/suche" | head -1) $(wc -c <"$site/daten/suche/$(ls -S "$site/daten/suche" | head -1)") Bytes"
chromium --headless --no-sandbox --disable-gpu --allow-file-access-from-files \
  --dump-dom "file://$(realpath "$site")/suchzeit.htm?q=$queries" 2>/dev/null | grep -o 'SUCHE [^<]*'
