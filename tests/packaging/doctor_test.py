"""tendrix-cli doctor against real peers: the sandbox platform, a socat pty pair, a loopback
network printer and a scanner device; then the same checks against missing ones. Every
check must print its line, every failure its fix, and the exit status must count the
failures.

Usage: doctor_test.py BIN_DIR   (exit 77: a peer program is missing)
"""
import glob
import os
import re
import shutil
import socket
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from tendrix_e2e import Failure, run_cases  # noqa: E402


def run_doctor(h, env, expect, *args):
    """Runs doctor with `args`. Each check named in `expect` ({name: ok}) must have its line
    with that result, each failure its fix, and the exit status must count the failures.
    Returns ({name: (ok, line)}, output)."""
    p = subprocess.run([os.path.join(h.dir, "till", "bin", "tendrix-cli"), "doctor"] + list(args),
                       env=env, capture_output=True, text=True, timeout=120)
    checks = {}
    for m in re.finditer(r"^(✓|✗) ([^:]+):.*\n?( *fix: \S)?", p.stdout, re.M):
        checks[m.group(2)] = (m.group(1) == "✓", m.group(0))
        if m.group(1) == "✗" and not m.group(3):
            raise Failure("%r has no fix:\n%s" % (m.group(2), p.stdout))
    for name, ok in expect.items():
        if checks.get(name, (None,))[0] != ok:
            raise Failure("%r should be %s:\n%s" % (name, "✓" if ok else "✗", p.stdout))
    failed = sum(1 for ok, _ in checks.values() if not ok)
    if p.returncode != failed:
        raise Failure("exit %d for %d failures:\n%s" % (p.returncode, failed, p.stdout))
    return checks, p.stdout


def doctor(h):
    work = h.dir
    # A private installation: the tool, the printer plugin, a company file, a port map.
    prog = os.path.join(work, "till", "bin")
    os.makedirs(os.path.join(prog, "UIskin"))
    os.makedirs(os.path.join(work, "till", "data"))
    for f in ("tendrix-cli", "libPOSDLL.so"):
        shutil.copy2(os.path.join(h.bin_dir, f), prog)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "TESSDATA_PREFIX")}
    env.update(HOME=work, ASAN_OPTIONS="detect_leaks=0", LANG="C.UTF-8")
    h.env = env
    with open(os.path.join(prog, "UIskin", "compmessage.txt"), "w") as f:
        f.write("[config]\nsoft_name=doctor\napi_base=%s\n" % h.start_sandbox())
    _, till = h.serial_pair("port")
    with open(os.path.join(work, "till", "data", "ports.ini"), "w") as f:
        f.write("COM5=%s\nCOM6=%s\n" % (till, os.path.join(work, "no-such-tty")))
    printer = h.start_printer()
    closed = socket.create_server(("127.0.0.1", 0))
    closed_port = closed.getsockname()[1]
    closed.close()  # nothing listens there: the connection is refused
    scanner = os.path.join(work, "scanner-events")
    open(scanner, "wb").close()

    # Everything present (no display: those two fail).
    ocr = bool(glob.glob("/usr/share/tesseract-ocr/*/tessdata/eng.traineddata"))
    _, good = run_doctor(
        h, env, {"data folder " + os.path.join(work, "till", "data") + "/": True,
                 "log folder " + os.path.join(work, "till", "log") + "/": True,
                 "display": False, "system tray": False, "serial port COM5 (%s)" % till: True,
                 "scanner input device " + scanner: True, "printer 网口127.0.0.1": True,
                 "platform http": True, "OCR data": ocr},
        "--port", "COM5", "--scanner", scanner, "--printer", "网口127.0.0.1:%d" % printer.port,
        "--user", "demo", "--password", "demo")
    if "C1001" not in good and "M100001" not in good:
        raise Failure("the platform line names no merchant:\n" + good)

    # Everything missing or wrong: each check fails.
    missing_tty = "serial port COM6 (%s)" % os.path.join(work, "no-such-tty")
    bad_checks = ("display", "system tray", "OCR data", missing_tty,
                  "scanner input device /dev/input/no-such-event", "printer 网口127.0.0.1",
                  "platform http")
    checks, bad = run_doctor(
        h, dict(env, DISPLAY=":977", TESSDATA_PREFIX=os.path.join(work, "no-tessdata")),
        dict.fromkeys(bad_checks, False), "--port", "COM6", "--scanner",
        "/dev/input/no-such-event", "--printer", "网口127.0.0.1:%d" % closed_port, "--merchant",
        "M100001", "--client", "C1001", "--secret", "wrong")
    if "签名" not in checks["platform http"][1]:
        raise Failure("the platform line should show the refusal:\n" + bad)
    if sum(1 for ok, _ in checks.values() if not ok) != len(bad_checks):
        raise Failure("other checks failed as well:\n" + bad)
    print(good + "\n" + bad)


if __name__ == "__main__":
    sys.exit(run_cases({"doctor": doctor}, sys.argv + ["doctor"], tools=("socat",),
                       programs=("tendrix-cli", "tendrix-sandbox", "libPOSDLL.so"), store=False))
