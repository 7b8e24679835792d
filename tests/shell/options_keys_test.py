#!/usr/bin/env python3
"""The class options dialog under a real X server with a window manager (openbox) and
real key presses (xdotool): Escape cancels, a blank term name refused on a click on
another tab keeps its panel and tab in sight behind the alert, Tab walks the fields of
a panel, Return is OK. Opens a class, types into the dialog, saves with Ctrl+S and reads
the saved class back. Screenshots of the dialog go to the output folder. Without openbox or
xdotool the test is skipped with a message (exit code 77)."""

import argparse
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location("smoke", os.path.join(HERE, "smoke_test.py"))
smoke = importlib.util.module_from_spec(spec)
spec.loader.exec_module(smoke)

SKIP = 77


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True, timeout=20)


def find(display, text):
    for w in display.windows():
        if text in display.name(w):
            return w
    return None


def shown(name):
    """True while a mapped window has the name (dialogs are hidden, not destroyed)."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                           capture_output=True, text=True, timeout=20)
    return bool(found.stdout.strip())


def shot(display, path):
    width, height, rows = display.screenshot()
    smoke.write_png(path, width, height, rows)


def keys(*names):
    for name in names:
        xdotool("key", "--clearmodifiers", name)
        time.sleep(0.15)


def type_text(text):
    xdotool("type", "--delay", "40", text)
    time.sleep(0.2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--document-maker", required=True)
    parser.add_argument("--reader", required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()
    for tool in ("openbox", "xdotool"):
        if not shutil.which(tool):
            print(f"options keys: {tool} is not installed; skipped")
            return SKIP
    os.makedirs(args.out, exist_ok=True)
    work = tempfile.mkdtemp(prefix="marktally-options-")
    document = os.path.join(work, "Keys Class.mtb")
    subprocess.run([args.document_maker, document], check=True)
    before = subprocess.run([args.reader, document], check=True, capture_output=True,
                            text=True).stdout.split("\n")

    env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=os.path.join(work, "config"))
    wm_log = open(os.path.join(args.out, "openbox.log"), "w")
    wm = subprocess.Popen(["openbox", "--sm-disable"], env=env, stdout=wm_log, stderr=wm_log)
    log = open(os.path.join(args.out, "marktally.log"), "w")
    time.sleep(1.0)
    program = subprocess.Popen([args.program, document], env=env, stdout=log, stderr=log)
    display = smoke.Display()
    try:
        window = smoke.wait_for("the class window", 30, lambda: find(display, "Keys Class"))
        time.sleep(1.5)
        xdotool("windowactivate", "--sync", str(window))
        time.sleep(0.5)

        # Escape cancels: a name typed into the first term is not kept.
        keys("ctrl+k")
        smoke.wait_for("the options dialog", 15, lambda: shown("Class Options"))
        time.sleep(0.8)
        type_text("Fall")
        shot(display, os.path.join(args.out, "options-typed.png"))
        keys("Escape")
        smoke.wait_for("the dialog to close", 15, lambda: not shown("Class Options"))

        # A blank term name refused on a click on the Categories tab: behind the alert
        # the panel stays in sight under its own tab. Return closes the alert, Escape
        # the dialog.
        keys("ctrl+k")
        smoke.wait_for("the options dialog", 15, lambda: shown("Class Options"))
        time.sleep(0.8)
        keys("BackSpace")
        dialog = find(display, "Class Options")
        dx, dy, _, _ = display.geometry(dialog)
        school_year, categories = (dx + 40, dy + 24), (dx + 160, dy + 24)
        xdotool("mousemove", str(categories[0]), str(categories[1]))
        time.sleep(0.2)
        xdotool("click", "1")
        smoke.wait_for("the alert", 15, lambda: shown("Marktally"))
        time.sleep(1.0)
        shot(display, os.path.join(args.out, "options-refused-tab.png"))
        _, _, rows = display.screenshot()

        def pixel(x, y):
            return tuple(rows[y][3 * x:3 * x + 3])

        if pixel(*school_year) != (255, 255, 255) or pixel(*categories) == (255, 255, 255):
            raise SystemExit("options keys: behind the alert the clicked tab is drawn selected "
                             "(see options-refused-tab.png)")
        keys("Return")
        smoke.wait_for("the alert to close", 15, lambda: not shown("Marktally"))
        time.sleep(0.5)
        keys("Escape")
        smoke.wait_for("the dialog to close", 15, lambda: not shown("Class Options"))

        # Tab walks from the first term's name over its two dates to the second term's
        # name; Return is OK.
        keys("ctrl+k")
        smoke.wait_for("the options dialog", 15, lambda: shown("Class Options"))
        time.sleep(0.8)
        keys("Tab", "Tab", "Tab")
        type_text("Winter")
        shot(display, os.path.join(args.out, "options-school-year.png"))
        keys("Return")
        smoke.wait_for("the dialog to close", 15, lambda: not shown("Class Options"))
        time.sleep(0.5)
        keys("ctrl+s")
        time.sleep(1.5)
        shot(display, os.path.join(args.out, "options-after.png"))
        display.close(window)  # closes the class
        smoke.wait_for("the class to close", 15,
                       lambda: "Keys Class" not in display.name(window) and display.name(window))
        display.close(window)  # quits
        program.wait(timeout=20)
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()
        wm.terminate()
        wm.wait(timeout=10)
        log.close()
        wm_log.close()

    after = subprocess.run([args.reader, document], check=True, capture_output=True,
                           text=True).stdout.split("\n")
    print("options keys: before", before[:3], "after", after[:3])
    failures = []
    if after[1] != before[1]:
        failures.append(f"Escape kept a change: the first term is {after[1]!r}")
    if after[2] != "Winter":
        failures.append(f"Tab and Return did not reach the second term's name: {after[2]!r}")
    if after[0] != before[0]:
        failures.append(f"the number of terms changed: {after[0]!r}")
    if failures:
        raise SystemExit("options keys: " + "; ".join(failures))
    print("options keys: screenshots in " + args.out)
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except subprocess.TimeoutExpired:
        sys.exit("options keys: a step did not finish in time")
