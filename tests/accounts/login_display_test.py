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
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from tendrix_e2e import Failure, run_cases, wait_for  # noqa: E402


def case_demo_no_notice(h):
    h.start_desktop()
    h.start_sandbox()
    h.prepare_program({})
    h.start_program()
    h.type_login()

    def no_box():
        if h.windows("^DuiMessageBox$"):
            raise Failure("a message box opened at the demo login")
        return False

    wait_for(lambda: no_box() or h.main_visible(), 30, "the main window after the demo login",
             interval=0.1)
    deadline = time.monotonic() + 1.5
    while time.monotonic() < deadline:
        no_box()
        time.sleep(0.1)


def case_held_login(h):
    silent = socket.create_server(("127.0.0.1", 0), backlog=16)  # nothing ever answers
    h.start_desktop()
    h.sandbox_url = "http://127.0.0.1:%d" % silent.getsockname()[1]
    h.env["TENDRIX_PLATFORM_TIMEOUT_MS"] = "6000"
    h.prepare_program({})
    h.start_program()
    land = h.type_login()
    time.sleep(0.5)  # the request is out and held
    before = h.window_pixels(land)
    x, y, _, _ = h.geometry(land)
    h.click(x + 295, y + 68)  # the "网络设置" option
    wait_for(lambda: h.window_pixels(land) != before, 3,
             "the login window to switch tabs while the platform holds the login")
    if h.main_visible():
        raise Failure("the main window appeared without a login")
    wait_for(lambda: h.windows("^DuiMessageBox$"), 20, "the network failure message")
    if h.main_visible():
        raise Failure("the main window appeared after a failed login")
    silent.close()


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    sys.exit(run_cases(CASES, sys.argv, store=False))
