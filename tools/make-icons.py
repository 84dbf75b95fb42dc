#!/usr/bin/env python3
"""Writes the line pictograms of the user interface as SVG files.

Each icon is drawn on a 24 x 24 grid with round strokes; the build renders
them to PNG. Run again after changing a drawing:
    python3 tools/make-icons.py src/qml/images
"""
import os
import sys

STROKE = "#4a4a4a"

ENVELOPE = '<rect x="3" y="6" width="18" height="13" rx="1.5"/><path d="M3.5 7l8.5 6.5 8.5-6.5"/>'
OPEN_ENVELOPE = ('<path d="M3 11v8.5h18V11"/><path d="M3 11l9-6.5 9 6.5"/>'
                 '<path d="M3.5 11.5l8.5 5.5 8.5-5.5"/>')
PAGE = '<path d="M6 3h8l4 4v14H6z"/><path d="M14 3v4h4"/>'

ICONS = {
    "add": '<path d="M12 5v14M5 12h14"/>',
    "remove": '<path d="M6 6l12 12M18 6L6 18"/>',
    "ok": '<path d="M4.5 12.5l5 5 10-11"/>',
    "edit": '<path d="M4 20l1-4.5L15.5 5l3.5 3.5L8.5 19z"/><path d="M13.5 7l3.5 3.5"/>',
    "misc": '<circle cx="12" cy="12" r="3"/><path d="M12 2.5v3M12 18.5v3M2.5 12h3M18.5 12h3'
            'M5.3 5.3l2.1 2.1M16.6 16.6l2.1 2.1M5.3 18.7l2.1-2.1M16.6 7.4l2.1-2.1"/>',
    "refresh": '<path d="M19 12a7 7 0 1 1-2.05-4.95"/><path d="M17.5 3v4.5H13"/>',
    "archive": '<rect x="3" y="4" width="18" height="5" rx="1"/><path d="M5 9v11h14V9"/>'
               '<path d="M10 13h4"/>',
    "trash": '<path d="M4 7h16M9 7V4h6v3"/><path d="M6 7l1 13h10l1-13"/><path d="M10 11v6M14 11v6"/>',
    "attach": '<path d="M16.5 7.5l-7.8 7.8a2 2 0 0 0 2.8 2.8l8-8a4 4 0 0 0-5.7-5.7l-8 8'
              'a6 6 0 0 0 8.5 8.5l6-6"/>',
    "reply": '<path d="M10 5l-6 6 6 6"/><path d="M4 11h9a7 7 0 0 1 7 7v1"/>',
    "forward": '<path d="M14 5l6 6-6 6"/><path d="M20 11h-9a7 7 0 0 0-7 7v1"/>',
    "printer": '<path d="M7 9V3h10v6"/><rect x="3" y="9" width="18" height="8" rx="1.5"/>'
               '<path d="M7 14h10v7H7z"/>',
    "user": '<circle cx="12" cy="8" r="4"/><path d="M4 21a8 8 0 0 1 16 0"/>',
    "users": '<circle cx="9" cy="8" r="3.5"/><path d="M2.5 20a6.5 6.5 0 0 1 13 0"/>'
             '<path d="M15 4.8a3.5 3.5 0 0 1 0 6.4M17.5 14a6.5 6.5 0 0 1 4 6"/>',
    "server": '<rect x="4" y="3" width="16" height="7" rx="1.5"/><rect x="4" y="14" width="16" height="7" rx="1.5"/>'
              '<path d="M8 6.5h.01M8 17.5h.01M12 10v4"/>',
    "servers": '<rect x="3" y="3" width="12" height="6" rx="1.2"/><rect x="9" y="15" width="12" height="6" rx="1.2"/>'
               '<path d="M9 9v3h6v3M6 6h.01M12 18h.01"/>',
    "wizard": '<path d="M4 20L15 9"/><path d="M13 7l4 4"/><path d="M18 2.5v3M16.5 4h3M20.5 8.5v2M19.5 9.5h2'
              'M9.5 3.5v2M8.5 4.5h2"/>',
    "www": '<circle cx="12" cy="12" r="9"/><path d="M3 12h18"/><path d="M12 3a14 14 0 0 1 0 18'
           'a14 14 0 0 1 0-18"/>',
    "fullscreen": '<path d="M4 9V4h5M15 4h5v5M20 15v5h-5M9 20H4v-5"/>',
    "nofullscreen": '<path d="M9 4v5H4M20 9h-5V4M15 20v-5h5M4 15h5v5"/>',
    "unknown": PAGE + '<path d="M10 11.5a2 2 0 1 1 2.8 1.8c-.5.3-.8.7-.8 1.2v.5M12 17.5h.01"/>',
    "seen": OPEN_ENVELOPE,
    "unseen": ENVELOPE + '<circle cx="19" cy="6" r="2.5" fill="#e05a2b" stroke="none"/>',
    "mail_new": ENVELOPE + '<path d="M17 1.5v5M14.5 4h5"/>',
    "mail_receive": '<path d="M3 13v7h18v-7"/><path d="M3 13h5l1.5 3h5L16 13h5"/><path d="M12 3v8M8.5 7.5L12 11l3.5-3.5"/>',
    "mail_send": '<path d="M21 3L3 10.5l7 2.5 2.5 7z"/><path d="M21 3L10 13"/>',
    "mail_draft": PAGE + '<path d="M9 12h6M9 15.5h6"/>',
    "mail_delete": ENVELOPE + '<path d="M15 15l5 5M20 15l-5 5"/>',
    "mail_restore": '<path d="M5 8h10a5 5 0 0 1 0 10H8"/><path d="M8.5 4.5L5 8l3.5 3.5"/>',
    "text_bold": '<path d="M7 4h6a4 4 0 0 1 0 8H7zM7 12h7a4 4 0 0 1 0 8H7z" stroke-width="2.6"/>',
    "text_italic": '<path d="M10 4h8M6 20h8M14 4l-4 16"/>',
    "text_underline": '<path d="M7 4v7a5 5 0 0 0 10 0V4"/><path d="M5 21h14"/>',
    "text_strikeout": '<path d="M16.5 7a4.5 3.5 0 0 0-9 .5c0 2 2 3 4.5 3.5"/><path d="M4 12h16"/>'
                      '<path d="M8 17a4.5 3.5 0 0 0 9 0c0-1-.4-1.8-1.2-2.5"/>',
    "text_left": '<path d="M4 6h16M4 10h10M4 14h16M4 18h10"/>',
    "text_center": '<path d="M4 6h16M7 10h10M4 14h16M7 18h10"/>',
    "text_right": '<path d="M4 6h16M10 10h10M4 14h16M10 18h10"/>',
    "text_fill": '<path d="M4 6h16M4 10h16M4 14h16M4 18h16"/>',
    "text_copy": '<rect x="8" y="8" width="12" height="13" rx="1.5"/><path d="M16 8V4.5A1.5 1.5 0 0 0 14.5 3h-9A1.5 1.5 0 0 0 4 4.5v11A1.5 1.5 0 0 0 5.5 17H8"/>',
    "text_cut": '<circle cx="6.5" cy="17.5" r="3"/><circle cx="17.5" cy="17.5" r="3"/><path d="M8.7 15.4L18 3M15.3 15.4L6 3"/>',
    "text_paste": '<rect x="5" y="4" width="14" height="17" rx="1.5"/><rect x="9" y="2.5" width="6" height="3.5" rx="1"/>'
                  '<path d="M8.5 11h7M8.5 15h7"/>',
    "list_marked": '<path d="M10 6h10M10 12h10M10 18h10"/><circle cx="5" cy="6" r="1.2" fill="{s}"/>'
                   '<circle cx="5" cy="12" r="1.2" fill="{s}"/><circle cx="5" cy="18" r="1.2" fill="{s}"/>',
    "list_numeric": '<path d="M10 6h10M10 12h10M10 18h10"/><path d="M4 4.5l1.5-1v5" stroke-width="1.5"/>'
                    '<path d="M3.8 10.8a1.3 1.3 0 0 1 2.4.6c0 .9-2.4 2-2.4 3h2.6" stroke-width="1.5"/>'
                    '<path d="M3.8 16.2h2.3l-1.2 1.5a1.2 1.2 0 1 1-1.2 1.8" stroke-width="1.5"/>',
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "src/qml/images"
    os.makedirs(out, exist_ok=True)
    for name, body in sorted(ICONS.items()):
        svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24" '
               'fill="none" stroke="{s}" stroke-width="1.8" stroke-linecap="round" '
               'stroke-linejoin="round">{b}</svg>\n').format(s=STROKE, b=body.replace("{s}", STROKE))
        with open(os.path.join(out, name + ".svg"), "w") as f:
            f.write(svg)
    print(len(ICONS), "icons")


if __name__ == "__main__":
    main()
