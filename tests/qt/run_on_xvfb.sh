#!/bin/sh
# Runs a test program on a private X server with Qt's X11 platform: for tests whose input comes
# from the X server itself (xdotool), which Qt's offscreen platform has none of.
# Usage: run_on_xvfb.sh PROGRAM [ARGS...]
exec xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb "$@"
