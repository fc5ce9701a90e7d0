"""The checkout against a platform that takes a payment and holds its answer: the window
stays alive while it waits (a side-menu click switches the page), and a till killed in the
middle finds the order by itself after the restart.

    test_checkout_recovery.py BIN_DIR STORE_TOOL CASE      (exit 77: cannot run here, says why)
"""
import os
import signal
import sqlite3
import subprocess
import sys
import time
from contextlib import closing

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tendrix_e2e import Failure, run_cases, wait_for  # noqa: E402
import test_sale_loop as loop  # noqa: E402

HOLD_MS = "600000"  # the creation answer comes after the case has ended


def records(h):
    """(outOrderId, confirmed) of the program's unresolved orders (none before the file and
    its table exist)."""
    path = os.path.join(h.prog_dir, "data", "unresolvedorders.db")
    try:
        with closing(sqlite3.connect("file:%s?mode=ro" % path, uri=True, timeout=5)) as con:
            return con.execute("SELECT outOrderId, confirmed FROM tblUnresolvedOrders").fetchall()
    except sqlite3.OperationalError:
        return []


def held_sale(h, amount):
    """A sale whose creation the platform has taken and whose answer it holds back."""
    sale = loop.Sale(h, "display", auto_return="0", sandbox_args=("--late-answer-ms", HOLD_MS))
    sale.amount_in_pay_page(amount, "total")
    sale.scan(loop.code("9"))  # 9: the sandbox makes the order, then holds its answer
    rec = wait_for(lambda: records(h), 10, "the order written down before it was sent")
    if rec[0][1] != 0:
        raise Failure("the creation was answered although the platform holds it: %r" % rec)
    out = rec[0][0]

    def made():
        rc, text = h.cli("query", "--out-order", out)
        return rc == 0 and "订单不存在" not in text

    wait_for(made, 10, "the order %s at the platform" % out, interval=0.3)
    return sale, out


def window_shot(h, wid, label):
    path = os.path.join(h.dir, "%s.png" % label)
    h.run(["import", "-silent", "-window", str(wid), path])
    return path


def differing_pixels(h, a, b):
    p = subprocess.run(["compare", "-metric", "AE", a, b, "null:"], env=h.env,
                       capture_output=True, text=True, timeout=20)
    return int(float(p.stderr.split()[0]))


def case_menu_click_while_platform_holds(h):
    held_sale(h, "21.00")
    wid = wait_for(h.main_window, 5, "the main window")
    x, y, _, _ = h.geometry(wid)
    time.sleep(0.5)
    before = window_shot(h, wid, "before")
    # Two pictures without input are alike: only the click can change the page.
    if differing_pixels(h, before, window_shot(h, wid, "still")) > 50:
        raise Failure("the main window changes on its own while waiting")
    # 订单查询, the last entry shown in the side menu (the options switched off take no room).
    h.click(x + ORDER_INQUIRY_OPTION[0], y + ORDER_INQUIRY_OPTION[1])
    wait_for(lambda: differing_pixels(h, before, window_shot(h, wid, "after")) > 2000, 5,
             "the page to change after the side-menu click", interval=0.2)
    if records(h)[0][1] != 0:
        raise Failure("the platform answered before the click was handled")


def case_kill9_restart_resolves(h):
    sale, out = held_sale(h, "20.00")
    mark = sale.standin.mark()
    os.killpg(h.program.pid, signal.SIGKILL)
    h.program.wait(10)
    if not any(r[0] == out for r in records(h)):
        raise Failure("the record of the order in flight did not survive the kill")

    # Restarted: after the login nothing more is done by the cashier.
    h.start_program()
    h.login()
    sale.popup_shown(timeout=30)
    wait_for(lambda: not records(h), 20, "the order's record removed once found paid")
    wait_for(lambda: "20.00" in sale.printer.text(), 15, "the found order's receipt")
    if "found paid by the background check" not in h.diag_log():
        raise Failure("the diagnostic log does not say the order was found in the background")
    time.sleep(1.5)
    sale.nothing_typed(mark, "for an order found after a restart")


# The side menu's 订单查询 from the main window's top-left corner (扫码收款, 退款/撤销 and
# 订单查询 are shown with the default settings).
ORDER_INQUIRY_OPTION = (62, 190)

CASES = {name[5:]: fn for name, fn in globals().items() if name.startswith("case_")}

if __name__ == "__main__":
    sys.exit(run_cases(CASES, sys.argv, loop.TOOLS))
