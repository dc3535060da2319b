# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints the running window as a screen reader meets it over AT-SPI.

Run by tools/accessibility-tree.sh, which starts the program on a virtual
display with an accessibility bus; see there. Prints three parts:

  tree      every accessible object under the program: role, name,
            description, the states that matter and the relations
  Tab walk  what a screen reader announces as Tab moves the focus
  banner    how many name changes the scrolling banner announces while
            the window sits idle
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

APP = "kelvane-encryptor"
STATES = [
    ("focusable", pyatspi.STATE_FOCUSABLE),
    ("focused", pyatspi.STATE_FOCUSED),
    ("editable", pyatspi.STATE_EDITABLE),
    ("multi-line", pyatspi.STATE_MULTI_LINE),
]
RELATIONS = {
    pyatspi.RELATION_LABELLED_BY: "labelled by",
    pyatspi.RELATION_LABEL_FOR: "label for",
}


def find_app(timeout=10.0):
    """Returns the program's application object once it is on the bus."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == APP and app.childCount > 0:
                return app
        time.sleep(0.2)
    sys.exit(f"error: {APP} did not appear on the accessibility bus")


def describe(obj):
    """Returns one line: role, name, description, states and relations."""
    line = f"[{obj.getRoleName()}] {obj.name!r}"
    # An application's description is the path of its executable.
    if obj.description and obj.getRole() != pyatspi.ROLE_APPLICATION:
        line += f" - {obj.description}"
    states = obj.getState()
    marks = [name for name, state in STATES if states.contains(state)]
    # Screen readers pass over what is not on the screen, such as the closed
    # drop-down list.
    if not states.contains(pyatspi.STATE_SHOWING):
        marks.append("not showing")
    if marks:
        line += f" ({', '.join(marks)})"
    for relation in obj.getRelationSet():
        kind = RELATIONS.get(relation.getRelationType())
        if kind:
            targets = [relation.getTarget(i) for i in range(relation.getNTargets())]
            names = ", ".join(repr(t.name) for t in targets)
            line += f" <{kind} {names}>"
    return line


def print_tree(obj, depth=0):
    print("  " * depth + describe(obj))
    for child in obj:
        if child is not None:
            print_tree(child, depth + 1)


def focused(obj):
    """Returns the focused object under obj, or None."""
    if obj.getState().contains(pyatspi.STATE_FOCUSED):
        return obj
    for child in obj:
        if child is not None:
            found = focused(child)
            if found is not None:
                return found
    return None


def announce(obj):
    """Returns what a screen reader says when obj gets the focus."""
    if obj is None:
        return "(nothing focused)"
    words = [obj.name or "(no name)", obj.getRoleName()]
    labels = [r for r in obj.getRelationSet()
              if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
    if not obj.name and labels:
        words[0] = labels[0].getTarget(0).name
    if obj.description:
        words.append(obj.description)
    return ", ".join(words)


def tab_walk(app, window_id, steps):
    print(f"at start: {announce(focused(app))}")
    for _ in range(steps):
        subprocess.run(["xdotool", "key", "--window", window_id, "Tab"], check=True)
        time.sleep(0.3)
        print(f"Tab: {announce(focused(app))}")


def count_name_changes(app, seconds):
    """Returns how many name changes the program announces in `seconds`."""
    changes = []

    def on_event(event):
        if event.host_application is not None and event.host_application.name == APP:
            changes.append(event.source.name)

    pyatspi.Registry.registerEventListener(on_event, "object:property-change:accessible-name")
    GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(on_event, "object:property-change:accessible-name")
    return changes


def main():
    window_id = sys.argv[1]
    app = find_app()
    window = app[0]
    print("== tree ==")
    print_tree(app)
    print()
    print("== Tab walk ==")
    tab_walk(window, window_id, 6)
    print()
    print("== banner ==")
    changes = count_name_changes(app, 3.0)
    print(f"name changes announced in 3 s while the banner scrolls: {len(changes)}")
    labels = [o.name for o in window if o is not None and o.getRole() == pyatspi.ROLE_LABEL]
    print(f"label names after those 3 s: {', '.join(repr(n) for n in labels)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
