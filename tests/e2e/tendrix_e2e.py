"""End-to-end harness: the real tendrix on a real X display.

One `Harness` per case starts, in a temporary folder of its own, Xvfb and openbox, the
sandbox, socat serial pairs, a loopback network printer, the POS stand-in (`pos_standin.py`)
and a program folder with the program itself. X input comes from xdotool (XTest). Every wait
has a deadline and raises `Failure`; on failure the screen is saved (failure-screen.png) and
the folder is kept (named on stderr), on success removed. `run_cases` is a case script's main.
"""
import glob
import json
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SCREEN = (1366, 768)
MAIN_TITLE = "Tendrix 收银助手"
SKIP = 77


class Failure(Exception):
    pass


class Skip(Exception):
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
        self.sock = socket.create_server(("127.0.0.1", 0), backlog=8)
        self.port = self.sock.getsockname()[1]
        self.jobs = []  # bytes per connection, as they arrive
        self.lock = threading.Lock()
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
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
            try:
                for data in iter(lambda: conn.recv(65536), b""):
                    with self.lock:
                        self.jobs[index] += data
            except OSError:
                pass

    def text(self):
        """Everything received, decoded as the printer would (GBK)."""
        with self.lock:
            return b"".join(self.jobs).decode("gbk", errors="replace")

    def close(self):
        self.sock.close()


class StandIn:
    """The POS stand-in process; events arrive on a queue, commands go to its stdin."""

    def __init__(self, harness, display=None, log=None, interactive=False):
        cmd = [sys.executable, os.path.join(HERE, "pos_standin.py")]
        cmd += ["--interactive"] if interactive else []
        cmd += ["--display-port", display] if display else []
        cmd += ["--log", log] if log else []
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
        with self.cond:
            found = self.cond.wait_for(lambda: [e for e in self.events[start:] if match(e)],
                                       timeout)
        if not found:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        return found[0]

    def mark(self):
        """Index of the next event: wait_event(..., start=mark) sees only later ones."""
        with self.cond:
            return len(self.events)

    def since(self, mark, *kinds):
        """The events of these kinds from `mark` on."""
        with self.cond:
            return [e for e in self.events[mark:] if e["event"] in kinds]

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
        self.dir = (os.path.abspath(root) if root
                    else tempfile.mkdtemp(prefix="tendrix-e2e-%s-" % name))
        self.procs = []  # Popen, stopped in reverse order
        home = os.path.join(self.dir, "home")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(home)
        os.makedirs(runtime, mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "SESSION_MANAGER")}
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
        self.printer = None
        self.sandbox_url = None
        self.program = None
        self.prog_dir = os.path.join(self.dir, "tendrix")

    # ---- lifetime ----

    def __enter__(self):
        return self

    def __exit__(self, kind, value, tb):
        if kind is not None and "DISPLAY" in self.env:
            subprocess.run(["import", "-silent", "-window", "root",
                            os.path.join(self.dir, "failure-screen.png")], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)
        self.stop_all()
        if kind is not None:
            sys.stderr.write("e2e %s: kept %s (screenshot, logs)\n" % (self.name, self.dir))
        elif not self.keep:
            shutil.rmtree(self.dir, ignore_errors=True)
        return False

    def spawn(self, label, cmd, **kw):
        out = open(os.path.join(self.dir, label + ".log"), "ab")
        kw.setdefault("stdout", out)
        kw.setdefault("stderr", out)
        proc = subprocess.Popen(cmd, env=kw.pop("env", self.env), start_new_session=True, **kw)
        self.procs.append(proc)
        return proc

    def stop_all(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                    proc.wait(5)
                except ProcessLookupError:
                    pass
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait()
        self.procs = []
        if self.printer:
            self.printer.close()

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
        with os.fdopen(r, "rb") as f:  # Xvfb writes the display number and a newline
            number = f.readline().strip()
        if not number:
            raise Failure("Xvfb did not start (see xvfb.log)")
        self.env["DISPLAY"] = ":" + number.decode()
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

    def window_pixels(self, wid):
        return subprocess.run(["import", "-silent", "-window", str(wid), "rgb:-"],
                              env=self.env, capture_output=True, timeout=20).stdout

    def active_window_name(self):
        return self.xdo("getactivewindow", "getwindowname", check=False).strip()

    def click(self, x, y):
        # No --sync: it waits for a movement that never comes when the pointer is there.
        self.xdo("mousemove", x, y, "click", 1)

    def click_window(self, title):
        """Clicks the middle of the first window whose title matches `title`."""
        x, y, w, h = self.geometry(wait_for(lambda: self.windows(title), 10, title)[0])
        self.click(x + w // 2, y + h // 2)

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
        return a, b

    def start_standin(self, display=None, log=None, interactive=False):
        return StandIn(self, display=display, log=log, interactive=interactive)

    def cli(self, *args):
        """tendrix-cli against the sandbox as the demo cashier: (exit code, stdout + stderr)."""
        p = subprocess.run([os.path.join(self.bin_dir, "tendrix-cli"), "--api-base",
                            self.sandbox_url, "--user", "demo", "--password", "demo"] + list(args),
                           capture_output=True, text=True, env=self.env, timeout=30)
        return p.returncode, p.stdout + p.stderr

    # ---- the program ----

    def prepare_program(self, settings, ports=None):
        """A program folder of the case's own: bin/ (executable, plugins, skin), data/ with
        `settings` written through the program's store and `ports` as data/ports.ini."""
        bin_dir = os.path.join(self.prog_dir, "bin")
        data_dir = os.path.join(self.prog_dir, "data")
        os.makedirs(bin_dir)
        os.makedirs(data_dir)
        for name in os.listdir(self.bin_dir):
            src, dst = os.path.join(self.bin_dir, name), os.path.join(bin_dir, name)
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
            with sqlite3.connect(os.path.join(data_dir, "dataset.db")) as db:
                db.execute("create table if not exists tblTest(name varchar(50), "
                           "message varchar(200))")
                for k, v in settings.items():
                    db.execute("delete from tblTest where name = ?", (k,))
                    db.execute("insert into tblTest(name, message) values (?, ?)", (k, v))
        if ports:
            with open(os.path.join(data_dir, "ports.ini"), "w") as f:
                f.writelines("%s=%s\n" % kv for kv in ports.items())
        return bin_dir

    def diag_log(self):
        """The program's diagnostic log (all days)."""
        text = ""
        for name in sorted(glob.glob(os.path.join(self.prog_dir, "log", "tendrix-*.log"))):
            with open(name, encoding="utf-8", errors="replace") as f:
                text += f.read()
        return text

    def start_program(self):
        env = dict(self.env)
        env["TENDRIX_API_BASE"] = self.sandbox_url or "http://127.0.0.1:9"
        env["TENDRIX_DEMO_CASHIER"] = "demo"
        self.program = self.spawn("tendrix", [os.path.join(self.prog_dir, "bin", "tendrix")],
                                  env=env)
        return self.program

    def type_login(self, user="demo", password="demo"):
        """Types name and password into the login window and presses Return; returns its id."""
        land = wait_for(lambda: self.windows("^land$"), 60, "the login window")[0]
        self.xdo("windowactivate", "--sync", land, check=False)
        x, y, _, _ = self.geometry(land)
        # The account field and the password field, in the login window's 420-wide layout.
        for field_y, text in ((156, user), (204, password)):
            self.click(x + 160, y + field_y)
            self.key("ctrl+a")
            self.type(text)
        self.key("Return")
        return land

    def login(self, user="demo", password="demo"):
        """Logs in through the login window and waits for the main window."""
        self.type_login(user, password)
        # A login may bring notices (e.g. a cashier with several clients): they are
        # acknowledged, they are not the flow under test.
        wait_for(lambda: self.answer_boxes("Return") or self.main_visible(), 30,
                 "the main window after the login", interval=0.2)
        self.close_message_boxes()

    def answer_boxes(self, key):
        """Presses `key` in every message box shown."""
        for box in self.windows("^DuiMessageBox$"):
            self.xdo("windowactivate", "--sync", box, check=False)
            self.key(key)

    def close_message_boxes(self, timeout=1.5):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.answer_boxes("Escape")
            time.sleep(0.2)

    def main_visible(self):
        return self.main_window() is not None

    def main_window(self):
        ids = self.windows("^" + re.escape(MAIN_TITLE) + "$")
        return ids[0] if ids else None


def run_cases(cases, argv, tools=("Xvfb", "openbox", "xdotool", "import"),
              programs=("tendrix", "tendrix-sandbox"), store=True):
    """A case script's main: SCRIPT BIN_DIR [STORE_TOOL] CASE runs cases[CASE](harness) and
    returns 0 (passed), 1 (failed), 2 (usage) or 77 (cannot run here, says why)."""
    if len(argv) != (4 if store else 3) or argv[-1] not in cases:
        sys.stderr.write("usage: %s BIN_DIR %s{%s}\n" % (os.path.basename(argv[0]),
                                                        "STORE_TOOL " if store else "",
                                                        "|".join(cases)))
        return 2
    bin_dir, name = argv[1], argv[-1]
    missing = [t + " is not installed" for t in tools if not shutil.which(t)]
    missing += ["%s is not built in %s" % (p, bin_dir) for p in programs
                if not os.access(os.path.join(bin_dir, p), os.X_OK)]
    if missing:
        print("SKIP %s: %s" % (name, missing[0]))
        return SKIP
    started = time.monotonic()
    try:
        with Harness(bin_dir, argv[2] if store else None, name) as h:
            cases[name](h)
    except Skip as e:
        print("SKIP %s: %s" % (name, e))
        return SKIP
    except Failure as e:
        print("FAIL %s: %s" % (name, e))
        return 1
    print("PASS %s (%.1f s)" % (name, time.monotonic() - started))
    return 0
