#!/bin/sh
# makensis for a 64-bit setup program, as CPack calls it: the target option holds a space, which
# CPack's own pre-arguments cannot pass as one word.
exec makensis "-XTarget amd64-unicode" "$@"
