#!/usr/bin/python3
"""A POS program stand-in for the end-to-end tests: a GTK 3 window with the sale total in a
large label (for screen recognition), an amount entry (where Tendrix types the paid amount)
and a customer-display output.

Commands, one per line on stdin:
  total AMOUNT   show AMOUNT in the label, write ESC Q A AMOUNT CR to the display port and
                 append a sale line to the log file (each when configured)
  label AMOUNT   only the label
  log AMOUNT     only the log line
  entry TEXT     set the entry's text (e.g. the previous sale's amount)
Events, one JSON object per line on stdout (each with "t", time.time() when it happened):
  {"event": "ready", "entry": [x, y, w, h], "label": [x, y, w, h]}   screen rectangles
  {"event": "changed", "text": ...}   the entry's text changed
  {"event": "enter", "text": ...}     Enter was pressed in the entry
  {"event": "sent", "what": "display"|"log", "amount": ...}
"""
import argparse
import json
import os
import sys
import time

os.environ.setdefault("NO_AT_BRIDGE", "1")
import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def emit(**event):
    event["t"] = time.time()
    sys.stdout.write(json.dumps(event, ensure_ascii=False) + "\n")
    sys.stdout.flush()


class StandIn:
    def __init__(self, args):
        self.args = args
        self.pending = ""
        self.display = None
        if args.display:
            self.display = os.open(args.display, os.O_WRONLY | os.O_NOCTTY)
        self.window = Gtk.Window(title="POS stand-in")
        self.window.set_default_size(420, 240)
        self.window.move(40, 60)
        css = Gtk.CssProvider()
        css.load_from_data(b"""
            window { background: #ffffff; }
            #total { font-family: "DejaVu Sans"; font-size: 30px; color: #000000;
                     background: #ffffff; padding: 6px 18px; }
            #amount { font-family: "DejaVu Sans Mono"; font-size: 18px; }
        """)
        Gtk.StyleContext.add_provider_for_screen(
            Gdk.Screen.get_default(), css, Gtk.STYLE_PROVIDER_PRIORITY_APPLICATION)
        box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=24)
        box.set_border_width(24)
        self.label = Gtk.Label(label="0.00")
        self.label.set_name("total")
        self.label.set_halign(Gtk.Align.START)
        self.entry = Gtk.Entry()
        self.entry.set_name("amount")
        self.entry.connect("changed", lambda e: emit(event="changed", text=e.get_text()))
        self.entry.connect("activate", lambda e: emit(event="enter", text=e.get_text()))
        box.pack_start(self.label, False, False, 0)
        box.pack_start(self.entry, False, False, 0)
        if args.interactive:
            # For a person trying the demo: a total of their own, sent as a sale would be.
            row = Gtk.Box(spacing=8)
            self.total = Gtk.Entry(text="36.50", width_chars=10)
            send = Gtk.Button(label="Send total")
            send.connect("clicked", lambda *_: self.sale(self.total.get_text().strip()))
            self.total.connect("activate", lambda *_: self.sale(self.total.get_text().strip()))
            row.pack_start(Gtk.Label(label="Next total:"), False, False, 0)
            row.pack_start(self.total, False, False, 0)
            row.pack_start(send, False, False, 0)
            box.pack_start(row, False, False, 0)
        self.window.add(box)
        self.window.connect("destroy", Gtk.main_quit)
        self.window.connect("map-event", self.on_mapped)
        self.window.show_all()
        GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, self.on_stdin)

    def rect(self, widget):
        origin = self.window.get_window().get_origin()
        x, y = widget.translate_coordinates(self.window, 0, 0)
        a = widget.get_allocation()
        return [origin[1] + x, origin[2] + y, a.width, a.height]

    def on_mapped(self, *_):
        # The window manager places the frame after mapping: report once it has settled.
        GLib.timeout_add(300, self.report_ready)
        return False

    def report_ready(self):
        emit(event="ready", entry=self.rect(self.entry), label=self.rect(self.label))
        return False

    def send_log(self, amount):
        if self.args.log:
            with open(self.args.log, "a", encoding="utf-8") as f:
                f.write(time.strftime("%Y-%m-%d %H:%M:%S") + " sale 1024 total " + amount + "\n")
            emit(event="sent", what="log", amount=amount)

    def sale(self, amount):
        self.label.set_text(amount)
        if self.display is not None:
            os.write(self.display, b"\x1bQA" + amount.encode() + b"\r")
            emit(event="sent", what="display", amount=amount)
        self.send_log(amount)

    def on_stdin(self, fd, condition):
        # Raw reads: several commands may come in one chunk.
        data = os.read(fd, 65536)
        if not data:
            Gtk.main_quit()
            return False
        self.pending += data.decode()
        commands = {"total": self.sale, "label": self.label.set_text, "log": self.send_log,
                    "entry": self.entry.set_text}
        while "\n" in self.pending:
            line, self.pending = self.pending.split("\n", 1)
            cmd, _, arg = line.partition(" ")
            if cmd in commands:
                commands[cmd](arg)
        return True


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--display-port", dest="display", help="customer-display port (POS end of a serial pair)")
    p.add_argument("--log", help="sale log file to append to")
    p.add_argument("--interactive", action="store_true",
                   help="add a field and a button that send a total (for the demo)")
    StandIn(p.parse_args())
    Gtk.main()


if __name__ == "__main__":
    main()
