"""The Windows bench's overview under Wine, driven with real X input as a user would: the keyboard
goes to the overview after the start, five Shift-turns and a drive reach both eyes and the info
panel while the scene keeps answering, F1 shows the third object and F2 saves both eyes' frames.
The panel shows over the overview's GL drawing."""

import collections
import os
import subprocess
import unittest

from wine_bench import PATIENCE_SECONDS, WineBench, wait_until

CAMERAS = ("oculant1", "oculant2")
MSG_EXT_VERSION = "3004"


def xdotool(*args):
    subprocess.run(["xdotool"] + list(args), check=True, timeout=PATIENCE_SECONDS)


def screen(x, y, width, height):
    """The screen's RGB bytes in the rectangle."""
    return subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                           "+repage", "rgb:-"], capture_output=True, check=True,
                          timeout=PATIENCE_SECONDS).stdout


class OverviewInput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("overview").start_ready()
        scene = cls.bench.window("oculant")
        cls.client = tuple(int(scene[key]) for key in ("client_x", "client_y", "client_width",
                                                       "client_height"))

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()

    def assert_scene_answers(self):
        self.assertEqual(self.bench.probe("send", "oculant", MSG_EXT_VERSION)["answered"], "1")

    def poses(self):
        return {name: self.bench.probe("pose", name) for name in CAMERAS}

    def test_1_the_keyboard_goes_to_the_overview(self):
        self.assertEqual(self.bench.probe("focus", "oculant")["focus"], "oculant")

    def test_2_turns_and_a_drive_reach_both_eyes_and_the_panel(self):
        x, y, width, height = self.client
        xdotool("mousemove", str(x + width * 3 // 4), str(y + height // 2))
        xdotool("keydown", "shift")
        try:
            for turn in range(1, 6):  # 20 px to the left add 10 degrees
                xdotool("mousemove_relative", "--", "-20", "0")
                self.assert_scene_answers()
                heading = "%.17g" % (90 + 10 * turn)
                for name in CAMERAS:
                    with self.subTest(turn=turn, camera=name):
                        wait_until(lambda: self.bench.probe("pose", name)["heading"] == heading,
                                   "%s to turn to %s" % (name, heading))
            turned = self.poses()
            xdotool("mousedown", "1")
            try:
                wait_until(lambda: all(self.bench.probe("pose", name)["y"] != turned[name]["y"]
                                       for name in CAMERAS), "both eyes to drive")
            finally:
                xdotool("mouseup", "1")
        finally:
            xdotool("keyup", "shift")
        self.assert_scene_answers()
        previous = [None]

        def settled():
            poses = self.poses()
            same = poses["oculant1"] == poses["oculant2"] and poses == previous[0]
            previous[0] = poses
            return same and poses

        driven = wait_until(settled, "both eyes to settle at the same pose")
        self.assertEqual(driven["oculant1"]["heading"], "140")
        panel = self.bench.probe("panel")
        lines = panel["text"].split("|")
        self.assertEqual(lines[0], "X=%.3f" % float(driven["oculant1"]["x"]))
        self.assertEqual(lines[1], "Y=%.3f" % float(driven["oculant1"]["y"]))
        self.assertEqual(lines[2], "Градус=140.000")

    def test_3_the_panel_shows_over_the_overview(self):
        panel = self.bench.probe("panel")
        self.assertEqual(panel["status"], 0)
        pixels = screen(*(int(panel[key]) for key in ("x", "y", "width", "height")))
        colours = collections.Counter(pixels[i:i + 3] for i in range(0, len(pixels), 3))
        # The dialog's light face and text box, not the overview's dark GL drawing.
        common = colours.most_common(1)[0][0]
        self.assertTrue(min(common) >= 0xC0, "the panel's area is mostly %s" % common.hex())

    def test_4_f1_shows_the_third_object_and_f2_saves_both_eyes(self):
        x, y, width, height = self.client
        before = screen(x, y + height // 4, width, height // 2)
        xdotool("key", "F1")
        self.assert_scene_answers()
        wait_until(lambda: screen(x, y + height // 4, width, height // 2) != before,
                   "the overview to show the third object")
        xdotool("key", "F2")
        self.assert_scene_answers()
        for name in ("image1.bmp", "image2.bmp"):
            with self.subTest(file=name):
                wait_until(lambda: os.path.exists(os.path.join(self.bench.folder, name)), name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
