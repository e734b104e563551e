#!/bin/sh
# Runs a test program on a private X server with Qt's X11 platform: for tests whose input comes
# from the X server itself (xdotool), which Qt's offscreen platform has none of.
# Usage: run_on_xvfb.sh PROGRAM [ARGS...]
#
# The search for a free display starts at a random number, not at xvfb-run's 99: test runs side
# by side on one machine would otherwise race for the same display, and the loser's program
# finds no X server it may use.
first_display=$(shuf -i 100-3000 -n 1)
exec xvfb-run -a -n "$first_display" -s "-screen 0 1024x768x24 -nolisten tcp" \
    env QT_QPA_PLATFORM=xcb "$@"
