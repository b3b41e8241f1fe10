#!/usr/bin/env python3
"""Reads the desktop program's window dump for the window tests.

  window_check.py layout DUMP              every text whole, every control inside its parent,
                                           none on the frame line of a group box
  window_check.py center DUMP ID [CLASS]   screen point "x y" at the middle of a visible control
  window_check.py text DUMP ID             a visible control's text
  window_check.py checked DUMP ID          "1" when checked, else "0"
  window_check.py enabled DUMP ID          "1" when enabled, else "0"
  window_check.py cell DUMP ID ROW COLUMN  a list view's cell; ROW may be "count", "images" or
                                           "selected" (the selected rows' numbers)
  window_check.py row DUMP ID ROW          screen point "x y" at the middle of a list view's row
  window_check.py status DUMP              the status bar's text
  window_check.py tree DUMP                the tree's items as "text:stateImage:x y" lines
  window_check.py drop DUMP                screen point "x y" at the middle of the drop window
  window_check.py covered DUMP             the frame's visible controls under the drop window
  window_check.py menu DUMP                "1" when a pop-up menu is open, else "0"
  window_check.py frame DUMP               "1" when the main frame is visible, else "0"
  window_check.py box DUMP                 an open message box as "caption|text|x y of OK"
  window_check.py geometry DUMP TITLE      "WxH+X+Y" of the visible top-level window so titled
                                           ("" for the drop window), for a screenshot
"""
import json
import sys

BS_TYPEMASK = 0xF
RADIO_OR_CHECK = {2, 3, 4, 5, 6, 9}
GROUP_BOX = 7
OWNER_DRAW = 11
SS_TYPEMASK = 0x1F
SS_PICTURES = {3, 14}  # icon, bitmap
MESSAGE_BOX_TEXT = 0xFFFF  # wraps its lines to the box; its words are checked by the tests


def load(path):
    with open(path, encoding="ascii") as f:
        return json.load(f)


def controls(dump):
    for window in dump["windows"]:
        for child in window.get("children", []):
            yield window, child


def visible(dump, control_id, class_name=None):
    for _, child in controls(dump):
        if child["id"] == control_id and child["visible"] and (
                class_name is None or child["class"] == class_name):
            return child
    sys.exit(f"no visible control {control_id}")


def width(rect):
    return rect[2] - rect[0]


def room_for_text(child):
    """The pixels a control has for its text, or None when its text is not drawn whole."""
    kind = child["class"]
    style = child["style"]
    if kind == "Static":
        if child["id"] == MESSAGE_BOX_TEXT:
            return None
        return None if (style & SS_TYPEMASK) in SS_PICTURES else width(child["rect"])
    if kind == "Button":
        button = style & BS_TYPEMASK
        if button in RADIO_OR_CHECK:
            return width(child["rect"]) - 16
        if button == OWNER_DRAW and "checked" in child:
            return width(child["rect"]) - 16
        if button == GROUP_BOX:
            return width(child["rect"]) - 12
        return width(child["rect"]) - 4
    return None


def inside(rect, area):
    return (rect[0] >= area[0] and rect[1] >= area[1] and rect[2] <= area[2]
            and rect[3] <= area[3])


def layout(dump):
    faults = []
    for window, child in controls(dump):
        if not child["visible"] or not child["text"]:
            continue
        room = room_for_text(child)
        if room is not None and child["textWidth"] > room:
            faults.append(f"text wider than its control: {child['id']} {child['text']!r} "
                          f"needs {child['textWidth']} pixels, has {room}")
    for window, child in controls(dump):
        if child["visible"] and "parentClient" in child and not inside(
                child["rect"], child["parentClient"]):
            faults.append(f"control outside its parent: {child['class']} {child['id']} "
                          f"{child['text']!r} at {child['rect']} in {child['parentClient']}")
    faults += group_frame_faults(dump)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


def is_group_box(child):
    return child["class"] == "Button" and (child["style"] & BS_TYPEMASK) == GROUP_BOX


def group_frame_faults(dump):
    """Controls that reach into a group box without being clear of its etched frame line, which
    takes two pixels on each side; one more pixel is kept free below the line."""
    faults = []
    for window in dump["windows"]:
        children = [c for c in window.get("children", []) if c["visible"]]
        for group in filter(is_group_box, children):
            g = group["rect"]
            clear = [g[0] + 2, g[1], g[2] - 2, g[3] - 3]
            for child in children:
                r = child["rect"]
                if (child is group or child.get("parentClient") != group.get("parentClient")
                        or is_group_box(child)):
                    continue
                overlaps = r[0] < g[2] and r[2] > g[0] and r[1] < g[3] and r[3] > g[1]
                if overlaps and not inside(r, clear):
                    faults.append(f"control on the frame of group box {group['text']!r}: "
                                  f"{child['class']} {child['id']} {child['text']!r} at {r} "
                                  f"in {g}")
    return faults


def center(child):
    r = child["rect"]
    return f"{(r[0] + r[2]) // 2} {(r[1] + r[3]) // 2}"


def cell(child, row, column):
    rows = child.get("rows", [])
    if row == "count":
        return str(len(rows))
    if row == "images":
        return " ".join(str(r["image"]) for r in rows)
    if row == "selected":
        return " ".join(str(n) for n, r in enumerate(rows) if r.get("selected"))
    return rows[int(row)]["cells"][int(column)]


def message_box(dump):
    for window in dump["windows"]:
        if window["class"] != "#32770" or not window.get("text"):
            continue
        texts = [c for c in window["children"]
                 if c["class"] == "Static" and c["text"] and c["visible"]]
        ok = [c for c in window["children"] if c["class"] == "Button" and c["id"] == 1]
        if texts and ok:
            text = texts[-1]["text"].replace("\r\n", "\\n").replace("\n", "\\n")
            return f"{window['text']}|{text}|{center(ok[0])}"
    return ""


def drop_windows(dump):
    """The drop window: an untitled dialog whose picture is an icon."""
    return [w for w in dump["windows"] if w["class"] == "#32770" and not w["text"]
            and w["visible"] and any((c["style"] & SS_TYPEMASK) == 3 for c in w["children"])]


def main(argv):
    command, dump = argv[1], load(argv[2])
    if command == "layout":
        return layout(dump)
    if command == "box":
        print(message_box(dump))
        return 0
    if command == "geometry":
        titled = [w for w in dump["windows"] if w["visible"] and w["text"] == argv[3]]
        for window in (drop_windows(dump) if argv[3] == "" else titled)[:1]:
            r = window["rect"]
            print(f"{r[2] - r[0]}x{r[3] - r[1]}+{r[0]}+{r[1]}")
        return 0
    if command == "drop":
        for window in drop_windows(dump):
            print(center(window))
        return 0
    if command == "covered":
        drops = drop_windows(dump)
        frames = [w for w in dump["windows"] if w["class"] == "KavendrumFrame" and w["visible"]]
        for drop in drops:
            d = drop["rect"]
            for frame in frames:
                for child in [frame] + frame["children"]:
                    r = child["rect"]
                    if child["visible"] and r[0] < d[2] and r[2] > d[0] and r[1] < d[3] and r[3] > d[1]:
                        print(f"{child['class']} {child['id']} {child['text']!r}")
        return 0
    if command == "menu":
        print("1" if any(w["class"] == "#32768" and w["visible"] for w in dump["windows"])
              else "0")
        return 0
    if command == "frame":
        frames = [w for w in dump["windows"] if w["class"] == "KavendrumFrame"]
        print("1" if frames and frames[0]["visible"] else "0")
        return 0
    if command == "status":
        for _, child in controls(dump):
            if child["class"] == "msctls_statusbar32" and child["visible"]:
                print(child["text"])
                break
        return 0
    if command == "tree":
        for _, child in controls(dump):
            for item in child.get("items", []):
                print(f"{item['text']}:{item['stateImage']}:{center(item)}")
        return 0
    child = visible(dump, int(argv[3]), argv[4] if command == "center" and len(argv) > 4 else None)
    if command == "center":
        print(center(child))
    elif command == "text":
        print(child["text"])
    elif command == "checked":
        print("1" if child.get("checked") else "0")
    elif command == "enabled":
        print("1" if child["enabled"] else "0")
    elif command == "row":
        print(center(child["rows"][int(argv[4])]))
    elif command == "cell":
        print(cell(child, argv[4], argv[5] if len(argv) > 5 else 0))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
