# Shared set-up of scripts/test and scripts/run: Debian packages, configure, build.
set -euo pipefail

PENHOLLOW_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# The optimised build: the application and the stand-in that ./scripts/run starts, the install, benchmarks.
PENHOLLOW_BUILD="${PENHOLLOW_BUILD_DIR:-$PENHOLLOW_ROOT/build}"
# The test build: every test program, once, with AddressSanitizer and UBSan; the suite runs from here.
PENHOLLOW_TEST_BUILD="$PENHOLLOW_BUILD/sanitize"

PENHOLLOW_PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginecore6-bin
  qt6-webchannel-dev qt6-svg-dev libqt6opengl6-dev libgl-dev
  libsqlite3-dev sqlite3 libbenchmark-dev zlib1g-dev
  xvfb xauth x11-utils fonts-dejavu-core tzdata desktop-file-utils
  openbox xdotool libxcb1-dev acl
)
# The editor page's libraries come from the npm registry; a Node.js that already brings npm is kept.
PENHOLLOW_NODE_PACKAGES=(nodejs npm)

# Installs what is missing of the packages above and of those named.
penhollow_install_packages() {
  local missing=()
  local pkg
  for pkg in "${PENHOLLOW_PACKAGES[@]}" "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if ! command -v npm >/dev/null 2>&1; then
    missing+=("${PENHOLLOW_NODE_PACKAGES[@]}")
  fi
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# CMake's own CMAKE_BUILD_PARALLEL_LEVEL caps the jobs on a shared machine; the default is one per core.
PENHOLLOW_JOBS="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

# The editor page's libraries, exactly as web/package-lock.json pins them, into web/node_modules.
penhollow_install_web_libraries() {
  local web="$PENHOLLOW_ROOT/web"
  # Skipped when what is installed already matches the lock file.
  if [ -f "$web/node_modules/.package-lock.json" ] &&
    [ "$web/node_modules/.package-lock.json" -nt "$web/package-lock.json" ]; then
    return 0
  fi
  (cd "$web" && npm ci --ignore-scripts --no-audit --no-fund)
}

# Configures and builds the optimised build: the targets named, or everything when none is.
penhollow_build() {
  penhollow_install_web_libraries
  # PENHOLLOW_WERROR=ON (set by .ci/run) turns compiler warnings into errors. Optimised as RelWithDebInfo is
  # (so benchmark figures compare), without its debug information, which costs a quarter of the compile time.
  cmake -S "$PENHOLLOW_ROOT" -B "$PENHOLLOW_BUILD" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DPENHOLLOW_WERROR="${PENHOLLOW_WERROR:-OFF}"
  local targets=()
  if [ $# -gt 0 ]; then
    targets=(--target "$@")
  fi
  cmake --build "$PENHOLLOW_BUILD" --parallel "$PENHOLLOW_JOBS" "${targets[@]}"
}

# Configures and builds the test build. Line tables are all a sanitizer report needs and build much faster
# than full debug information; the install test takes the optimised build's application.
penhollow_build_tests() {
  penhollow_install_web_libraries
  cmake -S "$PENHOLLOW_ROOT" -B "$PENHOLLOW_TEST_BUILD" -DCMAKE_BUILD_TYPE=Debug -DPENHOLLOW_SANITIZE=ON \
    -DPENHOLLOW_APP_BUILD_DIR="$PENHOLLOW_BUILD" -DPENHOLLOW_WERROR="${PENHOLLOW_WERROR:-OFF}"
  cmake --build "$PENHOLLOW_TEST_BUILD" --parallel "$PENHOLLOW_JOBS"
}
