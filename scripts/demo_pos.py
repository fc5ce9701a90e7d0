#!/usr/bin/python3
"""The demo with a POS program beside Tendrix (scripts/demo.sh --with-pos).

Starts the sandbox platform, a loopback receipt printer (receipts go to receipts.txt and the
terminal), the POS stand-in window with a customer-display port, and Tendrix in a program
folder of its own, set up for the whole loop. Then plays one sale so that it can be watched:
the stand-in shows 36.50 on its display port, Tendrix takes it into the pay page, the sample
code pays it, the receipt prints and 36.50 is typed into the stand-in's entry. Afterwards
"Send total" in the stand-in starts the next sale; type or scan a code such as
134567890123456780 into Tendrix's code field. Ctrl+C ends everything.

    demo_pos.py BIN_DIR [--no-play]
"""
import os
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from tendrix_e2e import Failure, Harness, display_settings, loop_settings, wait_for  # noqa

SAMPLE_CODE = "134567890123456780"


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    bin_dir = sys.argv[1]
    play = "--no-play" not in sys.argv
    root = os.path.join(os.path.dirname(os.path.abspath(bin_dir)), "demo-pos-%d" % os.getpid())
    h = Harness(bin_dir, None, "demo", root=root)
    try:
        if os.environ.get("DISPLAY"):
            h.use_display(os.environ["DISPLAY"])
        else:
            print("No display: running on a virtual one (nothing is visible).")
            h.start_desktop()
        url = h.start_sandbox()
        printer = h.start_printer()
        pos_end, tendrix_end = h.serial_pair("display")
        standin = h.start_standin(display=pos_end, interactive=True)
        settings = loop_settings(standin.entry, printer.port)
        settings.update(display_settings(forward=False))
        h.prepare_program(settings, {"COM5": tendrix_end})
        h.start_program()
        print("sandbox %s; Tendrix folder %s" % (url, os.path.join(root, "tendrix")))
        print("Logging in as demo / demo ...")
        h.login()
        receipts = os.path.join(root, "receipts.txt")
        shown = 0
        if play:
            standin.send("entry 0.00")
            standin.send("total 36.50")
            print("The POS stand-in shows 36.50 and sends it to its customer display.")
            wait_for(lambda: "amount 36.50 into moneyinput" in h.diag_log(), 10,
                     "the amount in Tendrix's pay page")
            print("Tendrix took 36.50 into its pay page.")
            if not h.main_visible():
                print("Opening it from the floating window.")
                h.click_window("^MainFloatWindow$")
                wait_for(h.main_visible, 10, "the main window")
            h.xdo("windowactivate", "--sync", h.main_window(), check=False)
            time.sleep(0.5)
            print("Scanning the sample code %s ..." % SAMPLE_CODE)
            mark = standin.mark()
            h.type(SAMPLE_CODE + "\r", delay_ms=4)
            ev = standin.wait_event(lambda e: e["event"] == "enter", 30,
                                    "the paid amount in the POS entry", start=mark)
            print("Paid; Tendrix typed %s into the POS entry and pressed Enter." % ev["text"])
        print("Receipts: %s. Send another total from the stand-in; Ctrl+C ends the demo."
              % receipts)
        while h.program.poll() is None:
            text = printer.text()
            if len(text) > shown:
                with open(receipts, "w", encoding="utf-8") as f:
                    f.write(text)
                sys.stdout.write(text[shown:])
                sys.stdout.flush()
                shown = len(text)
            time.sleep(0.5)
    except KeyboardInterrupt:
        pass
    except Failure as e:
        print("demo: %s (logs in %s)" % (e, root))
        return 1
    finally:
        h.stop_all()
    return 0


if __name__ == "__main__":
    sys.exit(main())
