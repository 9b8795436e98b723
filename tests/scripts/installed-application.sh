#!/usr/bin/env bash
# cmake --install into a scratch prefix lays out a package (the application, its resources, the launcher
# and the icon, nothing else), and the installed application, started against the stand-in, finds its
# resources there. Runs inside a virtual X display: xvfb-run -a bash installed-application.sh BUILD_DIR
set -euo pipefail
build=$1

scratch="$(mktemp -d)"
prefix="$scratch/prefix"
app_pid=""
standin_pid=""
cleanup() {
  [ -z "$app_pid" ] || kill -KILL "$app_pid" 2>/dev/null || true
  [ -z "$standin_pid" ] || kill -KILL "$standin_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for log in install standin app; do
    [ ! -s "$scratch/$log.out" ] || { echo "--- $log output"; cat "$scratch/$log.out"; }
  done
  exit 1
}

# Runs the command until it succeeds; a busy machine may take long to start a Qt application.
wait_for() {
  local what=$1 deadline=$((SECONDS + 120))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || fail "no $what within 120 seconds"
    [ -z "$standin_pid" ] || kill -0 "$standin_pid" 2>/dev/null || fail "the stand-in ended while waiting for $what"
    [ -z "$app_pid" ] || kill -0 "$app_pid" 2>/dev/null || fail "the application ended while waiting for $what"
    sleep 0.2
  done
}

cmake --install "$build" --prefix "$prefix" >"$scratch/install.out" 2>&1 || fail "cmake --install failed"

# The layout a distribution ships; the stand-in, the tests and the benchmarks stay out.
apps=share/applications
icons=share/icons/hicolor/scalable/apps
extra="$(cd "$prefix" && find . -type f | sed 's|^\./||' |
  grep -Ev "^(bin/penhollow|share/penhollow/.+|$apps/penhollow\.desktop|$icons/penhollow\.svg)$" || true)"
[ -z "$extra" ] || fail "installed more than the application: $(echo "$extra" | tr '\n' ' ')"
for file in bin/penhollow share/penhollow/data.db share/penhollow/editor.html share/penhollow/images/Penhollow.svg \
  share/penhollow/editor/squire.js share/penhollow/editor/purify.min.js $apps/penhollow.desktop $icons/penhollow.svg; do
  [ -s "$prefix/$file" ] || fail "$file was not installed"
done
[ ! -e "$prefix/share/penhollow/CMakeLists.txt" ] || fail "the build's CMakeLists.txt was installed as a resource"

desktop_file="$prefix/$apps/penhollow.desktop"
desktop-file-validate "$desktop_file" >"$scratch/validate.out" 2>&1 ||
  fail "desktop-file-validate: $(cat "$scratch/validate.out")"
# The launcher names what was installed.
grep -qx "Exec=penhollow" "$desktop_file" || fail "the launcher does not start the installed executable"
grep -qx "Icon=penhollow" "$desktop_file" || fail "the launcher does not name the installed icon"

# The stand-in from the build tree, on any free port.
"$build/bin/google-standin" --port 0 >"$scratch/standin.out" 2>&1 &
standin_pid=$!
wait_for "port from the stand-in" grep -qE '^Listening on port [0-9]+$' "$scratch/standin.out"
base="http://127.0.0.1:$(sed -nE 's/^Listening on port ([0-9]+)$/\1/p' "$scratch/standin.out")"

# Started from elsewhere with an empty data folder, so nothing but the installed tree can serve it.
mkdir -p "$scratch/data" "$scratch/elsewhere"
(cd "$scratch/elsewhere" && exec env PENHOLLOW_DATA_DIR="$scratch/data" PENHOLLOW_OAUTH_URL="$base" \
  PENHOLLOW_GOOGLE_API_URL="$base" PENHOLLOW_BLOGGER_URL="$base" QT_QPA_PLATFORM=xcb \
  "$prefix/bin/penhollow" >"$scratch/app.out" 2>&1) &
app_pid=$!

welcome_window() {
  xwininfo -root -tree | sed -nE 's/^ *(0x[0-9a-f]+) "Welcome to Penhollow": .*/\1/p' | head -n 1
}
shown() { [ -n "$(welcome_window)" ] && xwininfo -id "$(welcome_window)" | grep -q "Map State: IsViewable"; }
wait_for "welcome window" shown
# The database was made from the installed template before any window opened.
[ -s "$scratch/data/data.db" ] || fail "no database in the data folder"
! grep -q "failed to copy" "$scratch/app.out" || fail "the template database was not found"
# Its icon is resources/images/Penhollow.svg: none when the resources are not found.
wait_for "window icon" bash -c "xprop -id $(welcome_window) _NET_WM_ICON | grep -q ' = '"

echo "PASS: installed into $prefix, started, found its resources"
