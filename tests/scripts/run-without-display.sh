#!/usr/bin/env bash
# scripts/run on a machine without a display must say so and fail at once: before it installs packages,
# builds, starts anything or touches the demo folder (not even with --fresh).
set -euo pipefail
run_script=$1

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Every tool the set-up or the start would call records that it was called.
mkdir -p "$scratch/tools" "$scratch/build/bin"
for tool in "$scratch/tools/apt-get" "$scratch/tools/sudo" "$scratch/tools/dpkg-query" "$scratch/tools/cmake" \
  "$scratch/tools/ctest" "$scratch/build/bin/google-standin" "$scratch/build/bin/penhollow"; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/called"\n' "$(basename "$tool")" "$scratch" >"$tool"
  chmod +x "$tool"
done

failures=0
check() { # name, then the arguments and environment assignments of one run
  local name=$1
  shift
  rm -rf "$scratch/demo" "$scratch/called"
  mkdir -p "$scratch/demo/data"
  echo "kept" >"$scratch/demo/standin-state.json"
  local status=0
  env -u DISPLAY -u WAYLAND_DISPLAY PATH="$scratch/tools:$PATH" PENHOLLOW_BUILD_DIR="$scratch/build" \
    PENHOLLOW_DEMO_DIR="$scratch/demo" "$@" timeout 30 bash "$run_script" ${RUN_ARGS:-} \
    >"$scratch/out" 2>"$scratch/err" || status=$?
  local problems=()
  [ "$status" -ne 0 ] || problems+=("exited with status 0")
  [ "$status" -ne 124 ] || problems+=("did not finish within 30 seconds")
  grep -qF "No display found: ./scripts/run needs a graphical session (X11 or Wayland)." "$scratch/err" ||
    problems+=("no plain message on standard error")
  [ ! -e "$scratch/called" ] || problems+=("ran: $(tr '\n' ';' <"$scratch/called")")
  [ "$(cat "$scratch/demo/standin-state.json" 2>/dev/null)" = "kept" ] || problems+=("touched the demo folder")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "PASS: $name"
  else
    failures=$((failures + 1))
    echo "FAIL: $name: ${problems[*]}"
    echo "--- standard output"; cat "$scratch/out"
    echo "--- standard error"; cat "$scratch/err"
  fi
}

check "neither DISPLAY nor WAYLAND_DISPLAY set"
check "DISPLAY and WAYLAND_DISPLAY empty" DISPLAY= WAYLAND_DISPLAY=
RUN_ARGS=--fresh check "--fresh keeps the demo folder when it cannot run"
[ "$failures" -eq 0 ]
