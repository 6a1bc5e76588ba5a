#!/bin/sh
# Runs a test on an X display of its own and, where the system allows it, in a network
# namespace without any network, so that no page can ever load.
screen="-screen 0 1280x1024x24"
if unshare -n true 2>/dev/null; then
    exec unshare -n xvfb-run -a -s "$screen" "$@"
fi
exec xvfb-run -a -s "$screen" "$@"
