#!/usr/bin/python3
# The wizard as a screen reader sees it over the AT-SPI bus: its window, the two push buttons named
# by their labels with their press action, the hidden pages' controls not showing, and a walk from
# the introduction to "Готово" pressed through the bus alone. Questions are answered No by the
# program's logged boxes, so none is modal.
#   check-atspi.py <quenta-setup> ; run inside dbus-run-session and an X server, the environment
#   pointing at an installed client (tools/make-demo-sandbox.sh).
import os
import subprocess
import sys
import time

import pyatspi

program = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED: " + what, file=sys.stderr)


def wait_for(probe, what, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = probe()
        if value:
            return value
        time.sleep(0.1)
    raise SystemExit("timed out waiting for " + what)


def descendants(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        yield child
        # A tree's rows are many and say nothing about the window's structure.
        if child.getRole() not in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE):
            yield from descendants(child)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def buttons(window):
    return {b.name: b for b in descendants(window) if b.getRole() == pyatspi.ROLE_PUSH_BUTTON}


def press(button):
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("Press" in names, "the button %r has the press action (has %r)" % (button.name, names))
    action.doAction(names.index("Press"))


env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QUENTA_SETUP_AUTO_ANSWER="no")
wizard = subprocess.Popen([program], env=env, stderr=subprocess.PIPE, text=True)
try:
    desktop = pyatspi.Registry.getDesktop(0)

    def find_window():
        for app in desktop:
            if app is None or app.name != "quenta-setup":
                continue
            for window in app:
                if window is not None and window.name == "Quenta Setup":
                    return window
        return None

    window = wait_for(find_window, "the wizard's window on the bus")
    check(window.getRole() == pyatspi.ROLE_DIALOG, "the window is a dialog (is %s)" % window.getRoleName())
    nodes = list(descendants(window))
    check(sorted(buttons(window)) == ["Далее >", "Отмена"], "two push buttons (%r)" % sorted(buttons(window)))
    labels = [n.name for n in nodes if n.getRole() == pyatspi.ROLE_LABEL]
    check("Далее >" not in labels and "Отмена" not in labels, "no label stands for a button (%r)" % labels)
    for name, button in buttons(window).items():
        state = button.getState()
        check(state.contains(pyatspi.STATE_SENSITIVE) and state.contains(pyatspi.STATE_FOCUSABLE),
              "%r is enabled and focusable" % name)
        check(showing(button), "%r shows" % name)
    trees = [n for n in nodes if n.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE)]
    bars = [n for n in nodes if n.getRole() == pyatspi.ROLE_PROGRESS_BAR]
    check(len(trees) == 1 and not showing(trees[0]), "the hidden tree is there and not showing")
    check(len(bars) == 2 and not any(showing(b) for b in bars), "both hidden progress bars are there, not showing")

    # The walk: introduction, copy, shortcuts, connections, finish.
    press(buttons(window)["Далее >"])
    wait_for(lambda: not showing(trees[0]) and any(
        n.getRole() == pyatspi.ROLE_LABEL and n.name.startswith("Копирование завершено") and showing(n)
        for n in descendants(window)), "the end of the copy")
    press(buttons(window)["Далее >"])
    wait_for(lambda: showing(trees[0]), "the shortcut page's tree")
    # The demo's settings.ini ticks the manual.
    cells = [trees[0].getChildAtIndex(i) for i in range(trees[0].childCount)]
    ticked = [c.name for c in cells if c is not None and c.getState().contains(pyatspi.STATE_CHECKED)]
    check("Руководство.pdf" in ticked, "the tree's ticked nodes read as checked (%r)" % ticked)
    press(buttons(window)["Далее >"])
    time.sleep(0.3)
    press(buttons(window)["Далее >"])
    done = wait_for(lambda: buttons(window).get("Готово"), "the finish's button \"Готово\"")
    cancel = buttons(window)["Отмена"]
    check(not cancel.getState().contains(pyatspi.STATE_SENSITIVE), "\"Отмена\" is disabled on the finish")
    check(not showing(trees[0]), "the tree is hidden on the finish")
    press(done)
    check(wizard.wait(timeout=20) == 0, "the wizard ends with code 0 after \"Готово\"")
finally:
    if wizard.poll() is None:
        wizard.kill()
        wizard.wait()

log = wizard.stderr.read()
check("message box:" not in log, "the walk asked nothing: %s" % log.strip())
if failures:
    sys.exit(1)
print("AT-SPI: the wizard walked from the introduction to \"Готово\" through the bus")
