#!/usr/bin/env bash
# Developer entry point: ./run.sh build | test | demo | bench
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

# Debian packages the build, the tests and the demo need.
PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-dev libicu-dev
  qt6-base-dev
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

ensure_packages() {
  local missing
  missing=$(missing_packages | tr '\n' ' ')
  [ -z "${missing// }" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them as root, then run this again:" >&2
    echo "  apt-get install -y $missing" >&2
    exit 1
  fi
  echo "Installing missing Debian packages: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # shellcheck disable=SC2086
  apt-get install -y --no-install-recommends $missing || { apt-get update && apt-get install -y --no-install-recommends $missing; }
}

configure_and_build() { # <build dir> <cmake args...>
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$JOBS"
}

cmd_build() {
  ensure_packages
  configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=Release -DKV_BUILD_TESTS=OFF
  echo "Programs are in build/bin/"
}

cmd_test() {
  ensure_packages
  configure_and_build "$ROOT/build-test" -DCMAKE_BUILD_TYPE=Debug -DKV_SANITIZE=ON -DKV_WERROR=ON -DKV_BUILD_TESTS=ON
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  ctest --test-dir "$ROOT/build-test" --output-on-failure -j "$JOBS" "$@"
}

cmd_bench() {
  ensure_packages
  configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=Release -DKV_BUILD_TESTS=OFF -DKV_BUILD_BENCHMARKS=ON
  local b
  for b in "$ROOT"/build/bin/bench_*; do
    echo "== $(basename "$b")"
    "$b" "$@"
  done
}

cmd_demo() {
  echo "The wizard is not built yet: there is nothing to demonstrate so far." >&2
  exit 1
}

case "${1:-}" in
  build) shift; cmd_build "$@" ;;
  test) shift; cmd_test "$@" ;;
  bench) shift; cmd_bench "$@" ;;
  demo) shift; cmd_demo "$@" ;;
  *)
    echo "usage: ./run.sh build | test [ctest args] | bench [benchmark args] | demo" >&2
    exit 2 ;;
esac
