#!/usr/bin/env bash
# Sets up, builds and runs every test: unit and widget tests headless, the
# end-to-end tests against the real program under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" test
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build "$root/build"
ctest --test-dir "$root/build" --output-on-failure --timeout 900 -j2
