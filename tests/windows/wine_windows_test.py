"""The Windows bench under Wine: its three windows as Windows and X see them, and a fourth start
refused with a box that leaves the three running."""

import unittest

from wine_bench import CLASSES, PATIENCE_SECONDS, WineBench, close_error_boxes, wait_until, \
    x_property, x_windows_named

CS_OWNDC = 0x20
CS_VREDRAW_HREDRAW = 0x3
EXPECTED = {  # class: title, outer x, y, width, height
    "oculant": ("Oculant", 0, 0, 800, 600),
    "oculant1": ("Camera 1 Left", 820, 0, 320, 240),
    "oculant2": ("Camera 2 Right", 820, 260, 320, 240),
}


class ThreeWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("windows").start_ready()

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()

    def test_each_class_has_its_window(self):
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
                self.assertEqual(window["icon"], "1")

    def test_three_processes(self):
        pids = {self.bench.window(class_name)["pid"] for class_name in CLASSES}
        self.assertEqual(len(pids), 3)

    def test_x_sees_the_titles(self):
        # Wine names an X window by its Windows title; for WM_CLASS it gives X the program's file
        # name, the same for all three, so the Windows class names are checked above instead.
        for title, *_ in EXPECTED.values():
            with self.subTest(title=title):
                windows = x_windows_named(title)
                self.assertEqual(len(windows), 1)
                self.assertIn('"oculant.exe"', x_property(windows[0], "WM_CLASS"))

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
