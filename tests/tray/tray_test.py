"""The tray icon in a real notification area: Xvfb with openbox and tint2 (a panel with a
system tray), tendrix-sandbox, and the real tendrix logged in as the demo cashier.

Checks that tendrix-cli doctor sees the tray, that the icon is embedded in the panel, that
its left click hides and shows the main window, that its right click opens the menu, that
设置 comes up active above the main window, and that 退出 ends the program cleanly.

Usage: tray_test.py BIN_DIR   (exit 77: an X program is missing)
"""
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from tendrix_e2e import Failure, run_cases, wait_for  # noqa: E402


def tray_icon(h):
    """Centre of the first small window embedded in tint2's panel, or None."""
    for panel in h.xdo("search", "--class", "tint2", check=False).split():
        for line in h.run(["xwininfo", "-tree", "-id", panel], check=False).splitlines():
            m = re.search(r"^\s+0x[0-9a-f]+ .*\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)",
                          line)
            if m and "tint2" not in line:
                w, ht, x, y = map(int, m.groups())
                if 8 <= w <= 64 and 8 <= ht <= 64:
                    return x + w // 2, y + ht // 2
    return None


def run(h):
    h.start_desktop()
    rc = os.path.join(h.dir, "tint2rc")
    with open(rc, "w") as f:
        f.write("panel_items = S\npanel_position = bottom right horizontal\n"
                "panel_size = 240 32\nsystray_padding = 4 2 4\nsystray_icon_size = 24\n")
    h.spawn("tint2", ["tint2", "-c", rc])

    # A program folder of the test's own, so the data and the instance lock are its own.
    bin_dir = h.prepare_program({})
    os.link(os.path.join(h.bin_dir, "tendrix-cli"), os.path.join(bin_dir, "tendrix-cli"))
    doctor = [os.path.join(bin_dir, "tendrix-cli"), "doctor"]
    wait_for(lambda: "✓ system tray" in h.run(doctor, check=False), 30,
             "doctor to see tint2's tray")

    h.start_sandbox()
    program = h.start_program()
    # The icon is in the panel from the start, before the login.
    icon = wait_for(lambda: tray_icon(h), 30, "the tray icon inside tint2's panel")
    h.login()

    # Left click: hides the main window, and shows it again.
    icon = tray_icon(h) or icon
    h.click(*icon)
    wait_for(lambda: not h.main_visible(), 10, "the main window to hide")
    time.sleep(0.6)  # past the double-click interval: a second click, not a double click
    h.click(*icon)
    wait_for(h.main_visible, 10, "the main window to come back")

    def open_menu():
        before = set(h.xdo("search", "--onlyvisible", "--pid", program.pid, check=False).split())
        h.xdo("mousemove", icon[0], icon[1], "click", 3)

        def menu():
            now = h.xdo("search", "--onlyvisible", "--pid", program.pid, check=False).split()
            for wid in set(now) - before:
                g = h.geometry(wid)
                if g[3] >= 8 * 12:
                    return g
            return None

        return wait_for(menu, 10, "the tray menu")

    # 设置 (1st of 8 items) while the main window is shown: the settings window comes up
    # above the main window and takes the focus (not hidden behind it).
    mx, my, mw, mh = open_menu()
    h.click(mx + mw // 2, my + mh // 16)
    wait_for(lambda: h.active_window_name() == "系统设置", 15, "the settings window to be active")
    h.key("alt+F4")  # the window manager's close
    wait_for(lambda: not h.window_visible("^系统设置$"), 10, "the settings window to close")

    # The menu's 退出, 7th of 8 items, quits.
    mx, my, mw, mh = open_menu()
    h.click(mx + mw // 2, my + mh * 13 // 16 - 2)
    try:
        code = program.wait(20)
    except subprocess.TimeoutExpired:
        raise Failure("退出 in the tray menu did not end the program")
    if code != 0:
        raise Failure("the program ended with %d after 退出" % code)
    print("tray test passed (icon at %d,%d, menu %dx%d)" % (icon[0], icon[1], mw, mh))


if __name__ == "__main__":
    sys.exit(run_cases({"tray": run}, sys.argv + ["tray"], programs=(),
                       tools=("Xvfb", "openbox", "tint2", "xdotool", "xwininfo", "xprop"),
                       store=False))
