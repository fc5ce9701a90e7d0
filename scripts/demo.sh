#!/usr/bin/env bash
# Installs what is needed, builds the program and runs the demo: the simulated payment
# platform on loopback (when built) with its demo merchant, and the desktop program pointed
# at it. Log in as "demo" / "demo"; a payment code such as 134567890123456780 (18 digits,
# ending in 0: paid at once) can be typed into the pay page or scanned.
#
# --with-pos: also starts a POS program stand-in (a GTK window with a total, an amount entry
# and a customer-display port) beside Tendrix, set up for the whole sale loop, and plays one
# sale: the total reaches Tendrix's pay page, a sample code pays it, the receipt prints
# (build/demo-pos-*/receipts.txt and the terminal) and the paid amount lands in the stand-in.
set -euo pipefail
cd "$(dirname "$0")/.."
with_pos=0
for arg in "$@"; do
    case "$arg" in
        --with-pos) with_pos=1 ;;
        -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
        *) echo "demo.sh: unknown option $arg (see --help)" >&2; exit 2 ;;
    esac
done
if [ "${TENDRIX_DEMO_SKIP_BUILD:-}" != 1 ]; then
    scripts/install-deps.sh
    scripts/build.sh release
fi
if [ "$with_pos" = 1 ]; then
    exec /usr/bin/python3 scripts/demo_pos.py build/bin
fi
port=${TENDRIX_DEMO_PORT:-18080}
sandbox_pid=
cleanup() { if [ -n "$sandbox_pid" ]; then kill "$sandbox_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [ -x build/bin/tendrix-sandbox ]; then
    sandbox_log=$(mktemp)
    build/bin/tendrix-sandbox --listen "127.0.0.1:$port" >"$sandbox_log" 2>&1 &
    sandbox_pid=$!
    # Wait for "listening on http://HOST:PORT" so the login never races the server.
    for _ in $(seq 100); do
        grep -q '^listening on' "$sandbox_log" && break
        kill -0 "$sandbox_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! grep -q '^listening on' "$sandbox_log"; then
        echo "The sandbox did not start on port $port:" >&2
        cat "$sandbox_log" >&2
        exit 1
    fi
    echo "sandbox: $(head -n 1 "$sandbox_log") (log: $sandbox_log)"
    export TENDRIX_API_BASE="http://127.0.0.1:$port"
    export TENDRIX_DEMO_CASHIER=${TENDRIX_DEMO_CASHIER:-demo}
    echo "Demo merchant: cashier demo, password demo. Sample payment code: 134567890123456780"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (nothing will be visible)." >&2
    exec_prefix=(xvfb-run -a -s "-screen 0 1366x768x24")
else
    exec_prefix=()
fi
"${exec_prefix[@]}" build/bin/tendrix
