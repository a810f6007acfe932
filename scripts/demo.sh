#!/usr/bin/env bash
# The main job on the bundled examples: installs what is missing, builds the command-line
# program, compares the Source sample database with the Destination sample database (both T-SQL
# scripts, run on the simulated server), prints the scripts that bring the Destination in line
# with the Source, and saves them to a script file in the Scripts folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh tovimar-cli >/dev/null
cli=./build/src/tovimar-cli

echo "Scripts that bring examples/destination.sql in line with examples/source.sql:"
status=0
"$cli" compare examples/source.sql examples/destination.sql --summary || status=$?
if [ "$status" -ne 1 ]; then
  echo "demo: the comparison failed (exit status $status)" >&2
  exit 1
fi

scripts_dir=build/src/Scripts
mkdir -p "$scripts_dir"
file="$scripts_dir/Tovimar_$(date +%Y-%m-%d_%H-%M-%S)_BookshopDev_to_Bookshop.sql"
status=0
"$cli" compare examples/source.sql examples/destination.sql -o "$file" || status=$?
if [ "$status" -ne 1 ]; then
  echo "demo: writing the script file failed (exit status $status)" >&2
  exit 1
fi
echo
echo "Script file written: $file"
