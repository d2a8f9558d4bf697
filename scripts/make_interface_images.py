#!/usr/bin/env python3
"""Writes the interface images of Zandrel as SVG drawings into resources/.

The drawings are ours: simple shapes in one consistent style (dark outlines, one blue accent).
The build renders each SVG to PNG at 1x and 2x (scripts/render_images.cpp) and compiles the PNGs
into the program as Qt resources. Run this script again after changing a drawing:

    python3 scripts/make_interface_images.py
"""
import os
import sys

INK = "#3a3a3a"
ACCENT = "#3db5fc"
PAPER = "#ffffff"
SOFT = "#dcecf7"

HEAD = '<?xml version="1.0" encoding="UTF-8"?>\n'


def svg(size, body):
    return (HEAD + f'<svg xmlns="http://www.w3.org/2000/svg" width="{size}" height="{size}" '
            f'viewBox="0 0 {size} {size}" fill="none" stroke-linecap="round" stroke-linejoin="round">\n'
            + body + '\n</svg>\n')


def stroke(width=1.2, color=INK):
    return f'stroke="{color}" stroke-width="{width}"'


# Level-bar icons of the element kinds, 16 x 16.
PATH_ICONS = {
    # A head and shoulders: a character.
    "path_char": f'<circle cx="8" cy="5.5" r="3" fill="{SOFT}" {stroke()}/>'
                 f'<path d="M2.5 14.5 C3 10.5 13 10.5 13.5 14.5" fill="{SOFT}" {stroke()}/>',
    # A rounded piece with a knob: one part.
    "path_part": f'<path d="M3 4 H6.5 A1.6 1.6 0 1 1 9.5 4 H13 V13 H3 Z" fill="{SOFT}" {stroke()}/>',
    # A curve with two anchor points: a path.
    "path_path": f'<path d="M2.5 12.5 C5 2 11 14 13.5 3.5" {stroke()}/>'
                 f'<rect x="1.3" y="11.3" width="2.4" height="2.4" fill="{ACCENT}" {stroke(0.8)}/>'
                 f'<rect x="12.3" y="2.3" width="2.4" height="2.4" fill="{ACCENT}" {stroke(0.8)}/>',
    # Two overlapping pieces: a group of part elements.
    "path_partgroup": f'<rect x="2" y="2" width="8" height="8" rx="1.5" fill="{SOFT}" {stroke()}/>'
                      f'<rect x="6" y="6" width="8" height="8" rx="1.5" fill="{PAPER}" {stroke()}/>',
    # Three scattered objects in a dashed frame: a group of comic elements.
    "path_group": f'<rect x="1.5" y="1.5" width="13" height="13" rx="1" stroke-dasharray="2 1.5" {stroke(0.9)}/>'
                  f'<circle cx="5.5" cy="6" r="2" fill="{SOFT}" {stroke()}/>'
                  f'<rect x="8" y="8" width="4.5" height="4.5" fill="{PAPER}" {stroke()}/>',
    # Two speech balloons.
    "path_balloongroup": f'<path d="M2 3 H10 V8 H6 L4 10 V8 H2 Z" fill="{PAPER}" {stroke()}/>'
                         f'<path d="M7 7 H14 V12 H12 L11 14 V12 H7 Z" fill="{SOFT}" {stroke()}/>',
    # A framed picture with a hill and a sun: an image.
    "path_image": f'<rect x="1.5" y="2.5" width="13" height="11" rx="1" fill="{PAPER}" {stroke()}/>'
                  f'<path d="M2 12.5 L6 8 L9 11 L11 9 L14 12.5" {stroke()}/>'
                  f'<circle cx="11" cy="5.5" r="1.3" fill="{ACCENT}" stroke="none"/>',
    # Four panels: the comic.
    "path_comic": f'<rect x="1.5" y="1.5" width="13" height="13" fill="{PAPER}" {stroke()}/>'
                  f'<path d="M1.5 8 H14.5 M8 1.5 V8 M6 8 V14.5" {stroke()}/>',
    # A speech balloon and a ball lying loose over a page: the page's free objects.
    "free_objects": f'<rect x="1.5" y="4.5" width="9" height="10" fill="{PAPER}" {stroke()}/>'
                    f'<path d="M7 1.5 H14.5 V6.5 H11.5 L10 8.5 V6.5 H7 Z" fill="{SOFT}" {stroke()}/>'
                    f'<circle cx="12" cy="12" r="2.5" fill="{ACCENT}" {stroke()}/>',
    # A page with a folded corner.
    "path_page": f'<path d="M3 1.5 H10 L13 4.5 V14.5 H3 Z" fill="{PAPER}" {stroke()}/>'
                 f'<path d="M10 1.5 V4.5 H13" {stroke()}/>',
}

# Toolbar images, 24 x 24.
TOOLBAR_ICONS = {
    # An arrow out of a box: leave the editor.
    "toolbar_up": f'<rect x="4" y="9" width="16" height="11" rx="2" fill="{SOFT}" {stroke(1.6)}/>'
                  f'<path d="M12 15 V3 M7.5 7.5 L12 3 L16.5 7.5" {stroke(1.8, ACCENT)}/>',
    # A sheet over a picture: show or hide the tracing image.
    "toolbar_tracing": f'<rect x="3" y="5" width="14" height="14" rx="1.5" fill="{PAPER}" {stroke(1.6)}/>'
                       f'<path d="M4 17 L9 11 L13 15 L16 12" {stroke(1.4)}/>'
                       f'<rect x="8" y="3" width="13" height="13" rx="1.5" fill="{ACCENT}" fill-opacity="0.35" {stroke(1.4, ACCENT)}/>',
    # A picture with a plus: open a tracing image.
    "toolbar_open_image": f'<rect x="3" y="5" width="15" height="13" rx="1.5" fill="{PAPER}" {stroke(1.6)}/>'
                          f'<path d="M4 16 L9 10.5 L12.5 14 L15 11.5 L17 13.5" {stroke(1.4)}/>'
                          f'<circle cx="18" cy="6" r="4.2" fill="{ACCENT}" stroke="none"/>'
                          f'<path d="M18 3.8 V8.2 M15.8 6 H20.2" {stroke(1.6, PAPER)}/>',
    # A new piece with a plus: a new part.
    "toolbar_NewPart": f'<path d="M4 7 H9 A2.5 2.5 0 1 1 14 7 H18 V20 H4 Z" fill="{SOFT}" {stroke(1.6)}/>'
                       f'<circle cx="18" cy="17" r="4.5" fill="{ACCENT}" stroke="none"/>'
                       f'<path d="M18 14.6 V19.4 M15.6 17 H20.4" {stroke(1.6, PAPER)}/>',
    # Three overlapping swatches: the document's colours.
    "toolbar_EditColors": f'<circle cx="9" cy="9" r="5" fill="#f0c8a0" {stroke(1.4)}/>'
                          f'<circle cx="15" cy="9" r="5" fill="{ACCENT}" fill-opacity="0.8" {stroke(1.4)}/>'
                          f'<circle cx="12" cy="15" r="5" fill="#3060a0" fill-opacity="0.8" {stroke(1.4)}/>',
    # A pencil over a frame: edit the selected object.
    "toolbar_Edit": f'<rect x="3" y="6" width="13" height="14" rx="1.5" fill="{PAPER}" {stroke(1.6)}/>'
                    f'<path d="M10 15 L19 4 L22 7 L13 18 L9.5 18.5 Z" fill="{ACCENT}" {stroke(1.4)}/>',
    # Two mirrored triangles about a dashed axis: flip horizontally.
    "toolbar_Flip": f'<path d="M12 3 V21" stroke-dasharray="2 2" {stroke(1.2)}/>'
                    f'<path d="M10 6 L3 18 H10 Z" fill="{SOFT}" {stroke(1.5)}/>'
                    f'<path d="M14 6 L21 18 H14 Z" fill="{ACCENT}" {stroke(1.5)}/>',
    # The same about a horizontal axis: flip vertically.
    "toolbar_VFlip": f'<path d="M3 12 H21" stroke-dasharray="2 2" {stroke(1.2)}/>'
                     f'<path d="M6 10 L18 3 V10 Z" fill="{SOFT}" {stroke(1.5)}/>'
                     f'<path d="M6 14 L18 21 V14 Z" fill="{ACCENT}" {stroke(1.5)}/>',
    # A speech balloon with its tail and a plus: a new dialog balloon.
    "toolbar_NewBalloon": f'<path d="M11 3 C5.5 3 2 6 2 9.5 C2 13 5.5 16 11 16 L9 21 L14.5 15.7 '
                          f'C18 15 20 12.5 20 9.5 C20 6 16.5 3 11 3 Z" fill="{PAPER}" {stroke(1.6)}/>'
                          f'<circle cx="18.5" cy="17.5" r="4.2" fill="{ACCENT}" stroke="none"/>'
                          f'<path d="M18.5 15.3 V19.7 M16.3 17.5 H20.7" {stroke(1.6, PAPER)}/>',
    # A page of panels, one of them picked out: the panel's properties.
    "toolbar_Panel": f'<rect x="3" y="3" width="18" height="18" rx="1" fill="{PAPER}" {stroke(1.6)}/>'
                     f'<rect x="5.5" y="5.5" width="6" height="6" fill="{ACCENT}" {stroke(1.2)}/>'
                     f'<rect x="13.5" y="5.5" width="5" height="6" fill="{SOFT}" {stroke(1.2)}/>'
                     f'<rect x="5.5" y="13.5" width="13" height="5" fill="{SOFT}" {stroke(1.2)}/>',
    # A box with an arrow out of it: share the comic.
    "toolbar_Share": f'<path d="M8 9 H5 V21 H19 V9 H16" fill="none" {stroke(1.6)}/>'
                     f'<path d="M12 15 V3 M8 7 L12 3 L16 7" {stroke(1.8, ACCENT)}/>',
    # A question mark in a circle: help.
    "toolbar_help": f'<circle cx="12" cy="12" r="9" fill="{PAPER}" {stroke(1.6)}/>'
                    f'<path d="M9 9.5 A3 3 0 1 1 12 12.5 V14" {stroke(1.8, ACCENT)}/>'
                    f'<circle cx="12" cy="17.3" r="1.1" fill="{ACCENT}" stroke="none"/>',
}

BLACK = "#000000"


def outlined(path, width=1.2):
    """A path drawn in black over a wider white halo, so that a cursor shows on any background."""
    return (f'<path d="{path}" stroke="{PAPER}" stroke-width="{width + 2}"/>'
            f'<path d="{path}" {stroke(width, BLACK)}/>')


def arrows(path):
    return outlined(path, 1.4)


# Cursors, 16 x 16; the hot spot is given in code.
CURSORS = {
    # A dashed square with a cross at its corner: the marquee, hot spot (4, 4).
    "Cur_Marquee": f'<path d="M4 0.5 V7.5 M0.5 4 H7.5" stroke="{PAPER}" stroke-width="3"/>'
                   f'<path d="M4 0.5 V7.5 M0.5 4 H7.5" {stroke(1.2, "#000000")}/>'
                   f'<rect x="6.5" y="6.5" width="8.5" height="8.5" stroke="{PAPER}" stroke-width="2.6"/>'
                   f'<rect x="6.5" y="6.5" width="8.5" height="8.5" stroke-dasharray="1.5 1.5" {stroke(1, "#000000")}/>',
    # Double arrows for the scale grips, hot spot (8, 8).
    "Cur_ns-resize_Sm": arrows("M8 2 V14 M5 5 L8 2 L11 5 M5 11 L8 14 L11 11"),
    "Cur_ew-resize_Sm": arrows("M2 8 H14 M5 5 L2 8 L5 11 M11 5 L14 8 L11 11"),
    "Cur_nwse-resize_Sm": arrows("M3 3 L13 13 M3 7 V3 H7 M9 13 H13 V9"),
    "Cur_nesw-resize_Sm": arrows("M13 3 L3 13 M9 3 H13 V7 M3 9 V13 H7"),
    # A turning arrow, hot spot (1, 1).
    "Cur_Rotate_1_1": outlined("M1.5 1.5 L5 2 M1.5 1.5 L2 5 M2 2 C7 -1 15 4 12 11 M12 11 L9 10 M12 11 L13.5 8", 1.3),
    # Slanted bars with arrows: vertical skew, hot spot (6, 10); horizontal skew, hot spot (10, 6).
    "Cur_SkewVert": outlined("M3 13 V5 L9 3 V11 Z M12 4 V12 M10.5 5.5 L12 4 L13.5 5.5 M10.5 10.5 L12 12 L13.5 10.5"),
    "Cur_SkewHoriz": outlined("M3 9 H11 L13 3 H5 Z M4 12 H12 M5.5 10.5 L4 12 L5.5 13.5 M10.5 10.5 L12 12 L10.5 13.5"),
    # A small arrow, hot spot (1, 1); with a minus for removing a pivot.
    "Cur_DirectSelect": f'<path d="M1 1 L1 12 L4 9 L6.5 14 L8.5 13 L6 8 L10 8 Z" fill="{PAPER}" {stroke(1, BLACK)}/>',
    "Cur_DirectSelect_Del": f'<path d="M1 1 L1 12 L4 9 L6.5 14 L8.5 13 L6 8 L10 8 Z" fill="{PAPER}" {stroke(1, BLACK)}/>'
                            f'<path d="M10 13 H15" stroke="{PAPER}" stroke-width="3.5"/>'
                            f'<path d="M10 13 H15" {stroke(1.6, BLACK)}/>',
    # The arrow with a plus: a point goes into a tail of straight segments; with a bent line: into a
    # tail of curves. Hot spot (1, 1).
    "Cur_DirectSelect_AddPoint": f'<path d="M1 1 L1 12 L4 9 L6.5 14 L8.5 13 L6 8 L10 8 Z" fill="{PAPER}" {stroke(1, BLACK)}/>'
                                 f'<path d="M10 13 H15 M12.5 10.5 V15.5" stroke="{PAPER}" stroke-width="3.5"/>'
                                 f'<path d="M10 13 H15 M12.5 10.5 V15.5" {stroke(1.6, BLACK)}/>',
    "Cur_DirectSelect_AddCurve": f'<path d="M1 1 L1 12 L4 9 L6.5 14 L8.5 13 L6 8 L10 8 Z" fill="{PAPER}" {stroke(1, BLACK)}/>'
                                 f'<path d="M9.5 15 C10.5 10 14 10 15 12.5" stroke="{PAPER}" stroke-width="3.5"/>'
                                 f'<path d="M9.5 15 C10.5 10 14 10 15 12.5" {stroke(1.4, BLACK)}/>',
    # The arrow with a small square or circle: Option turns the point under it into a point on the
    # curve or into a control point. Hot spot (1, 1).
    "Cur_DirectSelect_ToPoint": f'<path d="M1 1 L1 12 L4 9 L6.5 14 L8.5 13 L6 8 L10 8 Z" fill="{PAPER}" {stroke(1, BLACK)}/>'
                                f'<rect x="10.5" y="10.5" width="4" height="4" fill="{PAPER}" {stroke(1.2, BLACK)}/>',
    "Cur_DirectSelect_ToCurve": f'<path d="M1 1 L1 12 L4 9 L6.5 14 L8.5 13 L6 8 L10 8 Z" fill="{PAPER}" {stroke(1, BLACK)}/>'
                                f'<circle cx="12.5" cy="12.5" r="2.2" fill="{PAPER}" {stroke(1.2, BLACK)}/>',
    # Open scissors cutting at the bottom, hot spot (6, 16).
    "Cur_Scissors": f'<circle cx="3.5" cy="3.5" r="2.5" fill="{PAPER}" {stroke(1.2, BLACK)}/>'
                    f'<circle cx="9.5" cy="3.5" r="2.5" fill="{PAPER}" {stroke(1.2, BLACK)}/>'
                    + outlined("M4.5 5.5 L7.5 15.5 M8.5 5.5 L5.5 15.5", 1.2),
    # The distortion of selected points, hot spot (4, 4).
    "Cur_DistortPoints": outlined("M4 4 L14 6 L13 14 L5 12 Z M1 1 L4 4", 1.1),
    # A magnifying glass, hot spot (5, 5).
    "Cur_MagifyingGlass": f'<circle cx="5.5" cy="5.5" r="4" fill="{PAPER}" fill-opacity="0.6" {stroke(1.4, BLACK)}/>'
                          + outlined("M8.5 8.5 L14.5 14.5", 1.8),
    # A target: a part's pivot, hot spot (8, 9).
    "Cur_PartOrigin": f'<circle cx="8" cy="9" r="4" fill="none" stroke="{PAPER}" stroke-width="3"/>'
                      f'<circle cx="8" cy="9" r="4" {stroke(1.2, BLACK)}/>' + outlined("M8 3 V15 M2 9 H14", 1),
    # A distorted square with a corner arrow: perspective, hot spot (4, 4).
    "DistortCursor": outlined("M4 4 L14 6 L13 14 L5 12 Z M1 1 L4 4", 1.1),
    # The grips of a free panel with Command held: a slanted panel whose corner, top side or left
    # side is being pulled, hot spot (4, 4).
    "Cur_PanelDistortCorner": outlined("M4 4 L13 6 L14 14 L6 13 Z M1 1 L4 4", 1.1),
    "Cur_PanelDistortSideHoriz": outlined("M6 4 L14 4 L13 14 L4 14 M6 4 L2 4 M4 2 L2 4 L4 6 M14 4 L15.5 4", 1.1),
    "Cur_PanelDistortSideVert": outlined("M4 6 L4 14 L14 13 L14 4 M4 6 L4 2 M2 4 L4 2 L6 4 M4 14 L4 15.5", 1.1),
}

# The drawing tools, 18 x 18, their tips at the hot spot (0, 17): a pen nib and a pencil.
DRAWING_CURSORS = {
    "Cur_Pen": f'<path d="M0.5 17.5 L3 10 L11 2 L16 7 L8 15 Z" fill="{PAPER}" {stroke(1.1, BLACK)}/>'
               f'<path d="M0.5 17.5 L6 12 M9 4 L14 9" {stroke(1, BLACK)}/><circle cx="6.5" cy="11.5" r="1" fill="{BLACK}"/>',
    "Cur_Pencil": f'<path d="M0.5 17.5 L2 12 L13 1 L17 5 L6 16 Z" fill="{PAPER}" {stroke(1.1, BLACK)}/>'
                  f'<path d="M2 12 L6 16 M11 3 L15 7" {stroke(1, BLACK)}/><path d="M0.5 17.5 L1.2 15 L3 16.8 Z" fill="{BLACK}"/>',
}

# Cursors over the boundaries of rows and panels, 34 x 34, hot spot (17, 17): two parallel bars
# with arrows across them for a whole boundary, a bar with a dot and arrows along the side for one
# end of it.
STRUCTURE_CURSORS = {
    "Cur_Structure_bottomtop": outlined("M6 15 H28 M6 19 H28 M17 3 V11 M13 7 L17 3 L21 7 M17 23 V31 "
                                        "M13 27 L17 31 L21 27", 1.6),
    "Cur_Structure_rightleft": outlined("M15 6 V28 M19 6 V28 M3 17 H11 M7 13 L3 17 L7 21 M23 17 H31 "
                                        "M27 13 L31 17 L27 21", 1.6),
    "Cur_Structure_topRighttopLeft": outlined("M17 13 V31 M4 9 H30 M8 5 L4 9 L8 13 M26 5 L30 9 L26 13", 1.6),
    "Cur_Structure_bottomRightbottomLeft": outlined("M17 3 V21 M4 25 H30 M8 21 L4 25 L8 29 M26 21 L30 25 "
                                                    "L26 29", 1.6),
    "Cur_Structure_bottomLefttopLeft": outlined("M13 17 H31 M9 4 V30 M5 8 L9 4 L13 8 M5 26 L9 30 L13 26", 1.6),
    "Cur_Structure_bottomRighttopRight": outlined("M3 17 H21 M25 4 V30 M21 8 L25 4 L29 8 M21 26 L25 30 "
                                                  "L29 26", 1.6),
}

# The program's icon, 128 x 128: a comic page with a speech balloon.
APP_ICON = (f'<rect x="14" y="8" width="100" height="112" rx="10" fill="{PAPER}" {stroke(5)}/>'
            f'<path d="M14 58 H114 M62 8 V58 M46 58 V120" {stroke(4)}/>'
            f'<path d="M56 70 H106 A8 8 0 0 1 114 78 V96 A8 8 0 0 1 106 104 H80 L64 116 L68 104 H56 '
            f'A8 8 0 0 1 48 96 V78 A8 8 0 0 1 56 70 Z" fill="{ACCENT}" {stroke(4)}/>'
            f'<circle cx="37" cy="30" r="11" fill="{SOFT}" {stroke(4)}/>')


def write(folder, name, content):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".svg"), "w", encoding="utf-8") as out:
        out.write(content)


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    if len(sys.argv) > 1:
        root = sys.argv[1]
    images = os.path.join(root, "images")
    for name, body in PATH_ICONS.items():
        write(images, name, svg(16, body))
    for name, body in TOOLBAR_ICONS.items():
        write(images, name, svg(24, body))
    write(images, "zandrel", svg(128, APP_ICON))
    for name, body in CURSORS.items():
        write(os.path.join(root, "cursors"), name, svg(16, body))
    for name, body in DRAWING_CURSORS.items():
        write(os.path.join(root, "cursors"), name, svg(18, body))
    for name, body in STRUCTURE_CURSORS.items():
        write(os.path.join(root, "cursors"), name, svg(34, body))


if __name__ == "__main__":
    main()
