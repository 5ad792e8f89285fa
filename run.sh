#!/usr/bin/env bash
# Developer entry point: ./run.sh build | test | demo | screenshots | bench | fuzz | package
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

# Debian packages the build, the tests and the demo need.
PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libxml2-dev libicu-dev libacl1-dev
  qt6-base-dev
  libcurl4-openssl-dev libcpp-httplib-dev apache2
  libsodium-dev minisign ansible-core
  patchelf
  # A screen reader's desktop for the wizard's AT-SPI test: session bus, AT-SPI bus, X server.
  dbus-daemon at-spi2-core xvfb python3-pyatspi
  rsync strace  # the peers and the tracer of benchmarks/compare_update.sh
  desktop-file-utils
)

# ./run.sh package also takes Qt's Wayland plugin along when it is installed.
PACKAGE_PACKAGES=(qt6-wayland)

# Only ./run.sh fuzz needs these: clang with its libFuzzer runtime.
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

missing_packages() { # <packages...>
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

ensure_packages() { # [packages...], default PACKAGES
  local missing
  [ $# -gt 0 ] || set -- "${PACKAGES[@]}"
  missing=$(missing_packages "$@" | tr '\n' ' ')
  [ -z "${missing// }" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages. Install them as root, then run this again:" >&2
    echo "  apt-get install -y $missing" >&2
    exit 1
  fi
  echo "Installing missing Debian packages: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # Fresh lists first: without any the install cannot locate packages, with old ones it misses
  # security updates.
  apt-get update
  # shellcheck disable=SC2086
  apt-get install -y --no-install-recommends $missing
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

# Builds every fuzz/fuzz_<name>.cpp with clang and libFuzzer and runs each (or the named ones) for
# the given number of seconds on its corpus build-fuzz/corpus/<name> (seeded by the program
# itself). Crash inputs land in build-fuzz/artifacts/<name>/, the output in
# build-fuzz/logs/<name>.log. Fails when any fuzzer finds a crash.
cmd_fuzz() { # [seconds] [names...]
  local seconds=${1:-60}
  if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: ./run.sh fuzz [seconds per fuzzer, default 60] [fuzzer names...]" >&2
    exit 2
  fi
  if [ $# -gt 0 ]; then shift; fi
  local only=" $* "
  ensure_packages "${PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
  local dir=$ROOT/build-fuzz
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKV_SANITIZE=ON -DKV_BUILD_FUZZERS=ON -DKV_BUILD_TESTS=OFF
  cmake --build "$dir" -j "$JOBS" --target kv_fuzzers
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  local program name failed=()
  for program in "$dir"/bin/fuzz_*; do
    [ -x "$program" ] || continue
    name=$(basename "$program")
    name=${name#fuzz_}
    [ "$only" = "  " ] || [[ $only == *" $name "* ]] || continue
    mkdir -p "$dir/corpus/$name" "$dir/artifacts/$name" "$dir/logs"
    KV_FUZZ_SEED_DIR="$dir/corpus/$name" "$program"
    echo "== fuzz_$name: ${seconds}s"
    # Inputs stay small and nothing they describe may need more than a small allocation.
    if "$program" "$dir/corpus/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=256 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$name/" \
      >"$dir/logs/$name.log" 2>&1; then
      grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$dir/logs/$name.log" || true
      echo "   corpus: $(find "$dir/corpus/$name" -type f | wc -l) inputs"
    else
      tail -n 40 "$dir/logs/$name.log"
      failed+=("$name")
    fi
  done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzers that found a crash: ${failed[*]} (inputs in build-fuzz/artifacts/)" >&2
    exit 1
  fi
}

# The update package in build/package/ or DIR, and its archive beside it (tools/make-package.sh);
# --check then runs it on a bare Debian 12 root (tools/check-package.sh).
cmd_package() { # [--check] [DIR]
  local check=false dir=$ROOT/build/package
  while [ $# -gt 0 ]; do
    case $1 in
      --check) check=true ;;
      -*) echo "usage: ./run.sh package [--check] [DIR]" >&2; exit 2 ;;
      *) dir=$1 ;;
    esac
    shift
  done
  ensure_packages "${PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
  if $check; then ensure_packages debootstrap; fi
  cmd_build
  "$ROOT/tools/make-package.sh" "$ROOT/build" "$dir"
  if $check; then "$ROOT/tools/check-package.sh" "$(<"$dir/.quenta-package")" "$ROOT/build/bin"; fi
}

DEMO_SANDBOX=$ROOT/build/demo

# A fresh demo sandbox (an installed client and an update package, tools/make-demo-sandbox.sh)
# from the release build.
prepare_demo() {
  cmd_build
  "$ROOT/tools/make-demo-sandbox.sh" "$DEMO_SANDBOX" "$ROOT/build/bin"
}

cmd_demo() {
  prepare_demo
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat >&2 <<EOF
There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the wizard cannot open.
The sandbox is ready in build/demo/. Either run the wizard under a virtual X server:
  apt-get install -y xvfb && xvfb-run -a ./run.sh demo
or take pictures of every page instead (build/screenshots/):
  ./run.sh screenshots
EOF
    exit 1
  fi
  echo "Opening the wizard on the demo package (build/demo/package/)"
  # shellcheck disable=SC1091
  (. "$DEMO_SANDBOX/sandbox.env" && exec "$DEMO_SANDBOX/package/quenta-setup")
}

# Walks the wizard through the demo under the offscreen platform and writes a PNG of every page.
cmd_screenshots() {
  prepare_demo
  # shellcheck disable=SC1091
  (. "$DEMO_SANDBOX/sandbox.env" && QT_QPA_PLATFORM=offscreen \
    "$ROOT/build/bin/wizard-screenshots" "$DEMO_SANDBOX/package" "$ROOT/build/screenshots")
  echo "Pictures of the wizard's pages are in build/screenshots/"
}

case "${1:-}" in
  build) shift; cmd_build "$@" ;;
  test) shift; cmd_test "$@" ;;
  bench) shift; cmd_bench "$@" ;;
  demo) shift; cmd_demo "$@" ;;
  screenshots) shift; cmd_screenshots "$@" ;;
  fuzz) shift; cmd_fuzz "$@" ;;
  package) shift; cmd_package "$@" ;;
  *)
    echo "usage: ./run.sh build | test [ctest args] | bench [benchmark args] | demo | screenshots | fuzz [seconds] [names] | package [--check] [DIR]" >&2
    echo "The commands are explained in README.md, everything else in docs/ (start at README.md's 'Read more')." >&2
    exit 2 ;;
esac
