#!/usr/bin/env bash
# build.sh: builds the Windows programs and tests into build/win and the
# native sanitizer build of the portable core into build/native.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)

cmake -S . -B build/win "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/win -j "$jobs"

cmake -S . -B build/native "${generator[@]}" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j "$jobs"
