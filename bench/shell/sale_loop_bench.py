#!/usr/bin/python3
"""Times of the sale loop on a real X display (Xvfb + openbox), measured on the real tendrix
with the end-to-end harness (tests/e2e/tendrix_e2e.py):

  display CR -> moneyinput   from the customer-display stream's carriage return written into
                             the serial pair to the diagnostic log's "amount ... into
                             moneyinput" line (the log is polled every 2 ms)
  paid shown -> typed        from the payment popup becoming visible (polled with xdotool)
                             to Enter in the POS stand-in's entry with the paid amount;
                             also from the popup hiding to that Enter

    sale_loop_bench.py BIN_DIR [RUNS=20]     (use a Release build's bin/)
"""
import os
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from tendrix_e2e import Harness, display_settings, loop_settings, wait_for  # noqa: E402


def summary(name, values_ms):
    v = sorted(values_ms)
    print("%-28s median %8.1f ms  min %8.1f  max %8.1f  (n=%d)"
          % (name, statistics.median(v), v[0], v[-1], len(v)))


def main():
    bin_dir = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    with Harness(bin_dir, None, "bench") as h:
        h.start_desktop()
        h.start_sandbox()
        printer = h.start_printer()
        pos_end, tendrix_end = h.serial_pair("display")
        standin = h.start_standin()
        settings = loop_settings(standin.entry, printer.port)
        settings.update(display_settings(forward=False))
        h.prepare_program(settings, {"COM5": tendrix_end})
        h.start_program()
        h.login()
        wid = h.main_window()
        x, y, w, _ = h.geometry(wid)
        h.click(x + w - 42, y + 26)
        wait_for(lambda: not h.main_visible(), 10, "hidden")
        display = os.open(pos_end, os.O_WRONLY | os.O_NOCTTY)
        log_dir = os.path.join(h.prog_dir, "log")
        to_field, to_typed, hidden_to_typed = [], [], []
        for i in range(runs):
            amount = "%d.%02d" % (10 + i, i)
            needle = ("amount %s into moneyinput" % amount).encode()
            log_path = os.path.join(log_dir, "tendrix-%s.log" % time.strftime("%Y-%m-%d"))
            standin.send("entry 0.00")
            t0 = time.monotonic()
            os.write(display, b"\x1bQA" + amount.encode() + b"\r")
            while True:
                with open(log_path, "rb") as f:
                    if needle in f.read():
                        break
                if time.monotonic() - t0 > 10:
                    raise SystemExit("amount %s never reached moneyinput" % amount)
                time.sleep(0.002)
            to_field.append((time.monotonic() - t0) * 1000)
            h.click_window("^MainFloatWindow$")
            wait_for(h.main_visible, 10, "shown")
            wait_for(lambda: h.active_window_name() == "Tendrix 收银助手", 5, "focus")
            mark = standin.mark()
            h.type("284%010d12340\r" % (os.getpid() * 100 + i), delay_ms=4)
            wait_for(lambda: h.window_visible("^MainPopupWindow$"), 30, "popup", interval=0.005)
            shown = time.time()
            wait_for(lambda: not h.window_visible("^MainPopupWindow$"), 30, "popup gone",
                     interval=0.005)
            gone = time.time()
            ev = standin.wait_event(lambda e: e["event"] == "enter", 30, "Enter", start=mark)
            if ev["text"] != amount:
                raise SystemExit("typed %r, expected %s" % (ev["text"], amount))
            to_typed.append((ev["t"] - shown) * 1000)
            hidden_to_typed.append((ev["t"] - gone) * 1000)
            wait_for(lambda: not h.main_visible(), 10, "hidden after the sale")
        os.close(display)
        print("sale loop, %d runs, %s" % (runs, bin_dir))
        summary("display CR -> moneyinput", to_field)
        summary("paid shown -> typed", to_typed)
        summary("popup gone -> typed", hidden_to_typed)


if __name__ == "__main__":
    main()
