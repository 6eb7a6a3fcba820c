#!/usr/bin/env bash
# Usage: WindowShows.sh TITLE PROGRAM [ARGUMENT...]
# Runs PROGRAM with its arguments on a virtual display and waits up to 20 s for a window
# titled TITLE; exits 0 when one shows, 1 when none does, then stops the program. Without
# xvfb-run and xdotool it exits 0 when the program is still running after 5 s on the
# offscreen platform, as a window that shows would keep it.
set -uo pipefail
title=$1
shift
if ! command -v xvfb-run > /dev/null || ! command -v xdotool > /dev/null; then
  QT_QPA_PLATFORM=offscreen timeout 5 "$@" > /dev/null 2>&1
  [ $? -eq 124 ]
  exit
fi
# -noreset: otherwise the display restarts whenever its last client leaves, as each probe
# of xdotool does before the program has connected, and a program that connects in that
# moment aborts with "could not connect to display".
# shellcheck disable=SC2016
exec xvfb-run -a -s "-noreset -screen 0 1024x768x24" bash -c '
  title=$1
  shift
  "$@" > /dev/null 2>&1 &
  program=$!
  shown=1
  for _ in $(seq 1 100); do
    if xdotool search --name "$title" > /dev/null 2>&1; then shown=0; break; fi
    kill -0 $program 2> /dev/null || break
    sleep 0.2
  done
  kill $program 2> /dev/null
  wait $program 2> /dev/null
  exit $shown' _ "$title" "$@"
