#!/usr/bin/env bash
# The main job on the bundled examples: installs what is missing, builds the command-line
# program and runs it on the sample database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh tovimar-cli >/dev/null
./build/src/tovimar-cli info examples/sample.schema
