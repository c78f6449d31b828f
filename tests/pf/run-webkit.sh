#!/bin/sh
# The WebKitGTK tests need an X display: a virtual one. Pages stay on file:// and 127.0.0.1.
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
