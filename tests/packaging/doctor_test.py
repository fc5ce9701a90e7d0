"""tendrix-cli doctor against real peers: the sandbox platform, a socat pty pair, a loopback
network printer and a scanner device; then the same checks against missing ones. Every
check must print its line, every failure its fix, and the exit status must count the
failures.

Usage: doctor_test.py BIN_DIR   (exit 77: a peer program is missing)
"""
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time


def fail(message):
    sys.stderr.write("FAIL: " + message + "\n")
    sys.exit(1)


def lines_of(out):
    """{check name: (ok, line, fix)} from doctor's output; the name is the text before ':'."""
    checks = {}
    rows = out.splitlines()
    for i, line in enumerate(rows):
        m = re.match(r"^(✓|✗) ([^:]+):", line)
        if not m:
            continue
        fix = rows[i + 1].strip() if i + 1 < len(rows) else ""
        checks[m.group(2)] = (m.group(1) == "✓", line, fix)
    return checks


def main():
    bin_dir = sys.argv[1]
    for tool in ("socat",):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            sys.exit(77)
    work = tempfile.mkdtemp(prefix="tendrix-doctor-")
    procs = []
    try:
        # A private installation: the tool, the printer plugin, a company file, a port map.
        prog = os.path.join(work, "till", "bin")
        os.makedirs(os.path.join(prog, "UIskin"))
        os.makedirs(os.path.join(work, "till", "data"))
        for f in ("tendrix-cli", "libPOSDLL.so"):
            shutil.copy2(os.path.join(bin_dir, f), prog)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "TESSDATA_PREFIX")}
        env.update(HOME=work, ASAN_OPTIONS="detect_leaks=0", LANG="C.UTF-8")

        sandbox = subprocess.Popen([os.path.join(bin_dir, "tendrix-sandbox"), "--listen",
                                    "127.0.0.1:0"], stdout=subprocess.PIPE, text=True, env=env)
        procs.append(sandbox)
        first = sandbox.stdout.readline()
        m = re.search(r"(http://\S+)", first)
        if not m:
            fail("the sandbox did not start: " + first)
        with open(os.path.join(prog, "UIskin", "compmessage.txt"), "w") as f:
            f.write("[config]\nsoft_name=doctor\napi_base=%s\n" % m.group(1))

        pos, till = os.path.join(work, "pos"), os.path.join(work, "till-port")
        procs.append(subprocess.Popen(["socat", "pty,raw,echo=0,link=" + pos,
                                       "pty,raw,echo=0,link=" + till],
                                      stderr=subprocess.DEVNULL))
        deadline = time.monotonic() + 10
        while not (os.path.exists(pos) and os.path.exists(till)):
            if time.monotonic() > deadline:
                fail("socat made no pty pair")
            time.sleep(0.05)
        with open(os.path.join(work, "till", "data", "ports.ini"), "w") as f:
            f.write("COM5=%s\nCOM6=%s\n" % (till, os.path.join(work, "no-such-tty")))

        printer = socket.socket()
        printer.bind(("127.0.0.1", 0))
        printer.listen(4)
        closed = socket.socket()
        closed.bind(("127.0.0.1", 0))
        closed_port = closed.getsockname()[1]
        closed.close()  # nothing listens there: the connection is refused

        scanner = os.path.join(work, "scanner-events")
        open(scanner, "wb").close()
        doctor = [os.path.join(prog, "tendrix-cli"), "doctor"]

        # Everything present (no display: those two fail).
        good = subprocess.run(doctor + ["--port", "COM5", "--scanner", scanner, "--printer",
                                        "网口127.0.0.1:%d" % printer.getsockname()[1],
                                        "--user", "demo", "--password", "demo"],
                              env=env, capture_output=True, text=True, timeout=120)
        checks = lines_of(good.stdout)
        expect_ok = {"data folder " + os.path.join(work, "till", "data") + "/": True,
                     "log folder " + os.path.join(work, "till", "log") + "/": True,
                     "display": False, "system tray": False,
                     "serial port COM5 (%s)" % till: True,
                     "scanner input device " + scanner: True,
                     "printer 网口127.0.0.1": True, "platform http": True}
        have_ocr = any(os.path.exists(os.path.join("/usr/share/tesseract-ocr", v, "tessdata",
                                                   "eng.traineddata"))
                       for v in os.listdir("/usr/share/tesseract-ocr")) \
            if os.path.isdir("/usr/share/tesseract-ocr") else False
        expect_ok["OCR data"] = have_ocr
        for name, ok in expect_ok.items():
            if name not in checks:
                fail("no line for %r in:\n%s" % (name, good.stdout))
            if checks[name][0] != ok:
                fail("%r should be %s:\n%s" % (name, "✓" if ok else "✗", good.stdout))
        if "C1001" not in good.stdout and "M100001" not in good.stdout:
            fail("the platform line names no merchant:\n" + good.stdout)
        failures = sum(1 for line in good.stdout.splitlines() if line.startswith("✗"))
        if good.returncode != failures:
            fail("exit %d for %d failures:\n%s" % (good.returncode, failures, good.stdout))

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
                fail("%r should fail:\n%s" % (name, bad.stdout))
            if not checks[name][2].startswith("fix: "):
                fail("%r has no fix:\n%s" % (name, bad.stdout))
        if "签名" not in checks["platform http"][1]:
            fail("the platform line should show the refusal:\n" + bad.stdout)
        if bad.returncode != len(failed) or len(failed) != 7:
            fail("exit %d for %d failures:\n%s" % (bad.returncode, len(failed), bad.stdout))
        print(good.stdout + "\n" + bad.stdout)
    finally:
        for p in procs:
            p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
