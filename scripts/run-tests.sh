#!/usr/bin/env bash
# Installs what is missing, builds both architectures, checks the 32-bit exports and
# installer packages,
# and runs every test under Wine (one wineserver and one Xvfb for the whole run).
# Exit status: that of the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
BUILD_DIR=$out "$root/scripts/build.sh"
"$root/scripts/check-exports.sh" "$out/i686/bin"
"$root/scripts/check-packages.sh" "$out/i686"

. "$root/scripts/wine-env.sh"
wine_env_start "$out/x86_64"
trap wine_env_stop EXIT
mkdir -p "$out/x86_64/artifacts"
export KESTREL_ARTIFACTS="$out/x86_64/artifacts"

status=0
BUILD_DIR=$out "$root/scripts/run-native-tests.sh" || status=$?
# One test at a time: every process that loads the data source deletes its log
# file, and the window tests share one display and pointer.
ctest --test-dir "$out/x86_64" --output-on-failure || status=$?
exit $status
