#!/usr/bin/env bash
# A second scripts/run while the first runs hands over to the running window and touches nothing of the
# running demo: not the stand-in's port, log or state. The stand-in keeps its port from one run to the next,
# and a browser the application opened does not keep the demo from the next run once the first has ended.
# What switches the web engine's sandbox off as root is named as added by the script, so that the
# application hands it on to no browser it opens.
set -euo pipefail
run_script=$1

scratch="$(mktemp -d)"
demo="$scratch/demo"
first_pid=""
cleanup() {
  touch "$scratch/quit" "$scratch/browser-quit"
  [ -z "$first_pid" ] || wait "$first_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# The set-up finds everything installed and builds nothing; the programs record how they were called.
mkdir -p "$scratch/tools" "$scratch/build/bin"
printf '#!/bin/sh\necho "install ok installed"\n' >"$scratch/tools/dpkg-query"
for tool in apt-get sudo cmake npm; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/called"\n' "$tool" "$scratch" >"$scratch/tools/$tool"
done
# The stand-in: says its port (the one asked for, else 41234) and runs until it is stopped.
cat >"$scratch/build/bin/google-standin" <<STANDIN
#!/usr/bin/env bash
echo "google-standin \$*" >>"$scratch/called"
port=\$2
[ "\$port" != 0 ] || port=41234
echo "Listening on port \$port"
trap 'echo "google-standin stopped" >>"$scratch/called"; exit 0' TERM
while :; do sleep 0.1; done
STANDIN
# The application: the first one runs until the test lets it quit; one started while it runs hands over.
# The very first opens a link: the browser it starts, with every descriptor it was given, outlives it.
cat >"$scratch/build/bin/penhollow" <<APP
#!/usr/bin/env bash
echo "\${QTWEBENGINE_DISABLE_SANDBOX-unset} \${PENHOLLOW_ADDED_ENGINE_VARIABLES-unset}" >>"$scratch/engine"
echo "penhollow \$PENHOLLOW_BLOGGER_URL" >>"$scratch/called"
if ! mkdir "$scratch/app-running" 2>/dev/null; then
  exit 0
fi
if mkdir "$scratch/browser" 2>/dev/null; then
  (while [ -d "$scratch" ] && [ ! -e "$scratch/browser-quit" ]; do sleep 0.1; done) >/dev/null 2>&1 &
fi
until [ -e "$scratch/quit" ]; do sleep 0.1; done
rm -rf "$scratch/app-running" "$scratch/quit"
APP
chmod +x "$scratch"/tools/* "$scratch"/build/bin/*

run() { # arguments of scripts/run
  env -u QTWEBENGINE_DISABLE_SANDBOX -u PENHOLLOW_ADDED_ENGINE_VARIABLES DISPLAY=:fake PATH="$scratch/tools:$PATH" \
    PENHOLLOW_BUILD_DIR="$scratch/build" PENHOLLOW_DEMO_DIR="$demo" timeout 60 bash "$run_script" "$@"
}
# Every file of the demo folder with its size, time of change and content.
snapshot() {
  (cd "$demo" && find . -type f -printf '%p %s %T@ %C@\n' | sort && find . -type f -exec md5sum {} + | sort)
}
wait_for() { # description, then a command that must come true within 60 seconds
  local what=$1
  shift
  local deadline=$((SECONDS + 60))
  until "$@"; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      echo "FAIL: gave up waiting for $what"
      cat "$scratch/called" 2>/dev/null || true
      exit 1
    fi
    sleep 0.1
  done
}
failures=0
expect() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then
    echo "PASS: $what"
  else
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}
count() { grep -c "^$1" "$scratch/called" || true; }

run >"$scratch/first.out" 2>&1 &
first_pid=$!
wait_for "the first run's application" test -d "$scratch/app-running"
expect "the first run's stand-in took a port and wrote it down" test "$(cat "$demo/standin-port")" = 41234
before="$(snapshot)"

status=0
run >"$scratch/second.out" 2>&1 || status=$?
expect "the second run ends at once, as its application hands over" test "$status" -eq 0
expect "the second run started no stand-in" test "$(count google-standin)" -eq 1
expect "the second run's application was given the running stand-in" \
  grep -qx "penhollow http://127.0.0.1:41234" <(sed -n '$p' "$scratch/called")
expect "the second run left the running demo as it was" test "$before" = "$(snapshot)"
engine="unset unset"
[ "$(id -u)" -ne 0 ] || engine="1 QTWEBENGINE_DISABLE_SANDBOX"
expect "both applications were told the sandbox variable is the script's, not the user's" \
  test "$(sort -u "$scratch/engine")" = "$engine"

status=0
run --fresh >"$scratch/fresh.out" 2>&1 || status=$?
expect "--fresh refuses while the demo runs" test "$status" -eq 1
expect "--fresh says why" grep -q "Penhollow is running on it" "$scratch/fresh.out"
expect "--fresh deleted nothing of the running demo" test "$before" = "$(snapshot)"

touch "$scratch/quit"
status=0
wait "$first_pid" || status=$?
first_pid=""
expect "the first run ends with its application" test "$status" -eq 0
expect "the first run stopped its stand-in" test "$(count "google-standin stopped")" -eq 1

run >"$scratch/third.out" 2>&1 &
first_pid=$!
wait_for "the third run's application" test -d "$scratch/app-running"
expect "a browser left running by the first run's application lets the next run start its own stand-in" \
  test "$(count "google-standin --port")" -eq 2
expect "the next run asks the stand-in for the port of the last one" \
  grep -q "^google-standin --port 41234 " <(grep "^google-standin --port" "$scratch/called" | sed -n '$p')
expect "the port kept is still written down" test "$(cat "$demo/standin-port")" = 41234

if [ "$failures" -ne 0 ]; then
  for out in first second fresh third; do
    echo "--- $out run"
    cat "$scratch/$out.out" 2>/dev/null || true
  done
  echo "--- calls"
  cat "$scratch/called"
fi
[ "$failures" -eq 0 ]
