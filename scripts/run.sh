#!/usr/bin/env bash
# Sets up a fresh machine, builds the program with its sample data set, and plays it.
# Keys: arrows, Z and X; close the window to end. Without a sound device: ALSOFT_DRIVERS=null.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
"$here/setup.sh"
dir=$("$here/build.sh")
cd "$dir/run"
exec ./tavok "$@"
