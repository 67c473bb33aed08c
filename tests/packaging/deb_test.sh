#!/usr/bin/env bash
# Packs the build tree as `make package` does, twice, a second apart, and checks the .deb:
# the same bytes both times, every member dated with the last commit, a manual page for
# each program, the documents the manuals send readers to, nothing lintian calls an error
# or a warning.
#
#   deb_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1 build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The package must date itself, as it does for `make package`.
unset SOURCE_DATE_EPOCH

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# pack NAME: packs into $work/NAME and prints the path of the .deb.
pack() {
  if ! (cd "$build_dir" && cpack -G DEB -B "$work/$1") >"$work/$1.log" 2>&1; then
    cat "$work/$1.log" >&2
    exit 1
  fi
  echo "$work/$1"/*.deb
}

first=$(pack first)
sleep 1  # a package dated by the clock would differ now
second=$(pack second)
if ! cmp "$first" "$second"; then
  fail "two packs of the same tree differ"
  diff <(ar tv "$first") <(ar tv "$second") || true
  diff <(dpkg-deb -I "$first") <(dpkg-deb -I "$second") || true
  diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") || true
fi

if epoch=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null); then
  stamp=$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
  members=$(dpkg-deb --ctrl-tarfile "$first" | TZ=UTC tar -tv --full-time
            dpkg-deb --fsys-tarfile "$first" | TZ=UTC tar -tv --full-time)
  undated=$(grep -v -F " $stamp ./" <<<"$members" || true)
  [ -z "$undated" ] || fail "members not dated $stamp, the last commit:"$'\n'"$undated"
  archive_stamp=$(date -u -d "@$epoch" '+%b %e %H:%M %Y')
  undated=$(TZ=UTC ar tv "$first" | grep -v -F " $archive_stamp " || true)
  [ -z "$undated" ] || fail "archive members not dated $archive_stamp:"$'\n'"$undated"
else
  echo "note: no git history, so the package's date is not checked"
fi

files=$(dpkg-deb -c "$first" | awk '{ print $6 }')
while read -r program; do
  name=${program##*/}
  grep -qxF "./usr/share/man/man1/$name.1.gz" <<<"$files" || fail "$name has no manual page"
done < <(grep '^\./usr/bin/.' <<<"$files")
doc=./usr/share/doc/qk4410conftool
for wanted in ./usr/bin/qk4410-replay $doc/profiles.md $doc/fleet.md $doc/json.md $doc/json-schema.json \
  $doc/remote.md; do
  grep -qxF "$wanted" <<<"$files" || fail "$wanted is not in the package"
done

if ! lintian --fail-on error,warning "$first" >"$work/lintian.log" 2>&1; then
  fail "lintian:"$'\n'"$(grep -v 'running with root privileges' "$work/lintian.log")"
fi

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "$(basename "$first"): the same bytes twice, dated ${stamp:-(not checked)}, lintian clean"
