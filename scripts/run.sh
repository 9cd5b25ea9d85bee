#!/usr/bin/env bash
# Installs what is needed, builds the editor and starts it. Arguments are passed to the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vellumark
export OMP_NUM_THREADS=1 OMP_WAIT_POLICY=passive
exec build/bin/vellumark "$@"
