#!/usr/bin/env bash
# Installs what is missing, builds both architectures, checks the 32-bit exports and
# installer packages, and runs every test program of both architectures under Wine.
# Each architecture's tests run in its own prefix with its own wineserver and Xvfb:
# the x86_64 tests start as soon as their build is done and run while the i686 build
# compiles (they mostly wait on Wine), the i686 tests as soon as theirs is, while the
# native tier builds and runs. Inside one architecture tests run one at a time (they
# share the profile file, the data source's log file and the display).
# Exit status: 0 when everything that ran passed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_DIR:-$root/build}
. "$root/scripts/wine-env.sh"

times=()
timed() {  # name, command...: runs it and notes how long it took
  local name=$1 start=$SECONDS
  shift
  "$@"
  times+=("$name $((SECONDS - start)) s")
}

# One architecture's CTest set in its own Wine environment; output to <build>/ctest.log,
# its run time to <build>/ctest.seconds.
run_arch_tests() {
  local arch=$1 build="$out/$1" start=$SECONDS status=0
  (
    wine_env_start "$build" "$arch"
    trap wine_env_stop EXIT
    mkdir -p "$build/artifacts"
    export KESTREL_ARTIFACTS="$build/artifacts"
    ctest --test-dir "$build" --output-on-failure
  ) > "$build/ctest.log" 2>&1 || status=$?
  echo "$((SECONDS - start))" > "$build/ctest.seconds"
  return $status
}

timed packages "$root/scripts/install-deps.sh"
declare -A pids
timed "x86_64 build" env BUILD_DIR="$out" "$root/scripts/build.sh" x86_64
run_arch_tests x86_64 & pids[x86_64]=$!
# A failed i686 build or check still lets the x86_64 tests finish and report.
status=0
timed "i686 build" env BUILD_DIR="$out" "$root/scripts/build.sh" i686 || status=$?
if [ $status -eq 0 ]; then
  "$root/scripts/check-exports.sh" "$out/i686/bin" || status=$?
  "$root/scripts/check-packages.sh" "$out/i686" || status=$?
fi
archs=(x86_64)
not_run=""
if [ $status -ne 0 ]; then
  not_run="i686 tests NOT RUN: the i686 build or its static checks failed"
elif wine_arch_runs i686; then
  run_arch_tests i686 & pids[i686]=$!
  archs+=(i686)
else
  not_run="i686 tests NOT RUN: this machine's kernel does not execute 32-bit programs (the 32-bit Wine loader fails to start, or runs only under a qemu emulator); the i686 test programs were built, the i686 exports and packages checked statically"
fi
# The native tier meanwhile: its own build in build/linux, no Wine.
timed "native tier" env BUILD_DIR="$out" "$root/scripts/run-native-tests.sh" || status=$?

for arch in "${archs[@]}"; do
  arch_status=0
  wait "${pids[$arch]}" || arch_status=$?
  [ $arch_status -eq 0 ] || status=$arch_status
  echo "=== $arch tests ==="
  cat "$out/$arch/ctest.log"
  times+=("$arch tests $(cat "$out/$arch/ctest.seconds") s")
done

echo "=== times: $(printf '%s; ' "${times[@]}")total $SECONDS s"
[ -z "$not_run" ] || echo "=== $not_run"
exit $status
