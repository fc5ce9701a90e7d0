#!/usr/bin/env bash
# Installs what is needed, builds the program and runs the demo: the simulated payment
# platform on loopback (when built) and the desktop program pointed at it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
port=${TENDRIX_DEMO_PORT:-18080}
sandbox_pid=
if [ -x build/bin/tendrix-sandbox ]; then
    build/bin/tendrix-sandbox --listen "127.0.0.1:$port" &
    sandbox_pid=$!
    trap '[ -n "$sandbox_pid" ] && kill "$sandbox_pid" 2>/dev/null' EXIT
    export TENDRIX_API_BASE="http://127.0.0.1:$port"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (nothing will be visible)." >&2
    exec_prefix=(xvfb-run -a -s "-screen 0 1366x768x24")
else
    exec_prefix=()
fi
"${exec_prefix[@]}" build/bin/tendrix
