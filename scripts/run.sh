#!/usr/bin/env bash
# Sets up a fresh machine, builds the program with its sample data set, and plays it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
dir=$("$here/build.sh" | tail -n 1)
cd "$dir/run"
exec ./tavok "$@"
