"""The login window of the real tendrix on Xvfb with openbox, driven through XTest (xdotool).

    login_display_test.py BIN_DIR CASE      (exit 77: cannot run here, says why)

Cases:
  demo_no_notice  the demo cashier (one client) logs in with no message box at all.
  held_login      a platform that takes the connection and never answers: the login window
                  keeps reacting (its tab switches, pixels change) and shows the network
                  failure when the client gives up; no main window appears.
"""
import os
import socket
import subprocess
import sys
import time

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
try:
    from tendrix_e2e import Failure, Harness, wait_for  # noqa: E402
except ImportError as e:
    print("skipped: the e2e harness (tests/e2e/tendrix_e2e.py) is missing: %s" % e)
    sys.exit(SKIP)


def type_login(h, user, password):
    """Types the name and password into the login window and presses Return."""
    land = wait_for(lambda: h.windows("^land$"), 60, "the login window")[0]
    h.xdo("windowactivate", "--sync", land, check=False)
    x, y, _, _ = h.geometry(land)
    h.click(x + 160, y + 156)  # account field
    h.key("ctrl+a")
    h.type(user)
    h.click(x + 160, y + 204)  # password field
    h.key("ctrl+a")
    h.type(password)
    h.key("Return")
    return land


def window_pixels(h, wid):
    return subprocess.run(["import", "-silent", "-window", str(wid), "rgb:-"], env=h.env,
                          capture_output=True, timeout=20).stdout


def case_demo_no_notice(h):
    h.start_desktop()
    h.start_sandbox()
    h.prepare_program({})
    h.start_program()
    type_login(h, "demo", "demo")

    def seen():
        if h.windows("^DuiMessageBox$"):
            raise Failure("a message box opened at the demo login")
        return h.main_visible()

    wait_for(seen, 30, "the main window after the demo login", interval=0.1)
    deadline = time.monotonic() + 1.5
    while time.monotonic() < deadline:
        if h.windows("^DuiMessageBox$"):
            raise Failure("a message box opened after the demo login")
        time.sleep(0.1)


def case_held_login(h):
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(16)  # connections wait in the backlog; nothing ever answers
    h.start_desktop()
    h.sandbox_url = "http://127.0.0.1:%d" % silent.getsockname()[1]
    h.env["TENDRIX_PLATFORM_TIMEOUT_MS"] = "6000"
    h.prepare_program({})
    h.start_program()
    land = type_login(h, "demo", "demo")
    time.sleep(0.5)  # the request is out and held
    before = window_pixels(h, land)
    x, y, _, _ = h.geometry(land)
    h.click(x + 295, y + 68)  # the "网络设置" option
    wait_for(lambda: window_pixels(h, land) != before, 3,
             "the login window to switch tabs while the platform holds the login")
    if h.main_visible():
        raise Failure("the main window appeared without a login")
    wait_for(lambda: h.windows("^DuiMessageBox$"), 20, "the network failure message")
    if h.main_visible():
        raise Failure("the main window appeared after a failed login")
    silent.close()


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in CASES:
        print("usage: login_display_test.py BIN_DIR CASE (%s)" % ", ".join(sorted(CASES)))
        return 2
    bin_dir, case = sys.argv[1], sys.argv[2]
    for tool in ("Xvfb", "openbox", "xdotool", "import"):
        if subprocess.run(["sh", "-c", "command -v " + tool], capture_output=True).returncode:
            print("skipped: %s is not installed" % tool)
            return SKIP
    for prog in ("tendrix", "tendrix-sandbox"):
        if not os.access(os.path.join(bin_dir, prog), os.X_OK):
            print("skipped: %s not built in %s" % (prog, bin_dir))
            return SKIP
    with Harness(bin_dir, None, "login-" + case) as h:
        CASES[case](h)
    print("ok: " + case)
    return 0


if __name__ == "__main__":
    sys.exit(main())
