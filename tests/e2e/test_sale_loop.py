"""The whole sale against real windows: the amount from the POS stand-in into the pay page,
the customer's code scanned, the order paid at the sandbox, the receipt at a network printer
and the paid amount typed back into the stand-in's entry.

    test_sale_loop.py BIN_DIR STORE_TOOL CASE      (exit 77: cannot run here, says why)
"""
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tendrix_e2e import (Failure, Harness, display_settings, loop_settings,  # noqa: E402
                         rect_setting, wait_for)

SKIP = 77
_counter = [0]


def code(last):
    """An 18-digit payment code; the sandbox acts on its last digit (0 paid, 5 pending then
    paid, 7 refused). The middle digits make each order number new."""
    _counter[0] += 1
    return "28" + "4" + "%05d%05d" % (os.getpid() % 100000, _counter[0]) + "1234" + last


class Sale:
    """One case's running system."""

    def __init__(self, h, source="display", auto_return="2", extra=None):
        self.h = h
        h.start_desktop()
        h.start_sandbox()
        printer = h.start_printer()
        pos_display, tendrix_display = h.serial_pair("display")
        self.real_display, forward_end = h.serial_pair("realdisplay")
        self.log_path = os.path.join(h.dir, "pos-YYYY-MM-DD.log")
        today_log = self.log_path.replace("YYYY-MM-DD", time.strftime("%Y-%m-%d"))
        open(today_log, "a").close()
        self.standin = h.start_standin(display=pos_display if source == "display" else None,
                                       log=today_log if source == "log" else None)
        self.standin.send("entry 0.00")  # the previous sale's amount, to be replaced
        settings = loop_settings(self.standin.entry, printer.port, auto_return)
        ports = {}
        if source == "display":
            settings.update(display_settings())
            ports = {"COM5": tendrix_display, "COM6": forward_end}
        elif source == "log":
            settings.update({"sysIsLogFromMoney": "TRUE", "sysLogFileSet": self.log_path})
        elif source == "screen":
            settings["sysCutPicThemeMoney"] = rect_setting(*self.standin.label)
        settings.update(extra or {})
        self.printer = printer
        h.prepare_program(settings, ports)
        h.start_program()
        h.login()
        self.hide_main_by_close()

    # ---- the main window ----

    def main_geometry(self):
        wid = wait_for(self.h.main_window, 10, "the main window shown")
        return self.h.geometry(wid)

    def hide_main_by_close(self):
        x, y, w, _ = self.main_geometry()
        self.h.click(x + w - 42, y + 26)  # ✕ of the title bar
        wait_for(lambda: not self.h.main_visible(), 10, "the main window hidden by ✕")

    def show_main_by_float(self):
        self.h.click_window("^MainFloatWindow$")
        wait_for(self.h.main_visible, 10, "the main window shown by the floating window")
        wait_for(lambda: self.h.active_window_name() == "Tendrix 收银助手", 5,
                 "the main window to take the focus")

    def amount_in_pay_page(self, amount, timeout=10):
        return wait_for(lambda: ("amount %s into moneyinput" % amount) in self.h.diag_log(),
                        timeout, "%s in moneyinput (diagnostic log)" % amount)

    def scan(self, payment_code):
        # The main window has the focus and barcodeinput the keyboard: the scanner types
        # the code and its carriage return.
        self.h.type(payment_code + "\r", delay_ms=4)

    def popup_shown(self, timeout=30):
        return wait_for(lambda: self.h.window_visible("^MainPopupWindow$"), timeout,
                        "the payment popup")

    def receipt_order_number(self, timeout=15):
        def order():
            m = re.search(r"订单号：\s*([0-9A-Za-z]{10,})", self.printer.text())
            return m.group(1) if m else None

        return wait_for(order, timeout, "a receipt with an order number at the printer")

    def paid_amount_typed(self, amount, mark, timeout=20):
        """Waits for Enter in the stand-in's entry holding `amount`; then checks that it came
        once and that nothing else arrives in the next 1.5 s."""
        ev = self.standin.wait_event(lambda e: e["event"] == "enter", timeout,
                                     "Enter in the POS entry", start=mark)
        if ev["text"] != amount:
            raise Failure("the POS entry held %r at Enter, expected %r" % (ev["text"], amount))
        time.sleep(1.5)
        enters = self.standin.since(mark, "enter")
        if len(enters) != 1:
            raise Failure("Enter reached the POS entry %d times: %r" % (len(enters), enters))
        if self.standin.entry_text() != amount:
            raise Failure("the POS entry changed after the run: %r" % self.standin.entry_text())
        return ev

    def order_state(self, order_no):
        """The platform's answer for the order (tendrix-cli query); None without the CLI."""
        if not os.access(os.path.join(self.h.bin_dir, "tendrix-cli"), os.X_OK):
            return None
        out = subprocess.run(
            [os.path.join(self.h.bin_dir, "tendrix-cli"), "--api-base", self.h.sandbox_url,
             "--user", "demo", "--password", "demo", "query", "--order", order_no],
            capture_output=True, text=True, env=self.h.env, timeout=30)
        return out.stdout + out.stderr


def pay_and_check(sale, amount, payment_code, hide=None):
    """Amount already captured: show, scan, paid, receipt, typed back into the POS."""
    h = sale.h
    sale.show_main_by_float()
    mark = sale.standin.mark()
    sale.scan(payment_code)
    popup_at = sale.popup_shown()
    if sale.standin.since(mark, "changed"):
        raise Failure("the POS entry changed before the payment result")
    order_no = sale.receipt_order_number()
    if amount not in sale.printer.text():
        raise Failure("the receipt does not hold %s" % amount)
    if hide:
        hide()
    sale.paid_amount_typed(amount, mark)
    return order_no, popup_at


# ---- cases ----

def case_display_sale(h):
    sale = Sale(h, "display")
    mark = sale.standin.mark()
    sale.standin.send("total 36.50")
    sale.standin.wait_event(lambda e: e["event"] == "sent", 5, "the display stream", start=mark)
    sale.amount_in_pay_page("36.50")
    # The display's bytes were passed on unchanged.
    fd = os.open(sale.real_display, os.O_RDONLY | os.O_NONBLOCK | os.O_NOCTTY)
    got = b""
    deadline = time.monotonic() + 5
    while len(got) < 9 and time.monotonic() < deadline:
        try:
            got += os.read(fd, 64)
        except BlockingIOError:
            time.sleep(0.05)
    os.close(fd)
    if got != b"\x1bQA36.50\r":
        raise Failure("the real display got %r" % got)
    order_no, _ = pay_and_check(sale, "36.50", code("0"))
    state = sale.order_state(order_no)
    if state is not None and "已付款" not in state:
        raise Failure("the receipt's order %s is not paid at the platform: %s" % (order_no, state))
    # The automatic return hid the main window.
    if h.main_visible():
        raise Failure("the main window is still shown after the automatic return")


def case_log_sale(h):
    sale = Sale(h, "log")
    time.sleep(0.5)  # the follower has reached the end of the file
    sale.standin.send("log 52.80")
    sale.amount_in_pay_page("52.80")
    pay_and_check(sale, "52.80", code("1"))


def case_screen_sale(h):
    if not os.path.exists(os.path.join(h.bin_dir, "libTesseractDLL.so")):
        raise Skip("libTesseractDLL.so is not built")
    sale = Sale(h, "screen")
    sale.standin.send("label 27.40")
    sale.amount_in_pay_page("27.40", timeout=15)
    pay_and_check(sale, "27.40", code("2"))


def case_refused_types_nothing(h):
    sale = Sale(h, "display")
    sale.standin.send("total 18.00")
    sale.amount_in_pay_page("18.00")
    sale.show_main_by_float()
    mark = sale.standin.mark()
    sale.scan(code("7"))
    # The refusal is shown in a message box; the cashier acknowledges it and hides the window.
    wait_for(lambda: h.windows("^DuiMessageBox$"), 20, "the refusal message")
    # Opened over the top-most main window, the box is above it and has the focus.
    wait_for(lambda: h.active_window_name() == "DuiMessageBox", 5,
             "the message box to take the focus")
    h.close_message_boxes()
    if h.main_visible():
        sale.hide_main_by_close()
    time.sleep(3)
    if sale.standin.since(mark, "changed") or sale.standin.since(mark, "enter"):
        raise Failure("keys reached the POS after a refused payment")
    if "printmoney" in h.diag_log():
        raise Failure("an after-payment run started for a refused payment")


def case_pending_then_paid(h):
    sale = Sale(h, "display")
    sale.standin.send("total 9.90")
    sale.amount_in_pay_page("9.90")
    sale.show_main_by_float()
    mark = sale.standin.mark()
    sale.scan(code("5"))
    popup_at = sale.popup_shown(timeout=40)
    popup_time = time.time()
    early = sale.standin.since(mark, "changed")
    if early:
        raise Failure("the POS entry changed before the result: %r" % early)
    ev = sale.paid_amount_typed("9.90", mark)
    if ev["t"] < popup_time:
        raise Failure("Enter came before the paid result")
    del popup_at


def case_hide_ways(h):
    """Each way of hiding the main window after a payment leads to one run: ✕, the floating
    window and the show/hide hotkey, each while the automatic return is still armed."""
    sale = Sale(h, "display", auto_return="30")
    ways = {
        "close": sale.hide_main_by_close,
        "float": lambda: (h.click_window("^MainFloatWindow$"),
                          wait_for(lambda: not h.main_visible(), 10, "hidden by the float")),
        "hotkey": lambda: (h.key("F9"),
                           wait_for(lambda: not h.main_visible(), 10, "hidden by the hotkey")),
    }
    amounts = {"close": "11.10", "float": "12.20", "hotkey": "13.30"}
    for way, hide in ways.items():
        sale.standin.send("entry 0.00")
        sale.standin.send("total " + amounts[way])
        sale.amount_in_pay_page(amounts[way])
        try:
            pay_and_check(sale, amounts[way], code("3"), hide=hide)
        except Failure as e:
            raise Failure("hidden by %s: %s" % (way, e))


def case_alt_shortcut(h):
    """An "alt + X" value of a main window key acts on the real keyboard: Alt+R is the
    refund/cancel key while the main window has the focus."""
    h.start_desktop()
    h.start_sandbox()
    h.prepare_program({"sysRefundOrCancelHotKey": "alt + R"})
    h.start_program()
    h.login()
    wait_for(h.main_visible, 10, "the main window shown after the login")
    wait_for(lambda: h.active_window_name() == "Tendrix 收银助手", 10,
             "the main window to take the focus")
    h.key("alt+r")
    wait_for(lambda: "main window key 3 acted" in h.diag_log(), 10,
             "Alt+R acting as the refund/cancel key (diagnostic log)")


class Skip(Exception):
    pass


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in CASES:
        sys.stderr.write("usage: test_sale_loop.py BIN_DIR STORE_TOOL {%s}\n" % "|".join(CASES))
        return 2
    bin_dir, store_tool, name = sys.argv[1:]
    for tool in ("Xvfb", "openbox", "xdotool", "socat", "import"):
        if not shutil.which(tool):
            print("SKIP %s: %s is not installed" % (name, tool))
            return SKIP
    for program in ("tendrix", "tendrix-sandbox"):
        if not os.access(os.path.join(bin_dir, program), os.X_OK):
            print("SKIP %s: %s is not built in %s" % (name, program, bin_dir))
            return SKIP
    started = time.monotonic()
    try:
        with Harness(bin_dir, store_tool, name) as h:
            CASES[name](h)
    except Skip as e:
        print("SKIP %s: %s" % (name, e))
        return SKIP
    except Failure as e:
        print("FAIL %s: %s" % (name, e))
        return 1
    print("PASS %s (%.1f s)" % (name, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
