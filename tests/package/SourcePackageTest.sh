#!/usr/bin/env bash
# The source tarball: packing the tree twice gives the same bytes, every
# entry has the release's time and owner 0 in sorted order, and a tree
# unpacked from it (with new file times, in another folder) packs again to
# the very same bytes.
set -euo pipefail
build="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

pack() {  # build-folder output-folder
  (cd "$1" && cpack --config CPackSourceConfig.cmake -B "$2" >"$2.log" 2>&1) || { cat "$2.log" >&2; exit 1; }
  if grep -q "CMake Warning" "$2.log"; then cat "$2.log" >&2; exit 1; fi
  ls "$2"/*.tar.gz
}
first=$(pack "$build" "$work/first")
second=$(pack "$build" "$work/second")
cmp "$first" "$second" || { echo "two packings of the same tree differ"; exit 1; }
name=$(basename "$first" .tar.gz)

listing=$(tar -tvzf "$first" --numeric-owner --full-time)
owners=$(awk '{print $2}' <<<"$listing" | sort -u)
[ "$owners" = "0/0" ] || { echo "owners other than 0/0: $owners"; exit 1; }
times=$(awk '{print $4, $5}' <<<"$listing" | sort -u)
[ "$(wc -l <<<"$times")" -eq 1 ] || { echo "more than one file time: $times"; exit 1; }
names=$(tar -tzf "$first")
[ "$names" = "$(LC_ALL=C sort <<<"$names")" ] || { echo "names are not sorted"; exit 1; }
for file in CMakeLists.txt LICENSE CHANGELOG.md README.md docs/batch-mode.md scripts/setup.sh docs/man/pelican.1.in \
            resources/pelican.svg tests/CMakeLists.txt; do
  grep -qx "$name/$file" <<<"$names" || { echo "$file is not in the tarball"; exit 1; }
done
if grep -qE "^$name/(\.git|build[^/]*)(/|$)" <<<"$names"; then echo "version control or build files packed"; exit 1; fi

# The unpacked tree, its files touched now, configured and packed again.
mkdir "$work/unpacked"
tar -xzmf "$first" -C "$work/unpacked"
tree="$work/unpacked/$name"
cmake -S "$tree" -B "$tree/build" -DPELICAN_BENCH=OFF >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
again=$(pack "$tree/build" "$work/again")
cmp "$first" "$again" || { echo "the unpacked tree packs to other bytes"; exit 1; }
echo "$(basename "$first"): $(wc -l <<<"$names") entries, $(sha256sum "$first" | cut -c1-16)..., reproducible"
