# The real window as a screen reader meets it, through AT-SPI: every control of the layout table with
# its role, its name (a field or list by its label), its tooltip as description, inside its group box;
# the focus shown at the start; Get run from the keyboard alone. Needs a session bus and a display.
# Usage: window_tree.py BUILD_DIR LAYOUT_TABLE
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

build, layout = sys.argv[1], sys.argv[2]
failures = []


def check(what, expected, actual):
    if expected != actual:
        failures.append(f"{what}: expected {expected!r}, got {actual!r}")


def walk(node):
    yield node
    for child in filter(None, node):
        yield from walk(child)


def wait_for(condition, seconds=15):
    end = time.time() + seconds
    while not (found := condition()) and time.time() < end:
        time.sleep(0.2)
    return found


def labelled_by(node):
    return [r.getTarget(0).name for r in node.getRelationSet()
            if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]


# The table's lines: id, kind, x, y, width, height, text, tooltip; the labels have no id.
rows = [(line.rstrip("\n").split("\t") + ["", ""])[:8] for line in open(layout, encoding="utf-8")
        if not line.startswith(("#", "window"))]
labels = [(text, int(y)) for ident, kind, _, y, _, _, text, _ in rows if kind == "label" and ident == "-"]

ports = tempfile.mkdtemp()
environment = dict(os.environ, MSRCONFIG_PORT_DIR=ports, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
environment.pop("QT_QPA_PLATFORM", None)
sim = subprocess.Popen([f"{build}/msr-sim", "--port-dir", ports, "--quiet"])
time.sleep(0.5)
program = subprocess.Popen([f"{build}/msrconfig"], env=environment)
try:
    app = wait_for(lambda: next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "msrconfig"), None))
    assert app, "msrconfig does not show on the accessibility bus"
    window = wait_for(lambda: next((n for n in walk(app) if n.getRoleName() == "dialog"), None))
    nodes = list(walk(window))
    check("the window's name", "ZYN KVR MSR Configuration Utility", window.name)

    roles = {"check": "check box", "button": "push button", "edit": "text",
             "list": "combo box", "sorted-list": "combo box", "label": "label"}
    for ident, kind, _, y, _, _, text, tip in (row for row in rows if row[0] != "-"):
        # A field, list or value is named by the label on its row, as a person reads it.
        beside = [t for t, ly in labels if abs(ly - int(y)) <= 2] + [""]
        name = text if kind in ("check", "button") else beside[0].rstrip(" :")
        matches = [n for n in nodes if n.getRoleName() == roles[kind] and
                   (beside[0] in labelled_by(n) if kind == "label" else n.name == name)]
        check(f"{ident} ({kind} {name!r}) found", 1, len(matches))
        for node in matches[:1]:
            if ident != "1019":  # the port list describes its entry, below
                check(f"{ident}: description", tip.replace("\\n", "\n"), node.description)
            if kind in ("edit", "list", "sorted-list"):
                check(f"{ident}: labelled by {beside[0]!r}", True, beside[0] in labelled_by(node))
            check(f"{ident}: inside a group box", True, any(
                g.getRoleName() == "panel" and node in list(walk(g))[1:] for g in nodes))
    # The entries of the port list tell where they lead.
    port_list = next(n for n in nodes if n.getRoleName() == "combo box" and n.name == "COM Port")
    check("COM Port's entry: description", True, " leads to " in port_list.description)

    first = next(n for n in nodes if n.name == "Raw Data Mode(AAMVA Mode)")
    check("the focus at the start", True,
          bool(wait_for(lambda: first.getState().contains(pyatspi.STATE_FOCUSED), 5)))
    # Get from the keyboard: eight Tabs from the first check box, then Space.
    subprocess.run(["xdotool", "key", "--delay", "60"] + ["Tab"] * 8 + ["space"], check=True)
    check("Get from the keyboard: the firmware shown", True,
          bool(wait_for(lambda: [n for n in walk(window) if n.name == "SIM 1.00"], 10)))
    checked = [n.name for n in walk(window)
               if n.getRoleName() == "check box" and n.getState().contains(pyatspi.STATE_CHECKED)]
    check("Get from the keyboard: the options shown", ["Carriage Return Enabled", "Track 1 Enabled",
          "Track 2 Enabled", "Track 3 Enabled", "Use Custom Config"], checked)
finally:
    for process in (program, sim):
        process.terminate()
        process.wait(10)

for failure in failures:
    print("FAIL", failure)
print(f"{len(failures)} failed")
sys.exit(1 if failures else 0)
