"""The Windows bench under Wine: its three windows as Windows and X see them, and a fourth start
refused with a box that leaves the three running."""

import os
import re
import unittest

from wine_bench import CLASSES, PATIENCE_SECONDS, SOURCE_DIR, WineBench, close_error_boxes, \
    wait_until, x_property, x_windows_named

CS_OWNDC = 0x20
CS_VREDRAW_HREDRAW = 0x3
EXPECTED = {  # class: title, outer x, y, width, height
    "oculant": ("Oculant", 0, 0, 800, 600),
    "oculant1": ("Camera 1 Left", 820, 0, 320, 240),
    "oculant2": ("Camera 2 Right", 820, 260, 320, 240),
}


def xpm_icon_pixels():
    """The bench's icon as 0xAARRGGBB values, rows from the top ("None" is transparent 0)."""
    with open(os.path.join(SOURCE_DIR, "resources", "window_icon.xpm")) as xpm:
        rows = re.findall(r'"([^"]*)"', xpm.read())
    width, height, colours, _ = map(int, rows[0].split())
    palette = {}
    for row in rows[1:1 + colours]:
        value = row[4:]
        palette[row[0]] = 0 if value == "None" else 0xFF000000 | int(value[1:], 16)
    return [palette[char] for row in rows[1 + colours:1 + colours + height] for char in row]


def x_icon_32(window):
    """The 32 x 32 image of a window's _NET_WM_ICON (which may list several sizes)."""
    text = x_property(window, "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON").partition("=")[2]
    values = [int(v) for v in text.replace(",", " ").split()]
    while len(values) >= 2:
        width, height = values[0], values[1]
        if (width, height) == (32, 32):
            return values[2:2 + 32 * 32]
        values = values[2 + width * height:]
    return None


class ThreeWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("windows").start_ready()

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()

    def test_each_class_has_its_window_in_a_process_of_its_own(self):
        pids = set()
        for class_name, (title, x, y, width, height) in EXPECTED.items():
            with self.subTest(class_name=class_name):
                window = self.bench.window(class_name)
                self.assertEqual(window["title"], title)
                self.assertEqual(int(window["x"]), x)
                self.assertEqual(int(window["y"]), y)
                self.assertEqual(int(window["width"]), width)
                self.assertEqual(int(window["height"]), height)
                style = int(window["class_style"])
                self.assertEqual(style & CS_OWNDC, CS_OWNDC)
                self.assertEqual(style & CS_VREDRAW_HREDRAW, CS_VREDRAW_HREDRAW)
                pids.add(window["pid"])
        self.assertEqual(len(pids), 3)

    def test_x_sees_the_titles(self):
        # Wine names an X window by its Windows title; for WM_CLASS it gives X the program's file
        # name, the same for all three, so the Windows class names are checked above instead.
        for title, *_ in EXPECTED.values():
            with self.subTest(title=title):
                windows = x_windows_named(title)
                self.assertEqual(len(windows), 1)
                self.assertIn('"oculant.exe"', x_property(windows[0], "WM_CLASS"))

    def test_x_shows_the_class_icon(self):
        # Wine reads no other process's class icon (GetClassLongPtr answers 0), but it gives X
        # the window's own: the class icon, or Wine's logo if the class had none.
        icon = xpm_icon_pixels()
        for title, *_ in EXPECTED.values():
            with self.subTest(title=title):
                self.assertEqual(x_icon_32(x_windows_named(title)[0]), icon)

    def test_z_fourth_start_is_refused(self):
        fourth = self.bench.start()
        box = wait_until(lambda: [b for b in self.bench.boxes() if b[2] == "Too many program!"],
                         "the box of the fourth start")
        self.assertEqual(box[0][1], "Error")
        wait_until(close_error_boxes, "the box to close")
        status = fourth.wait(PATIENCE_SECONDS)
        self.assertEqual(status, 1)
        for class_name in CLASSES:
            with self.subTest(class_name=class_name):
                self.assertIsNotNone(self.bench.window(class_name))
        self.assertIsNone(self.bench.first.poll())


if __name__ == "__main__":
    unittest.main(verbosity=2)
