#!/usr/bin/python3
"""Walks the accessible tree of one running program over the AT-SPI bus, as a screen
reader sees it, and fails on any focusable object without a name.

Usage: accessibility_tree.py APPLICATION_NAME EXPECTED_WINDOWS

Prints, per window, its named controls (role: name [- description]). A table cell's
name is its value, which may rightly be empty: a table passes when every column has a
named header, which a screen reader reads with the cell."""
import sys
import time

import pyatspi

SKIPPED_CELL_ROLES = {pyatspi.ROLE_TABLE_CELL}


def find_application(name, expected_windows, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for application in desktop:
            if application is not None and application.name == name and application.childCount >= expected_windows:
                return application
        time.sleep(0.5)
    return None


def describe(accessible):
    text = f"{accessible.getRoleName()}: {accessible.name}"
    if accessible.description:
        text += f" - {accessible.description}"
    return text


def check_table(table_object, window, problems, lines):
    table = table_object.queryTable()
    headers = []
    for column in range(table.nColumns):
        header = table.getColumnHeader(column)
        name = header.name if header is not None else ""
        if not name:
            name = table.getColumnDescription(column)
        if not name:
            problems.append(f"{window}: column {column} of table '{table_object.name}' has no header")
        headers.append(name)
    lines.append(f"    table cells: {table.nRows} rows x {table.nColumns} columns, headers {headers}")


def walk(accessible, window, problems, lines, depth=0):
    if depth > 40:
        return
    role = accessible.getRole()
    states = accessible.getState()
    focusable = states.contains(pyatspi.STATE_FOCUSABLE)
    menu_item = role in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU)
    if role == pyatspi.ROLE_TABLE:
        if not accessible.name:
            problems.append(f"{window}: a table has no name")
        lines.append(f"  {describe(accessible)}")
        check_table(accessible, window, problems, lines)
        # The table's own children are its cells and headers, checked above.
        return
    if focusable or menu_item:
        if accessible.name:
            lines.append(f"  {describe(accessible)}")
        elif role not in SKIPPED_CELL_ROLES:
            problems.append(f"{window}: a focusable {accessible.getRoleName()} has no name")
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            walk(child, window, problems, lines, depth + 1)


def main():
    name, expected = sys.argv[1], int(sys.argv[2])
    application = find_application(name, expected)
    if application is None:
        print(f"FAIL: no application '{name}' with {expected} windows on the accessibility bus")
        return 1
    problems = []
    windows = 0
    for index in range(application.childCount):
        window = application.getChildAtIndex(index)
        if window is None:
            continue
        windows += 1
        title = f"{window.getRoleName()} '{window.name}'"
        if not window.name:
            problems.append(f"window {index} ({window.getRoleName()}) has no name")
        lines = []
        walk(window, title, problems, lines)
        print(title)
        for line in lines:
            print(line)
    for problem in problems:
        print(f"FAIL: {problem}")
    if windows < expected:
        print(f"FAIL: {windows} windows on the bus, {expected} shown")
        return 1
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
