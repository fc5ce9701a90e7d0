"""The whole sale against real windows: the amount from the POS stand-in into the pay page,
the customer's code scanned, the order paid at the sandbox, the receipt at a network printer
and the paid amount typed back into the stand-in's entry.

    test_sale_loop.py BIN_DIR STORE_TOOL CASE      (exit 77: cannot run here, says why)
"""
import itertools
import os
import re
import select
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tendrix_e2e import (MAIN_TITLE, Failure, Skip, display_settings,  # noqa: E402
                         loop_settings, rect_setting, run_cases, wait_for)

_counter = itertools.count(1)


def code(last):
    """An 18-digit payment code; the sandbox acts on its last digit (0 paid, 5 pending then
    paid, 7 refused). The middle digits make each order number new."""
    return "284%05d%05d1234%s" % (os.getpid() % 100000, next(_counter), last)


class Sale:
    """One case's running system, logged in, the main window hidden."""

    def __init__(self, h, source="display", auto_return="2", sandbox_args=()):
        self.h = h
        h.start_desktop()
        h.start_sandbox(*sandbox_args)
        self.printer = h.start_printer()
        pos_display, tendrix_display = h.serial_pair("display")
        self.real_display, forward_end = h.serial_pair("realdisplay")
        self.log_path = os.path.join(h.dir, "pos-YYYY-MM-DD.log")
        today_log = self.log_path.replace("YYYY-MM-DD", time.strftime("%Y-%m-%d"))
        open(today_log, "a").close()
        self.standin = h.start_standin(display=pos_display if source == "display" else None,
                                       log=today_log if source == "log" else None)
        self.standin.send("entry 0.00")  # the previous sale's amount, to be replaced
        settings = loop_settings(self.standin.entry, self.printer.port, auto_return)
        ports = {}
        if source == "display":
            settings.update(display_settings())
            ports = {"COM5": tendrix_display, "COM6": forward_end}
        elif source == "log":
            settings.update({"sysIsLogFromMoney": "TRUE", "sysLogFileSet": self.log_path})
        elif source == "screen":
            settings["sysCutPicThemeMoney"] = rect_setting(*self.standin.label)
        h.prepare_program(settings, ports)
        h.start_program()
        h.login()
        self.hide_main_by_close()

    def hide_main_by_close(self):
        x, y, w, _ = self.h.geometry(wait_for(self.h.main_window, 10, "the main window shown"))
        self.h.click(x + w - 42, y + 26)  # ✕ of the title bar
        self.hidden("✕")

    def hidden(self, by):
        wait_for(lambda: not self.h.main_visible(), 10, "the main window hidden by " + by)

    def show_main_by_float(self):
        self.h.click_window("^MainFloatWindow$")
        wait_for(self.h.main_visible, 10, "the main window shown by the floating window")
        wait_for(lambda: self.h.active_window_name() == MAIN_TITLE, 5,
                 "the main window to take the focus")

    def amount_in_pay_page(self, amount, command=None, timeout=10):
        """Sends `command` AMOUNT to the stand-in (unless None) and waits for the amount in
        the pay page."""
        if command:
            self.standin.send("%s %s" % (command, amount))
        return wait_for(lambda: ("amount %s into moneyinput" % amount) in self.h.diag_log(),
                        timeout, "%s in moneyinput (diagnostic log)" % amount)

    def scan(self, payment_code):
        """Shows the main window and scans: barcodeinput has the keyboard, the scanner types
        the code and its carriage return. Returns the stand-in's mark from before the scan."""
        self.show_main_by_float()
        mark = self.standin.mark()
        self.h.type(payment_code + "\r", delay_ms=4)
        return mark

    def popup_shown(self, timeout=30):
        return wait_for(lambda: self.h.window_visible("^MainPopupWindow$"), timeout,
                        "the payment popup")

    def receipt_order_number(self, timeout=15):
        def order():
            m = re.search(r"订单号：\s*([0-9A-Za-z]{10,})", self.printer.text())
            return m.group(1) if m else None

        return wait_for(order, timeout, "a receipt with an order number at the printer")

    def nothing_typed(self, mark, what):
        if self.standin.since(mark, "changed", "enter"):
            raise Failure("keys reached the POS %s" % what)

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

    def pay_and_check(self, amount, payment_code, hide=None):
        """Amount already captured: scan, paid, receipt, typed back into the POS."""
        mark = self.scan(payment_code)
        self.popup_shown()
        if self.standin.since(mark, "changed"):
            raise Failure("the POS entry changed before the payment result")
        order_no = self.receipt_order_number()
        if amount not in self.printer.text():
            raise Failure("the receipt does not hold %s" % amount)
        if hide:
            hide()
        self.paid_amount_typed(amount, mark)
        return order_no


# ---- cases ----

def case_display_sale(h):
    sale = Sale(h, "display")
    mark = sale.standin.mark()
    sale.standin.send("total 36.50")
    sale.standin.wait_event(lambda e: e["event"] == "sent", 5, "the display stream", start=mark)
    sale.amount_in_pay_page("36.50")
    # The display's bytes were passed on unchanged.
    with open(os.open(sale.real_display, os.O_RDONLY | os.O_NOCTTY), "rb", 0) as port:
        got = b""
        while len(got) < 9 and select.select([port], [], [], 5)[0]:
            got += port.read(64)
    if got != b"\x1bQA36.50\r":
        raise Failure("the real display got %r" % got)
    order_no = sale.pay_and_check("36.50", code("0"))
    if os.access(os.path.join(h.bin_dir, "tendrix-cli"), os.X_OK):
        _, state = h.cli("query", "--order", order_no)
        if "已付款" not in state:
            raise Failure("the receipt's order %s is not paid at the platform: %s"
                          % (order_no, state))
    if h.main_visible():
        raise Failure("the main window is still shown after the automatic return")


def case_log_sale(h):
    sale = Sale(h, "log")
    time.sleep(0.5)  # the follower has reached the end of the file
    sale.amount_in_pay_page("52.80", "log")
    sale.pay_and_check("52.80", code("1"))


def case_screen_sale(h):
    if not os.path.exists(os.path.join(h.bin_dir, "libTesseractDLL.so")):
        raise Skip("libTesseractDLL.so is not built")
    sale = Sale(h, "screen")
    sale.amount_in_pay_page("27.40", "label", timeout=15)
    sale.pay_and_check("27.40", code("2"))


def case_refused_types_nothing(h):
    sale = Sale(h, "display")
    sale.amount_in_pay_page("18.00", "total")
    mark = sale.scan(code("7"))
    # The refusal is shown in a message box; the cashier acknowledges it and hides the window.
    wait_for(lambda: h.windows("^DuiMessageBox$"), 20, "the refusal message")
    # Opened over the top-most main window, the box is above it and has the focus.
    wait_for(lambda: h.active_window_name() == "DuiMessageBox", 5,
             "the message box to take the focus")
    h.close_message_boxes()
    if h.main_visible():
        sale.hide_main_by_close()
    time.sleep(3)
    sale.nothing_typed(mark, "after a refused payment")
    if "printmoney" in h.diag_log():
        raise Failure("an after-payment run started for a refused payment")


def case_pending_then_paid(h):
    sale = Sale(h, "display")
    sale.amount_in_pay_page("9.90", "total")
    mark = sale.scan(code("5"))
    sale.popup_shown(timeout=40)
    popup_time = time.time()
    sale.nothing_typed(mark, "before the result")
    if sale.paid_amount_typed("9.90", mark)["t"] < popup_time:
        raise Failure("Enter came before the paid result")


def case_hide_ways(h):
    """Each way of hiding the main window after a payment leads to one run: ✕, the floating
    window and the show/hide hotkey, each while the automatic return is still armed."""
    sale = Sale(h, "display", auto_return="30")
    ways = [("close", "11.10", sale.hide_main_by_close),
            ("float", "12.20", lambda: (h.click_window("^MainFloatWindow$"), sale.hidden("float"))),
            ("hotkey", "13.30", lambda: (h.key("F9"), sale.hidden("the hotkey")))]
    for way, amount, hide in ways:
        sale.standin.send("entry 0.00")
        sale.amount_in_pay_page(amount, "total")
        try:
            sale.pay_and_check(amount, code("3"), hide=hide)
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
    wait_for(lambda: h.active_window_name() == MAIN_TITLE, 10,
             "the main window to take the focus")
    h.key("alt+r")
    wait_for(lambda: "main window key 3 acted" in h.diag_log(), 10,
             "Alt+R acting as the refund/cancel key (diagnostic log)")


CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}
TOOLS = ("Xvfb", "openbox", "xdotool", "socat", "import")

if __name__ == "__main__":
    sys.exit(run_cases(CASES, sys.argv, TOOLS))
