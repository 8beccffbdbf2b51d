#!/usr/bin/env bash
# Builds the Debian package of a build with cpack and checks it as a user gets it: it holds the
# game and kavarin-replay with their manual pages, the kavarin-replay it installs replays a match
# record to the state the match ended in, and lintian says nothing of it. Exit 77 (skipped)
# without dpkg-deb or lintian (scripts/deps package installs them).
#   package_check.sh BUILD_DIR RECORD      (RECORD.state beside RECORD holds the state line)
set -uo pipefail

for tool in cpack dpkg-deb lintian; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
build=$1 record=$2
fail() { echo "FAIL: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$(ls "$scratch"/out/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "cpack made no .deb"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/games/kavarin ./usr/games/kavarin-replay ./usr/share/man/man6/kavarin.6.gz \
            ./usr/share/man/man6/kavarin-replay.6.gz ./usr/games/kavarin-lobby \
            ./usr/share/man/man8/kavarin-lobby.8.gz ./usr/lib/systemd/system/kavarin-lobby.service; do
  grep -qx "$path" <<<"$contents" || fail "the package lacks $path"
done
zcat <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man6/kavarin.6.gz) |
  grep -q 'kavarin\\-replay (6)' || fail "kavarin(6) does not refer to kavarin-replay(6)"

dpkg-deb -x "$deb" "$scratch/root"
replayed=$("$scratch/root/usr/games/kavarin-replay" "$record") ||
  fail "the packaged kavarin-replay failed on $record"
[ "$replayed" = "$(cat "${record%.txt}.state")" ] ||
  fail "the packaged kavarin-replay replayed $record to: $replayed"
echo "ok: the packaged kavarin-replay replays $(basename "$record") to the state it ended in"

said=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges is not recommended')
[ -z "$said" ] || fail "lintian: $said"
echo "ok: lintian says nothing of $(basename "$deb")"
