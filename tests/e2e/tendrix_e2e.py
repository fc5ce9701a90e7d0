"""End-to-end harness: the real tendrix on a real X display.

One `Harness` per case starts, in a temporary folder of its own:
  - Xvfb (a free display number) and openbox,
  - tendrix-sandbox on a free loopback port,
  - socat serial pairs (`serial_pair`), a loopback network printer (`printer`),
  - the POS stand-in window (`pos_standin.py`, GTK 3),
  - a program folder (bin/ with the executable and plugins, UIskin/, data/dataset.db written
    through the program's own store, data/ports.ini) and the program itself, logged in.
The X input comes from xdotool (XTest). On failure the screen is saved as failure-*.png in
the case's folder, which is kept and named on stderr; on success everything is removed.

    with Harness(bin_dir, store_tool, "display_sale") as h:
        h.start_desktop()
        ...
Every wait has a deadline and raises `Failure` naming what it waited for.
"""
import json
import os
import queue
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SCREEN = (1366, 768)
MAIN_TITLE = "Tendrix 收银助手"


class Failure(Exception):
    pass


def wait_for(predicate, timeout, what, interval=0.05):
    """Polls `predicate` until it returns a true value (returned) or `timeout` s pass."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def rect_setting(x, y, w, h):
    """A screen rectangle in the settings' text form."""
    return "top:%d, left:%d, right:%d, bottom:%d" % (y, x, x + w, y + h)


def loop_settings(entry_rect, printer_port, auto_return="2"):
    """Settings of the whole sale loop: receipts to the loopback printer, the automatic
    return after `auto_return` s, and after a payment a click on the POS entry, the paid
    amount typed there and Enter, 200 ms apart. No voice."""
    return {
        "sysIsOpenVoicePrompt": "FALSE",
        "sysAutoPrintBill": "TRUE",
        "sysPrinterPortWay": "网口",
        "sysPrinterNetIp": "127.0.0.1:%d" % printer_port,
        "sysIsOpenPaySuccessClose": auto_return,
        "sysPrintMoneyProgram": "第一步快捷键之前",
        "sysIsPaySuccessHotKeyNext1": "KeyBody13",
        "sysIsPaySuccessHotKeyNext2": "无",
        "sysPrintMoneyFocusPos": rect_setting(*entry_rect),
        "sysPrintKeytime": "200",
        "sysShowHideHotKey": "F9",
    }


def display_settings(forward=True):
    """Amounts from the customer-display stream ESC Q A <amount> CR on COM5, passed on to
    COM6 when `forward`."""
    return {"sysCaptureComMoney": "TRUE",
            "sysVirtualComdRecvId": "COM5->COM6",
            "sysComMachineSendID": "COM6" if forward else "无",
            "sysFilterMoneyMsg": "\\X1BQA"}


class PrinterListener:
    """A network receipt printer on loopback: accepts connections and keeps what arrives."""

    def __init__(self):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.jobs = []  # bytes per connection
        self.lock = threading.Lock()
        self.closed = False
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while not self.closed:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self._read, args=(conn,), daemon=True).start()

    def _read(self, conn):
        with self.lock:
            index = len(self.jobs)
            self.jobs.append(b"")
        with conn:
            while True:
                try:
                    data = conn.recv(65536)
                except OSError:
                    break
                if not data:
                    break
                with self.lock:
                    self.jobs[index] += data

    def text(self):
        """Everything received, decoded as the printer would (GBK)."""
        with self.lock:
            data = b"".join(self.jobs)
        return data.decode("gbk", errors="replace")

    def close(self):
        self.closed = True
        self.sock.close()


class StandIn:
    """The POS stand-in process; events arrive on a queue, commands go to its stdin."""

    def __init__(self, harness, display=None, log=None, interactive=False):
        cmd = [sys.executable, os.path.join(HERE, "pos_standin.py")]
        if interactive:
            cmd.append("--interactive")
        if display:
            cmd += ["--display-port", display]
        if log:
            cmd += ["--log", log]
        self.proc = harness.spawn("pos", cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.events = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()
        ready = self.wait_event(lambda e: e["event"] == "ready", 20, "the POS stand-in window")
        self.entry = ready["entry"]  # x, y, w, h on the screen
        self.label = ready["label"]

    def _read(self):
        for line in self.proc.stdout:
            try:
                event = json.loads(line)
            except ValueError:
                continue
            with self.cond:
                self.events.append(event)
                self.cond.notify_all()

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())
        self.proc.stdin.flush()

    def wait_event(self, match, timeout, what, start=0):
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for e in self.events[start:]:
                    if match(e):
                        return e
                left = deadline - time.monotonic()
                if left <= 0:
                    raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
                self.cond.wait(left)

    def mark(self):
        """Index of the next event: wait_event(..., start=mark) sees only later ones."""
        with self.cond:
            return len(self.events)

    def since(self, mark, kind):
        with self.cond:
            return [e for e in self.events[mark:] if e["event"] == kind]

    def entry_text(self):
        changed = self.since(0, "changed")
        return changed[-1]["text"] if changed else ""


class Harness:
    def __init__(self, bin_dir, store_tool, name, root=None):
        """`store_tool`: e2e_store (the program's own store); None writes dataset.db with
        Python's sqlite3 in the same table form (for the demo, built without the tests).
        `root`: a folder to use (kept) instead of a temporary one."""
        self.bin_dir = os.path.abspath(bin_dir)
        self.store_tool = store_tool
        self.name = name
        self.keep = root is not None
        if root:
            os.makedirs(root)
            self.dir = os.path.abspath(root)
        else:
            self.dir = tempfile.mkdtemp(prefix="tendrix-e2e-%s-" % name)
        self.procs = []  # (label, Popen), stopped in reverse order
        self.env = dict(os.environ)
        home = os.path.join(self.dir, "home")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        self.env.update({
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_STATE_HOME": os.path.join(home, ".local", "state"),
            "XDG_RUNTIME_DIR": runtime,
            "QT_QPA_PLATFORM": "xcb",
            "NO_AT_BRIDGE": "1",
            "LANG": "C.UTF-8",
            # A leak report at exit says nothing about the flow under test.
            "ASAN_OPTIONS": "detect_leaks=0",
        })
        for key in ("DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "SESSION_MANAGER"):
            self.env.pop(key, None)
        self.printer = None
        self.sandbox_url = None
        self.program = None
        self.prog_dir = os.path.join(self.dir, "tendrix")
        self.serial = {}
        self.shots = 0

    # ---- lifetime ----

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        failed = kind is not None
        if failed:
            self.screenshot("failure")
        self.stop_all()
        if failed:
            sys.stderr.write("e2e %s: kept %s (screenshots, logs)\n" % (self.name, self.dir))
        elif not self.keep:
            shutil.rmtree(self.dir, ignore_errors=True)
        return False

    def spawn(self, label, cmd, **kw):
        out = open(os.path.join(self.dir, label + ".log"), "ab")
        kw.setdefault("stdout", out)
        kw.setdefault("stderr", out)
        proc = subprocess.Popen(cmd, env=kw.pop("env", self.env), start_new_session=True, **kw)
        self.procs.append((label, proc))
        return proc

    def stop(self, proc, grace=5):
        if proc.poll() is None:
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                proc.wait(grace)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()

    def stop_all(self):
        for _, proc in reversed(self.procs):
            self.stop(proc)
        self.procs = []
        if self.printer:
            self.printer.close()

    def screenshot(self, label):
        if "DISPLAY" not in self.env:
            return None
        self.shots += 1
        path = os.path.join(self.dir, "%s-%d.png" % (label, self.shots))
        subprocess.run(["import", "-silent", "-window", "root", path], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)
        return path

    # ---- display, window manager ----

    def use_display(self, display):
        """Runs on an existing display instead of starting one."""
        self.env["DISPLAY"] = display

    def start_desktop(self):
        r, w = os.pipe()
        self.spawn("xvfb", ["Xvfb", "-displayfd", str(w), "-screen", "0",
                            "%dx%dx24" % SCREEN, "-nolisten", "tcp", "-noreset"],
                   pass_fds=(w,))
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
            raise Failure("Xvfb did not start (see xvfb.log)")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.spawn("openbox", ["openbox", "--sm-disable"])
        wait_for(lambda: "window id" in self.run(["xprop", "-root",
                                                  "_NET_SUPPORTING_WM_CHECK"], check=False),
                 20, "openbox to manage the display")

    def run(self, cmd, check=True, timeout=20):
        try:
            p = subprocess.run(cmd, env=self.env, capture_output=True, text=True,
                               timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("%s did not finish in %d s" % (" ".join(cmd), timeout))
        if check and p.returncode != 0:
            raise Failure("%s failed: %s" % (" ".join(cmd), p.stderr.strip()))
        return p.stdout

    # ---- X input and windows (xdotool) ----

    def xdo(self, *args, check=True):
        return self.run(["xdotool"] + [str(a) for a in args], check=check)

    def windows(self, title, visible=True):
        """Ids of the windows whose title matches the regular expression `title`."""
        args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", title]
        return [int(w) for w in self.xdo(*args, check=False).split()]

    def window_visible(self, title):
        return bool(self.windows(title))

    def geometry(self, wid):
        out = self.xdo("getwindowgeometry", "--shell", wid)
        v = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])

    def active_window_name(self):
        return self.xdo("getactivewindow", "getwindowname", check=False).strip()

    def click(self, x, y):
        # No --sync: it waits for a movement that never comes when the pointer is there.
        self.xdo("mousemove", x, y, "click", 1)

    def click_window(self, title, dx=None, dy=None):
        ids = wait_for(lambda: self.windows(title), 10, "window %r" % title)
        x, y, w, h = self.geometry(ids[0])
        self.click(x + (w // 2 if dx is None else dx), y + (h // 2 if dy is None else dy))

    def key(self, *names):
        self.xdo("key", "--delay", 30, *names)

    def type(self, text, delay_ms=12):
        self.xdo("type", "--delay", delay_ms, text)

    # ---- peers ----

    def start_sandbox(self, *extra):
        proc = self.spawn("sandbox", [os.path.join(self.bin_dir, "tendrix-sandbox"), "--listen",
                                      "127.0.0.1:0"] + list(extra), stdout=subprocess.PIPE)
        line = proc.stdout.readline().decode()
        m = re.search(r"(http://127\.0\.0\.1:\d+)", line)
        if not m:
            raise Failure("tendrix-sandbox did not start: %r" % line)
        self.sandbox_url = m.group(1)
        return self.sandbox_url

    def start_printer(self):
        self.printer = PrinterListener()
        return self.printer

    def serial_pair(self, name):
        """A linked pair of serial ports: returns (POS end, program end) paths."""
        a = os.path.join(self.dir, name + "-pos")
        b = os.path.join(self.dir, name + "-tendrix")
        self.spawn("socat-" + name, ["socat", "pty,raw,echo=0,link=" + a,
                                     "pty,raw,echo=0,link=" + b])
        wait_for(lambda: os.path.exists(a) and os.path.exists(b), 10, "socat pair " + name)
        self.serial[name] = (a, b)
        return a, b

    def start_standin(self, display=None, log=None, interactive=False):
        return StandIn(self, display=display, log=log, interactive=interactive)

    # ---- the program ----

    def prepare_program(self, settings, ports=None):
        """A program folder of the case's own: bin/ (executable, plugins, skin), data/ with
        `settings` written through the program's store and `ports` as data/ports.ini."""
        bin_dir = os.path.join(self.prog_dir, "bin")
        data_dir = os.path.join(self.prog_dir, "data")
        os.makedirs(bin_dir)
        os.makedirs(data_dir)
        for name in os.listdir(self.bin_dir):
            src = os.path.join(self.bin_dir, name)
            dst = os.path.join(bin_dir, name)
            if name == "UIskin":
                shutil.copytree(src, dst)  # the float's position is written there
            elif os.path.isdir(src):
                os.symlink(src, dst)
            elif name == "tendrix" or name.endswith(".so"):
                # A hard link keeps /proc/self/exe inside this folder (a symbolic one would
                # lead back to the build tree's data).
                try:
                    os.link(src, dst)
                except OSError:
                    shutil.copy2(src, dst)
        if self.store_tool:
            args = [self.store_tool, data_dir] + ["%s=%s" % kv for kv in settings.items()]
            p = subprocess.run(args, capture_output=True, text=True, env=self.env)
            if p.returncode != 0:
                raise Failure("writing the settings failed: " + p.stderr.strip())
        else:
            import sqlite3
            db = sqlite3.connect(os.path.join(data_dir, "dataset.db"))
            db.execute("create table if not exists tblTest(name varchar(50), message varchar(200))")
            for k, v in settings.items():
                db.execute("delete from tblTest where name = ?", (k,))
                db.execute("insert into tblTest(name, message) values (?, ?)", (k, v))
            db.commit()
            db.close()
        if ports:
            with open(os.path.join(data_dir, "ports.ini"), "w") as f:
                for k, v in ports.items():
                    f.write("%s=%s\n" % (k, v))
        return bin_dir

    def diag_log(self):
        """The program's diagnostic log (all days)."""
        log_dir = os.path.join(self.prog_dir, "log")
        text = ""
        if os.path.isdir(log_dir):
            for name in sorted(os.listdir(log_dir)):
                if name.startswith("tendrix-") and name.endswith(".log"):
                    with open(os.path.join(log_dir, name), encoding="utf-8",
                              errors="replace") as f:
                        text += f.read()
        return text

    def start_program(self):
        env = dict(self.env)
        env["TENDRIX_API_BASE"] = self.sandbox_url or "http://127.0.0.1:9"
        env["TENDRIX_DEMO_CASHIER"] = "demo"
        self.program = self.spawn("tendrix", [os.path.join(self.prog_dir, "bin", "tendrix")],
                                  env=env)
        return self.program

    def login(self, user="demo", password="demo"):
        """Logs in through the login window and waits for the main window."""
        land = wait_for(lambda: self.windows("^land$"), 60, "the login window")[0]
        self.xdo("windowactivate", "--sync", land, check=False)
        x, y, w, h = self.geometry(land)
        # The account field and the password field, in the login window's 420-wide layout.
        self.click(x + 160, y + 156)
        self.key("ctrl+a")
        self.type(user)
        self.click(x + 160, y + 204)
        self.key("ctrl+a")
        self.type(password)
        self.key("Return")

        # A login may bring notices (e.g. a cashier with several clients): they are
        # acknowledged, they are not the flow under test.
        def logged_in():
            for box in self.windows("^DuiMessageBox$"):
                self.xdo("windowactivate", "--sync", box, check=False)
                self.key("Return")
            return self.main_visible()

        wait_for(logged_in, 30, "the main window after the login", interval=0.2)
        self.close_message_boxes()

    def close_message_boxes(self, timeout=1.5):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            boxes = self.windows("^DuiMessageBox$")
            if not boxes:
                time.sleep(0.1)
                continue
            for b in boxes:
                self.xdo("windowactivate", "--sync", b, check=False)
                self.key("Escape")
            time.sleep(0.2)

    def main_visible(self):
        return self.window_visible("^" + re.escape(MAIN_TITLE) + "$")

    def main_window(self):
        ids = self.windows("^" + re.escape(MAIN_TITLE) + "$")
        return ids[0] if ids else None
