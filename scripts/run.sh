#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the simulated board.
# Extra arguments go to the program (e.g. --headless).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/app/tarnwick --simulate "$@"
