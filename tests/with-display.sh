#!/usr/bin/env bash
# Runs a command on a private Xvfb server with a 24-bit screen of VB_SCREEN (1280x720 unless set).
# -displayfd lets the server pick a free display number itself, so tests running in parallel never race
# for one. -noreset: by default the server resets whenever its last client leaves, and a connection made
# during that reset is refused; a test polling with xdotool while its game starts would then leave the
# game without a display (SDL falls back to an invisible one) at random.
set -u
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "${VB_SCREEN:-1280x720}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
xpid=$!
read -r num <"$fifo"
rm -f "$fifo"
export DISPLAY=":$num"
# One rendering thread per GL process unless asked otherwise: many tests draw at once, and the software
# renderer would otherwise start a thread per core in each of them.
export LP_NUM_THREADS=${LP_NUM_THREADS:-1}
"$@"
rc=$?
kill "$xpid" 2>/dev/null
wait "$xpid" 2>/dev/null
exit $rc
