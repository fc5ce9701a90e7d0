"""The tray icon in a real notification area: Xvfb with openbox and tint2 (a panel with a
system tray), tendrix-sandbox, and the real tendrix logged in as the demo cashier.

Checks that tendrix-cli doctor sees the tray, that the icon is embedded in the panel, that
its left click hides and shows the main window, that its right click opens the menu, and
that the menu's "退出" ends the program cleanly.

Usage: tray_test.py BIN_DIR   (exit 77: an X program is missing)
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

MAIN_TITLE = "^Tendrix 收银助手"


class Failure(Exception):
    pass


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


class Desktop:
    def __init__(self, work, bin_dir):
        self.work = work
        self.procs = []
        home = os.path.join(work, "home")
        runtime = os.path.join(work, "run")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "DISPLAY")}
        self.env.update(HOME=home, XDG_RUNTIME_DIR=runtime, XDG_CONFIG_HOME=home + "/.config",
                        XDG_DATA_HOME=home + "/.local/share", XDG_STATE_HOME=home + "/.local/state",
                        QT_QPA_PLATFORM="xcb", NO_AT_BRIDGE="1", LANG="C.UTF-8",
                        ASAN_OPTIONS="detect_leaks=0")
        # A program folder of its own, so the data and the instance lock are this test's.
        self.bin = os.path.join(work, "tendrix", "bin")
        os.makedirs(self.bin)
        for f in ("tendrix", "tendrix-cli", "libPOSDLL.so", "libTesseractDLL.so", "libKeyMask.so"):
            shutil.copy2(os.path.join(bin_dir, f), self.bin)
        for d in ("UIskin", "Voice"):
            shutil.copytree(os.path.join(bin_dir, d), os.path.join(self.bin, d))

    def spawn(self, label, cmd, **kw):
        log = open(os.path.join(self.work, label + ".log"), "ab")
        kw.setdefault("stdout", log)
        proc = subprocess.Popen(cmd, env=kw.pop("env", self.env), stderr=log,
                                start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def stop_all(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGTERM)
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait()

    def run(self, *cmd):
        return subprocess.run(cmd, env=self.env, capture_output=True, text=True,
                              timeout=60).stdout

    def xdo(self, *args):
        return self.run("xdotool", *[str(a) for a in args])

    def start(self):
        r, w = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(w), "-screen", "0", "1366x768x24",
                            "-nolisten", "tcp", "-noreset"], pass_fds=(w,))
        os.close(w)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(r, 16)
            if not chunk:
                break
            number += chunk
        os.close(r)
        if not number.strip():
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.spawn("openbox", ["openbox", "--sm-disable"])
        wait_for(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                 20, "openbox")
        rc = os.path.join(self.work, "tint2rc")
        with open(rc, "w") as f:
            f.write("panel_items = S\npanel_position = bottom right horizontal\n"
                    "panel_size = 240 32\nsystray_padding = 4 2 4\nsystray_icon_size = 24\n")
        self.spawn("tint2", ["tint2", "-c", rc])

    def visible(self, title):
        return self.xdo("search", "--onlyvisible", "--name", title).split()

    def geometry(self, wid):
        out = self.xdo("getwindowgeometry", "--shell", wid)
        v = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def click(self, x, y, button=1):
        self.xdo("mousemove", "--sync", x, y)
        self.xdo("click", button)

    def tray_icon(self):
        """Centre of the first small window embedded in tint2's panel, or None."""
        for panel in self.xdo("search", "--class", "tint2").split():
            tree = self.run("xwininfo", "-tree", "-id", panel)
            for line in tree.splitlines():
                m = re.search(r"^\s+0x[0-9a-f]+ .*\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)",
                              line)
                if m and "tint2" not in line:
                    w, h, x, y = map(int, m.groups())
                    if 8 <= w <= 64 and 8 <= h <= 64:
                        return x + w // 2, y + h // 2
        return None


def main():
    bin_dir = sys.argv[1]
    for tool in ("Xvfb", "openbox", "tint2", "xdotool", "xwininfo", "xprop"):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            sys.exit(77)
    work = tempfile.mkdtemp(prefix="tendrix-tray-")
    d = Desktop(work, bin_dir)
    ok = False
    try:
        d.start()
        # doctor sees the notification area once tint2 owns it.
        doctor = [os.path.join(d.bin, "tendrix-cli"), "doctor"]
        wait_for(lambda: "✓ system tray" in d.run(*doctor), 30, "doctor to see tint2's tray")

        sandbox = d.spawn("sandbox", [os.path.join(bin_dir, "tendrix-sandbox"), "--listen",
                                      "127.0.0.1:0"], stdout=subprocess.PIPE)
        m = re.search(rb"(http://\S+)", sandbox.stdout.readline())
        if not m:
            raise Failure("the sandbox did not start")
        env = dict(d.env, TENDRIX_API_BASE=m.group(1).decode(), TENDRIX_DEMO_CASHIER="demo")
        program = d.spawn("tendrix", [os.path.join(d.bin, "tendrix")], env=env)

        # The icon is in the panel from the start, before the login.
        icon = wait_for(d.tray_icon, 30, "the tray icon inside tint2's panel")

        land = wait_for(lambda: d.visible("^land$"), 60, "the login window")[0]
        d.xdo("windowactivate", "--sync", land)
        x, y, _, _ = d.geometry(land)
        d.click(x + 160, y + 204)  # the password field
        d.xdo("type", "demo")
        d.xdo("key", "Return")
        wait_for(lambda: d.visible(MAIN_TITLE), 30, "the main window after the login")
        time.sleep(0.5)
        for box in d.visible("^DuiMessageBox$"):  # a first login's notices
            d.xdo("windowactivate", "--sync", box)
            d.xdo("key", "Escape")

        # Left click: hides the main window, and shows it again.
        icon = d.tray_icon() or icon
        d.click(*icon)
        wait_for(lambda: not d.visible(MAIN_TITLE), 10, "the main window to hide")
        d.click(*icon)
        wait_for(lambda: d.visible(MAIN_TITLE), 10, "the main window to come back")

        def open_menu():
            before = set(d.xdo("search", "--onlyvisible", "--pid", program.pid).split())
            d.click(*icon, button=3)

            def menu():
                now = set(d.xdo("search", "--onlyvisible", "--pid", program.pid).split())
                for wid in now - before:
                    g = d.geometry(wid)
                    if g[3] >= 8 * 12:
                        return g
                return None

            return wait_for(menu, 10, "the tray menu")

        def active_name():
            return d.run("xdotool", "getactivewindow", "getwindowname").strip()

        # 设置 (1st of 8 items) while the main window is shown: the settings window comes up
        # above the main window and takes the focus (not hidden behind it).
        mx, my, mw, mh = open_menu()
        d.click(mx + mw // 2, my + mh // 16)
        wait_for(lambda: active_name() == "系统设置", 15, "the settings window to be active")
        d.xdo("key", "alt+F4")  # the window manager's close
        wait_for(lambda: not d.visible("^系统设置$"), 10, "the settings window to close")

        # The menu's 退出, 7th of 8 items, quits.
        mx, my, mw, mh = open_menu()
        d.click(mx + mw // 2, my + mh * 13 // 16 - 2)
        try:
            rc = program.wait(20)
        except subprocess.TimeoutExpired:
            raise Failure("退出 in the tray menu did not end the program")
        if rc != 0:
            raise Failure("the program ended with %d after 退出" % rc)
        ok = True
        print("tray test passed (icon at %d,%d, menu %dx%d)" % (icon[0], icon[1], mw, mh))
    except Failure as e:
        shot = os.path.join(work, "failure.png")
        subprocess.run(["import", "-silent", "-window", "root", shot], env=d.env,
                       capture_output=True, timeout=20)
        sys.stderr.write("FAIL: %s (kept %s)\n" % (e, work))
    finally:
        d.stop_all()
        if ok:
            shutil.rmtree(work, ignore_errors=True)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
