# Sourced by the engine's command tests with $work set: a fresh work folder that holds everything
# a run writes (platform settings and state, analytics files), reports sent to a closed local
# port, and no demo server unless the test names one.
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" ENGINE_ANALYTICS_BASE_URL="http://127.0.0.1:9"
unset DEMO_SERVER
