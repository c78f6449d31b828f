#!/bin/sh
# The WebKitGTK tests need an X display: a virtual one. Pages stay on file:// and 127.0.0.1.
# Parallel runs start their search for a free display at different numbers: two xvfb-run
# starting together may otherwise both pick the first free one and one of them fails.
exec xvfb-run -a -n "$((100 + $$ % 400))" -s "-screen 0 1024x768x24" "$@"
