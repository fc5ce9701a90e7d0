# A small GTK 3 window for the accessibility-bus tests: a title with digits, a label with a
# total and an entry with an amount, at (X, Y) from the command line. Once shown it prints
# each control's centre in screen coordinates ("label X Y", "entry X Y"), then "ready".
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

x, y = (int(sys.argv[1]), int(sys.argv[2])) if len(sys.argv) > 2 else (100, 100)
window = Gtk.Window(title="收银 V2.3 店号 0017")
window.move(x, y)
window.set_default_size(320, 160)
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=20)
label = Gtk.Label(label="合计 36.50")
entry = Gtk.Entry()
entry.set_text("128.80")
box.pack_start(label, False, False, 0)
box.pack_start(entry, False, False, 0)
window.add(box)
window.connect("destroy", Gtk.main_quit)


def report():
    for name, widget in (("label", label), ("entry", entry)):
        a = widget.get_allocation()
        _, ox, oy = widget.get_window().get_origin()
        print(name, ox + a.x + a.width // 2, oy + a.y + a.height // 2)
    print("ready", flush=True)
    return False


window.show_all()
GLib.timeout_add(300, report)
Gtk.main()
