#!/usr/bin/env bash
# Makes a folder "sub/up" that is a Unix symlink to its parent inside a fresh temporary tree of
# the build's Wine prefix, runs the check, then removes the link before the tree.
#   symlink_case.sh WINE_RUN BUILD_DIR TEST_EXE
set -euo pipefail
wine_run=$1 build=$2 exe=$3

paths=$("$wine_run" "$build" "$exe" make | tr -d '\r')
win_root=$(sed -n 1p <<<"$paths")
unix_root=$(sed -n 2p <<<"$paths")
unix_root=${unix_root%/}
case "$unix_root" in
  "$build"/*) ;;
  *) echo "unexpected tree location: $unix_root" >&2; exit 1 ;;
esac

cleanup() {
  rm -f "$unix_root/sub/up"   # the link only, never its target
  rm -rf --one-file-system "$unix_root"
}
trap cleanup EXIT
ln -s .. "$unix_root/sub/up"

PUR_SYMLINK_TREE="$win_root" "$wine_run" "$build" "$exe" --gtest_brief=0
