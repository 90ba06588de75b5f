"""scripts/demo without a display: it must leave a stereo pair of the demo scene, fetched from the
bench running headless, and a screenshot taken under X in which the camera windows show that same
pair, and close the bench cleanly both times."""

import os
import sys
import unittest

import cv2

from running_bench import SOURCE_DIR, remove_folder, required_env, run_ok, scratch_folder


class DemoScript(unittest.TestCase):
    def test_without_a_display_it_saves_a_pair_and_a_screenshot(self):
        self.out = scratch_folder("demo-test")
        self.addCleanup(remove_folder, self.out)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        result = run_ok(os.path.join(SOURCE_DIR, "scripts", "demo"), "--build-dir",
                        required_env("OCULANT_BUILD_DIR"), "--out", self.out, env=env, timeout=600)
        self.assertIn("Saved in %s" % self.out, result.stdout)
        left = cv2.imread(os.path.join(self.out, "pair-left.png"))
        right = cv2.imread(os.path.join(self.out, "pair-right.png"))
        screenshot = cv2.imread(os.path.join(self.out, "screenshot.png"))
        self.assertFalse((left == right).all(), "both eyes show the same picture")
        # The demo's textures fill the view: hardly any pixel stays black.
        self.assertLess((left.max(axis=2) == 0).mean(), 0.2)
        # The screenshot spans the three windows, and the camera windows show the saved pair at
        # their places on the screen, counted from the overview's corner.
        self.assertEqual(screenshot.shape[:2], (600, 1140))
        for (x, y), eye in (((820, 0), left), ((820, 260), right)):
            self.assertTrue((screenshot[y : y + 240, x : x + 320] == eye).all())


if __name__ == "__main__":
    sys.exit(unittest.main(verbosity=2))
