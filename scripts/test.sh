#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test in two configurations:
#   build/       the whole program (gcc), all tests including the offscreen GUI tests
#   build-asan/  vellumark_core, its tests and the fuzz targets under ASan+UBSan (clang)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export OMP_NUM_THREADS=1 OMP_WAIT_POLICY=passive
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVELLUMARK_CORE_ONLY=ON -DVELLUMARK_SANITIZE=ON -DVELLUMARK_FUZZ=ON
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j "$jobs")
