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


def lines_of(out):
    """{check name: (ok, line, fix)} from doctor's output; the name is the text before ':'."""
    checks = {}
    rows = out.splitlines() + [""]
    for line, after in zip(rows, rows[1:]):
        m = re.match(r"^(✓|✗) ([^:]+):", line)
        if m:
            checks[m.group(2)] = (m.group(1) == "✓", line, after.strip())
    return checks


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
    doctor = [os.path.join(prog, "tendrix-cli"), "doctor"]

    # Everything present (no display: those two fail).
    good = subprocess.run(doctor + ["--port", "COM5", "--scanner", scanner, "--printer",
                                    "网口127.0.0.1:%d" % printer.port,
                                    "--user", "demo", "--password", "demo"],
                          env=env, capture_output=True, text=True, timeout=120)
    checks = lines_of(good.stdout)
    expect_ok = {"data folder " + os.path.join(work, "till", "data") + "/": True,
                 "log folder " + os.path.join(work, "till", "log") + "/": True,
                 "display": False, "system tray": False,
                 "serial port COM5 (%s)" % till: True,
                 "scanner input device " + scanner: True,
                 "printer 网口127.0.0.1": True, "platform http": True}
    expect_ok["OCR data"] = bool(glob.glob("/usr/share/tesseract-ocr/*/tessdata/eng.traineddata"))
    for name, ok in expect_ok.items():
        if name not in checks:
            raise Failure("no line for %r in:\n%s" % (name, good.stdout))
        if checks[name][0] != ok:
            raise Failure("%r should be %s:\n%s" % (name, "✓" if ok else "✗", good.stdout))
    if "C1001" not in good.stdout and "M100001" not in good.stdout:
        raise Failure("the platform line names no merchant:\n" + good.stdout)
    failures = sum(1 for line in good.stdout.splitlines() if line.startswith("✗"))
    if good.returncode != failures:
        raise Failure("exit %d for %d failures:\n%s" % (good.returncode, failures, good.stdout))

    # Everything missing or wrong: each check fails and says how to fix it.
    env_bad = dict(env, DISPLAY=":977", TESSDATA_PREFIX=os.path.join(work, "no-tessdata"))
    bad = subprocess.run(doctor + ["--port", "COM6", "--scanner", "/dev/input/no-such-event",
                                   "--printer", "网口127.0.0.1:%d" % closed_port,
                                   "--merchant", "M100001", "--client", "C1001",
                                   "--secret", "wrong"],
                         env=env_bad, capture_output=True, text=True, timeout=120)
    checks = lines_of(bad.stdout)
    failed = [n for n, (ok, _, _) in checks.items() if not ok]
    missing_tty = "serial port COM6 (%s)" % os.path.join(work, "no-such-tty")
    for name in ("display", "system tray", "OCR data", missing_tty,
                 "scanner input device /dev/input/no-such-event", "printer 网口127.0.0.1",
                 "platform http"):
        if name not in failed:
            raise Failure("%r should fail:\n%s" % (name, bad.stdout))
        if not checks[name][2].startswith("fix: "):
            raise Failure("%r has no fix:\n%s" % (name, bad.stdout))
    if "签名" not in checks["platform http"][1]:
        raise Failure("the platform line should show the refusal:\n" + bad.stdout)
    if bad.returncode != len(failed) or len(failed) != 7:
        raise Failure("exit %d for %d failures:\n%s" % (bad.returncode, len(failed), bad.stdout))
    print(good.stdout + "\n" + bad.stdout)


if __name__ == "__main__":
    sys.exit(run_cases({"doctor": doctor}, sys.argv + ["doctor"], tools=("socat",),
                       programs=("tendrix-cli", "tendrix-sandbox", "libPOSDLL.so"), store=False))
