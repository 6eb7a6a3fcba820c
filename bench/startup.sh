#!/usr/bin/env bash
# Times the program from its launch to its visible window, as a user waits for it: each
# run starts the program on a file under xvfb-run, polls every 5 ms for a visible window
# titled "XML Dialog : ..." and prints the milliseconds. Needs xvfb and xdotool.
#   bench/startup.sh PROGRAM FILE [RUNS]
# Set XDG_CURRENT_DESKTOP=GNOME to have Qt take the GNOME icon theme (Adwaita).
set -euo pipefail
program=$(realpath "$1")
file=$(realpath "$2")
runs=${3:-7}
# -noreset: without it the virtual display restarts whenever its last client leaves,
# and a program started in that moment cannot connect.
exec xvfb-run -a -s "-noreset -screen 0 1024x768x24" bash -c '
  for ((run = 0; run < $3; ++run)); do
    hive=$(mktemp -d)
    start=$(date +%s%N)
    SELVANE_HIVE_DIR=$hive "$1" "$2" > /dev/null 2>&1 &
    pid=$!
    until xdotool search --onlyvisible --name "XML Dialog : " > /dev/null 2>&1; do
      kill -0 $pid 2> /dev/null || { echo "the program ended before its window showed" >&2; exit 1; }
      sleep 0.005
    done
    echo $(( ($(date +%s%N) - start) / 1000000 ))
    kill $pid; wait $pid 2> /dev/null || true
    rm -rf "$hive"
  done' _ "$program" "$file" "$runs"
