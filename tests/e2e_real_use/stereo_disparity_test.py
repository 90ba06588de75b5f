"""The stereo disparity example against the real bench: the rig faces the far wall of a textured
lattice at known distances, and the disparity OpenCV measures must match f x baseline / depth."""

import math
import os
import re
import shutil
import subprocess
import sys
import unittest

from running_bench import SOURCE_DIR, RunningBench, remove_folder, scratch_folder

EXAMPLE = os.path.join(SOURCE_DIR, "examples", "stereo_disparity")

# The lattice of the example's scene has its far wall's inner face at y = 3.8.
WALL_Y = 3.8


class StereoDisparity(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        try:
            import cv2  # noqa: F401
        except ImportError:
            sys.exit("python3-opencv is missing (scripts/setup installs it)")
        # The scene names its texture as ../demo/dots.bmp: keep that layout.
        cls.folder = scratch_folder("disparity")
        os.makedirs(os.path.join(cls.folder, "stereo_disparity"))
        os.makedirs(os.path.join(cls.folder, "demo"))
        shutil.copy(os.path.join(EXAMPLE, "config.txt"), os.path.join(cls.folder, "stereo_disparity"))
        shutil.copy(os.path.join(SOURCE_DIR, "examples", "demo", "dots.bmp"),
                    os.path.join(cls.folder, "demo"))
        cls.bench = RunningBench(cls.folder, "stereo_disparity")

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()
        remove_folder(cls.folder)

    def run_example(self, rig_x, rig_y, out):
        result = subprocess.run(
            [sys.executable, os.path.join(EXAMPLE, "stereo_disparity.py"),
             "--rig", str(rig_x), str(rig_y), "--wall-y", str(WALL_Y), "--out", out],
            capture_output=True, text=True, env=self.bench.env)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def test_measured_disparity_matches_the_geometry(self):
        import cv2

        focal = 120 / math.tan(math.radians(22.5))
        for rig_x, rig_y in ((2.0, 2.3), (1.5, 2.8)):
            with self.subTest(rig=(rig_x, rig_y)):
                out = os.path.join(self.folder, "disparity-%g-%g.png" % (rig_x, rig_y))
                report = self.run_example(rig_x, rig_y, out)
                measured = float(re.search(r"measured disparity: ([\d.]+) px", report).group(1))
                predicted = float(re.search(r"predicted disparity: ([\d.]+) px", report).group(1))
                matched, total = map(int, re.search(r"(\d+) of (\d+) pixels matched", report).groups())
                self.assertAlmostEqual(predicted, focal * 0.1 / (WALL_Y - rig_y), places=3)
                self.assertLessEqual(abs(measured - predicted), 0.5, report)
                self.assertGreater(matched, 0.9 * total, report)
                self.assertEqual(cv2.imread(out).shape, (240, 320, 3))


if __name__ == "__main__":
    unittest.main(verbosity=2)
