#!/usr/bin/python3
# Drives the preview window over the accessibility bus as a user would: opens it from the
# Converter menu, closes it, opens it again with F6, chooses a page, switches the view and the
# zoom, and saves a picture of the screen at each step.
#   preview_drive.py OUTDIR
# Needs DISPLAY, a session bus with the accessibility bus, and a running Tessaline window.
import subprocess
import sys
import time

import pyatspi

out = sys.argv[1]


def app():
    for _ in range(100):
        for candidate in pyatspi.Registry.getDesktop(0):
            if candidate is not None and candidate.name.lower().startswith("tessaline"):
                return candidate
        time.sleep(0.2)
    sys.exit("the program is not on the accessibility bus")


def find(root, roles, name, tries=50):
    roles = roles.split("|")
    for _ in range(tries):
        found = pyatspi.findDescendant(root, lambda a: a.getRoleName() in roles and a.name == name)
        if found is not None:
            return found
        time.sleep(0.2)
    seen = pyatspi.findAllDescendants(root, lambda a: True)
    sys.exit(f"no {roles} named {name!r}; there are: " +
             ", ".join(f"{a.getRoleName()} {a.name!r}" for a in seen))


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def preview_frame(program):
    for _ in range(100):
        for window in program:
            if window.name == "Preview" and showing(window):
                return window
        time.sleep(0.2)
    sys.exit("the preview window did not open")


def shot(name):
    time.sleep(1.5)
    subprocess.run(["import", "-window", "root", f"{out}/{name}.png"], check=True)
    print(f"{out}/{name}.png")


def wait_for_details(window):
    # The details line names the output once the preview is worked out.
    for _ in range(300):
        labels = pyatspi.findAllDescendants(window, lambda a: a.getRoleName() == "label")
        if any(label.name.startswith("Output name:") for label in labels):
            return
        time.sleep(0.2)
    sys.exit("the preview was not worked out")


def click_centre(accessible):
    box = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(box.x + box.width // 2), str(box.y + box.height // 2),
                    "click", "1"], check=True)


program = app()
pyatspi.setTimeout(800, 800)

# From the menu.
main = find(program, "frame", program[0].name)
find(main, "menu item", "Preview...").queryAction().doAction(0)
window = preview_frame(program)
wait_for_details(window)
shot("preview-menu")

# Closed, then opened again with F6 in the main window.
preview_id = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Preview$"],
                            capture_output=True, text=True).stdout.split()[0]
subprocess.run(["xdotool", "windowactivate", "--sync", preview_id, "key", "Escape"], check=True)
time.sleep(1)
if showing(window):
    sys.exit("Escape did not close the preview window")
main_id = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tessaline"],
                         capture_output=True, text=True).stdout.split()[0]
subprocess.run(["xdotool", "windowactivate", "--sync", main_id, "key", "F6"], check=True)
window = preview_frame(program)
wait_for_details(window)

# The second page of the file.
page = find(window, "spin button", "Page")
page.queryValue().currentValue = 2
time.sleep(0.5)
wait_for_details(window)
shot("preview-page-2")

# 100 %, then the split view, then back to fit.
find(window, "push button|toggle button|check box", "100 %").queryAction().doAction(0)
shot("preview-100")
view = pyatspi.findDescendant(window, lambda a: a.getRoleName() == "combo box")
click_centre(view)
time.sleep(0.5)
split = find(program, "list item", "Split (drag the line)")
click_centre(split)
find(window, "push button|toggle button|check box", "Fit to Window").queryAction().doAction(0)
shot("preview-split")
print("drive complete")
