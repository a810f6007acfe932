#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, runs every test, then
# runs each fuzz target for a short, bounded time (FUZZ_SECONDS, default 30; 0 skips fuzzing).
set -euo pipefail
cd "$(dirname "$0")/.."
# Cache entries keyed relative to the checkout (see build.sh); the fuzz build shares them too.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
bash scripts/install-deps.sh
CMAKE_ARGS="-DTOVIMAR_WERROR=ON" bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600

FUZZ_SECONDS=${FUZZ_SECONDS:-30}
if [ "$FUZZ_SECONDS" -gt 0 ]; then
  if [ ! -f build-fuzz/build.ninja ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DTOVIMAR_FUZZ=ON -DTOVIMAR_TESTS=OFF -DTOVIMAR_BENCH=OFF >/dev/null
  fi
  cmake --build build-fuzz -j"$(nproc)"
  for f in build-fuzz/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="fuzz/corpus/${name#fuzz_}"
    mkdir -p "build-fuzz/corpus/$name"
    echo "== fuzzing $name for ${FUZZ_SECONDS}s"
    "$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=4096 -print_final_stats=0 \
      "build-fuzz/corpus/$name" $( [ -d "$corpus" ] && echo "$corpus" ) 2>&1 | tail -n 3
  done
fi
echo "All tests passed."
