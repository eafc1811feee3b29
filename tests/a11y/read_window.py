#!/usr/bin/python3
"""Reads the running Corvane Test window over AT-SPI, as a screen reader does.

Finds every control by its accessible name (a value label by its description),
reads each list's entries and its selected one, the indicator's state in
words, then presses Connect and Remote through the accessibility interface,
reads the indicator again, picks another receiver, tries to pick entries of its
disabled setting lists (refused: nothing reaches the receiver), and types a
frequency that is refused: the report appears as an alert and the focus stays in the window.
Prints what it read; exits non-zero on anything missing or wrong.
"""
import os
import sys
import time

import pyatspi

NAMED = ["Config Driver", "Rx", "Connect", "Disconnect", "Remote", "Local", "FRQ",
         "MODE", "AGC", "NB", "ATT", "FLT", "DeltaF",
         "Forward changes from one receiver to any other"]
DESCRIBED = ["ROMId", "FrqMax", "FrqMin", "Frequency read", "BFO", "SMeter",
             "Connection state"]
LISTS = ["Rx", "MODE", "FLT", "AGC", "NB", "ATT"]
problems = []


def find_app(name, timeout=20.0):
    desktop = pyatspi.Registry.getDesktop(0)
    end = time.time() + timeout
    while time.time() < end:
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                for win in children(app):
                    if win is not None and win.name == "Corvane Test":
                        return app, win
        time.sleep(0.2)
    sys.exit(f"no window 'Corvane Test' of {name} on the accessibility bus")


def find_alert(app, timeout=10.0):
    end = time.time() + timeout
    while time.time() < end:
        for win in children(app):
            if win is not None and win.getRole() == pyatspi.ROLE_ALERT:
                return win
        time.sleep(0.1)
    return None


def children(acc):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def by(window, attribute, labels):
    """The window's children by name or description: the labels, or the rest."""
    found = {}
    for child in children(window):
        key = getattr(child, attribute)
        is_label = child.getRole() == pyatspi.ROLE_LABEL
        if key and key not in found and is_label == labels:
            found[key] = child
    return found


def labelled_by(acc):
    for rel in acc.getRelationSet():
        if rel.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return rel.getTarget(0).name
    return None


def wait_for(read, expected, timeout=10.0):
    end = time.time() + timeout
    value = read()
    while value != expected and time.time() < end:
        time.sleep(0.1)
        value = read()
    return value


def trace_size():
    path = os.environ.get("CORVANE_A11Y_TRACE")
    return os.path.getsize(path) if path else 0


def refused_while_disabled(named):
    """The receiver just picked is not connected: its setting lists are
    disabled, and neither an entry's Toggle nor the list's row selection may
    pick anything in them (nothing is set, Filter and AGC stay disabled)."""
    path = os.environ.get("CORVANE_A11Y_TRACE")
    start = trace_size()
    for name in ("MODE", "ATT"):
        acc = named.get(name)
        if acc is None:
            continue
        if acc.getState().contains(pyatspi.STATE_ENABLED):
            problems.append(f"list {name!r} is enabled on a receiver not connected")
        entries = children(acc)
        before = [e.name for e in entries if e.getState().contains(pyatspi.STATE_SELECTED)]
        others = [i for i, e in enumerate(entries) if e.name not in before]
        if not others:
            problems.append(f"list {name!r} has no entry to try picking")
            continue
        entries[others[0]].queryAction().doAction(0)
        acc.queryTable().addRowSelection(others[-1])
        time.sleep(0.5)
        after = [e.name for e in children(acc) if e.getState().contains(pyatspi.STATE_SELECTED)]
        print(f"  disabled list {name!r}: Toggle and addRowSelection, selected {before} -> {after}")
        if after != before:
            problems.append(f"disabled list {name!r} took a pick: {before} -> {after}")
    for name in ("FLT", "AGC"):
        acc = named.get(name)
        if acc is not None and acc.getState().contains(pyatspi.STATE_ENABLED):
            problems.append(f"list {name!r} was enabled by a pick in a disabled list")
    if path:
        with open(path, encoding="utf-8", errors="replace") as f:
            f.seek(start)
            sets = [line.strip() for line in f if " <- " in line]
        if sets:
            problems.append(f"picks in disabled lists reached the receiver: {sets}")


def main():
    app, window = find_app(sys.argv[1] if len(sys.argv) > 1 else "corvane-test")
    named = by(window, "name", labels=False)
    described = by(window, "description", labels=True)
    print(f"window: {window.name!r}")
    for name in NAMED:
        acc = named.get(name)
        if acc is None:
            problems.append(f"no control named {name!r}")
            continue
        caption = labelled_by(acc)
        print(f"  {acc.getRoleName():<11} {name!r}" +
              (f" (caption {caption!r})" if caption else "") +
              (f" - {acc.description}" if acc.description else ""))
    for description in DESCRIBED:
        acc = described.get(description)
        if acc is None:
            problems.append(f"no label described as {description!r}")
            continue
        print(f"  {acc.getRoleName():<11} {description!r} shows {acc.name!r}")
    for name in LISTS:
        acc = named.get(name)
        if acc is None:
            continue
        entries = children(acc)
        selected = [e.name for e in entries if e.getState().contains(pyatspi.STATE_SELECTED)]
        print(f"  list {name!r}: {[e.name for e in entries]} selected {selected}")
        if len(selected) != 1:
            problems.append(f"list {name!r} has {len(selected)} selected entries")

    indicator = described.get("Connection state")
    if indicator is not None:
        state = lambda: indicator.name
        print(f"  indicator: {state()!r}")
        for button, expected in (("Connect", "connected"), ("Remote", "under remote control")):
            named[button].queryAction().doAction(0)
            now = wait_for(state, expected)
            print(f"  pressed {button!r}: indicator {now!r}")
            if now != expected:
                problems.append(f"after {button} the indicator says {now!r}, not {expected!r}")
        smeter = described["SMeter"]
        print(f"  'SMeter' shows {wait_for(lambda: bool(smeter.name), True) and smeter.name!r}")

        # Picking another receiver by its entry's action (Toggle), as a
        # screen reader's user does, shows that receiver.
        rom = described["ROMId"]
        before = rom.name
        item = children(named["Rx"])[1]
        item.queryAction().doAction(0)
        after = wait_for(lambda: rom.name != before, True) and rom.name
        print(f"  picked {item.name!r}: 'ROMId' shows {after!r}, "
              f"indicator {state()!r}")
        if after == before:
            problems.append("selecting another receiver changed nothing")
        refused_while_disabled(named)
    # A refused entry: typed into FRQ, sent when the focus moves on, and the
    # report is there for the reader as an alert.
    freq = named.get("FRQ")
    if freq is not None:
        freq.queryComponent().grabFocus()
        freq.queryEditableText().setTextContents("14.2 MHz")
        named["DeltaF"].queryComponent().grabFocus()
        alert = find_alert(app)
        if alert is None:
            problems.append("no alert after a refused entry")
        else:
            texts = [c.name for c in children(alert) if c.getRole() == pyatspi.ROLE_LABEL and c.name]
            print(f"  typed '14.2 MHz' into 'FRQ' and moved on: {alert.getRoleName()} {texts}")
            # The report is read without taking the focus from the window.
            if not named["DeltaF"].getState().contains(pyatspi.STATE_FOCUSED):
                problems.append("the report took the focus from DeltaF")
    for p in problems:
        print("PROBLEM:", p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
