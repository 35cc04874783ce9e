#!/usr/bin/python3
"""The console as a screen reader sees it, over the AT-SPI bus (python3-pyatspi).

    accessible_tree.py walk      fails on any object a person acts on that has no name
    accessible_tree.py connect DEVICE
                                 chooses the device in the Device popup, presses Connect when it
                                 is offered, and reads the firmware version row, by accessible
                                 actions alone; prints the version. Fails unless the status
                                 "Vehicle connnected" was announced (an accessible-name change,
                                 which a screen reader hears)
    accessible_tree.py maneuvers SUITE
                                 runs the suite by accessible actions alone (Test > Run Maneuvers...,
                                 the file dialog, Run), then walks the tree as `walk` does while it
                                 runs; fails also when the maneuver panel offers no Abort

The console must be running on the same session bus (tests/a11y/check.sh starts it)."""

import sys
import time

import pyatspi
from gi.repository import GLib

# Objects a person acts on: they must have a name.
ACTIONABLE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_DIAL,
    pyatspi.ROLE_MENU, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE,
    pyatspi.ROLE_SCROLL_BAR,
}


def application(seconds=30):
    deadline = time.time() + seconds
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "orvane-console":
                return app
        time.sleep(0.2)
    sys.exit("accessible_tree: orvane-console is not on the accessibility bus")


def nodes(node, depth=0):
    """Every object under `node` (the rows of tables and trees included), depth first."""
    yield node
    if depth > 60:
        return
    try:
        children = list(node)
    except Exception:
        return
    for child in children:
        if child is not None:
            yield from nodes(child, depth + 1)


def describe(node):
    parent = node.parent
    return f"{node.getRoleName()} (in {parent.getRoleName()} '{parent.name}')" if parent else node.getRoleName()


def wait_for(find, what, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    sys.exit(f"accessible_tree: {what} did not appear within {seconds} s")


def first(app, predicate):
    for node in nodes(app):
        try:
            if predicate(node):
                return node
        except Exception:
            continue
    return None


def act(node, action):
    actions = node.queryAction()
    names = [actions.getName(index) for index in range(actions.nActions)]
    for index, name in enumerate(names):
        if name.lower() == action.lower():
            return actions.doAction(index)
    sys.exit(f"accessible_tree: {describe(node)} '{node.name}' offers no {action} action, only {names}")


class Heard:
    """The names of the objects that send AT-SPI events of `kind` from now on, as a screen reader
    hears them ("object:property-change:accessible-name": a label's new text)."""

    def __init__(self, kind):
        self.names = []
        pyatspi.Registry.registerEventListener(self._heard, kind)

    def _heard(self, event):
        try:
            self.names.append(event.source.name)
        except Exception:
            pass

    def wait_for(self, name, seconds=10):
        """Delivers the events received (they wait on the bus until then) until one named `name`."""
        context = GLib.MainContext.default()
        deadline = time.time() + seconds
        while time.time() < deadline:
            while context.pending():
                context.iteration(False)
            if name in self.names:
                return True
            time.sleep(0.05)
        return False


def walk(app):
    unnamed = []
    for node in nodes(app):
        try:
            if node.getRole() in ACTIONABLE and not node.name.strip():
                unnamed.append(describe(node))
        except Exception:
            continue
    for line in unnamed:
        print(f"unnamed: {line}")
    return 1 if unnamed else 0


def connect(app, device):
    # Registered first: the console sends only the events someone listens for.
    announced = Heard("object:property-change:accessible-name")
    # The Device popup: the combo box that lists the device; its list item is chosen.
    item = wait_for(lambda: first(app, lambda n: n.getRole() == pyatspi.ROLE_LIST_ITEM and n.name.endswith(device)),
                    f"the Device popup's entry for {device}")
    act(item, "Toggle")
    # Choosing a device connects it; Connect is pressed when that has not happened within 3 s.
    connected = lambda: first(app, lambda n: n.name == "Vehicle connnected")
    deadline = time.time() + 3
    while time.time() < deadline and connected() is None:
        time.sleep(0.2)
    if connected() is None:
        act(wait_for(lambda: first(app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "Connect"),
                     "the Connect button"), "Press")
    wait_for(lambda: first(app, lambda n: n.name == "Vehicle connnected"), '"Vehicle connnected"')
    if not announced.wait_for("Vehicle connnected"):
        sys.exit(f'accessible_tree: "Vehicle connnected" was shown but not announced; heard (the last 20) {announced.names[-20:]}')
    # The inspector's firmware version row: the cell after the one named "Firmware Version" (the
    # inspector is a table whose cells are siblings).
    def version():
        label = first(app, lambda n: n.name == "Firmware Version")
        if label is None:
            return None
        row = [cell.name for cell in label.parent] if label.parent else []
        after = row[row.index("Firmware Version") + 1:] if "Firmware Version" in row else []
        # The cell reads "VERSION, Check for Update": the version and the row's action button.
        return after[0].split(", ")[0] if after and after[0].strip() else None
    print(wait_for(version, "the firmware version row"))
    return 0


def press(node):
    """Presses `node`; one that opens a modal dialog answers only when the dialog closes, so the
    call's timeout is no failure."""
    try:
        act(node, "Press")
    except Exception:
        pass


def maneuvers(app, suite):
    item = wait_for(lambda: first(app, lambda n: n.getRole() == pyatspi.ROLE_MENU_ITEM and
                                  n.name.replace("&", "") == "Run Maneuvers…" and
                                  n.getState().contains(pyatspi.STATE_ENABLED)),
                    "an enabled Test > Run Maneuvers… menu item")
    press(item)
    # The file dialog: the file's path typed into its file name field, then Open.
    dialog = wait_for(lambda: first(app, lambda n: n.getRole() == pyatspi.ROLE_DIALOG and n.name == "Run Maneuvers"),
                      "the Run Maneuvers file dialog")
    field = wait_for(lambda: first(dialog, lambda n: n.getRole() == pyatspi.ROLE_TEXT and
                                   n.getState().contains(pyatspi.STATE_EDITABLE) and
                                   n.name.replace("&", "").startswith("File name")),
                     "the file dialog's file name field")
    field.queryEditableText().setTextContents(suite)
    press(wait_for(lambda: first(dialog, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and
                                 n.name.replace("&", "") == "Open"), "the file dialog's Open button"))
    # The suite is read, shown and confirmed.
    press(wait_for(lambda: first(app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "Run"),
                   "the confirmation's Run button"))
    wait_for(lambda: first(app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "Abort" and
                           n.getState().contains(pyatspi.STATE_ENABLED) and
                           n.getState().contains(pyatspi.STATE_SHOWING)),
             "the running suite's Abort button")
    return walk(app)


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else "walk"
    app = application()
    if command == "walk":
        sys.exit(walk(app))
    if command == "connect" and len(sys.argv) == 3:
        sys.exit(connect(app, sys.argv[2]))
    if command == "maneuvers" and len(sys.argv) == 3:
        sys.exit(maneuvers(app, sys.argv[2]))
    sys.exit("usage: accessible_tree.py walk | connect DEVICE | maneuvers SUITE")
