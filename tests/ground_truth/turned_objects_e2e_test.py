"""Turned objects against the real bench: slabs turned into walls about each of the three axes,
each 1.5 ahead of the rig at one pose, give the disparity f*B/Z at every pixel of both eyes, and
every pixel's id names the wall."""

import math
import os
import subprocess
import sys
import unittest

import cv2
import numpy

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e_real_use"))
from running_bench import bench_on_scene, remove_folder  # noqa: E402

FOCAL = 120 / math.tan(math.radians(22.5))  # a 240-row frame under a 45 degree field of view
BASELINE = 0.1
DISTANCE = 1.5

# Object 1 only sets white; each wall is a 4 x 2.5 slab stood up by its turn, textured so that a
# frame shows it. The rig's pose faces the wall's former top face, 1.5 away, which fills the view.
SCENE = """ALL=4
OBJECT1=1
OBJECT1_R=1
OBJECT1_G=1
OBJECT1_B=1
"""
WALLS = [
    # ROTX 90: the top face in the plane y = 3.8, facing -y, from z = -1 to 1.5.
    ({"X": 0, "Y": 3.8, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90}, (2.0, 2.3, 90.0)),
    # ROTY -90: in the plane x = 10, facing -x, from z = -1 to 3 and y = 5 to 9.
    ({"X": 10, "Y": 5, "Z": -1, "WIDTH": 4, "HEIGHT": 4, "ROTY": -90}, (8.5, 7.0, 0.0)),
    # ROTX 90, then ROTZ 90: in the plane x = -10, facing +x, from y = 5 to 9 and z = -1 to 1.5.
    ({"X": -10, "Y": 5, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90, "ROTZ": 90},
     (-8.5, 7.0, 180.0)),
]


def scene_text():
    lines = [SCENE]
    for number, (keys, _) in enumerate(WALLS, 2):
        keys = dict(keys, TEXTURE="ON", FILE="dots.bmp")
        lines.append("OBJECT%d=1\n" % number)
        lines.extend("OBJECT%d_%s=%s\n" % (number, key, value) for key, value in keys.items())
    return "".join(lines)


class TurnedWalls(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder, cls.bench = bench_on_scene("turned", scene_text(), ["dots.bmp"])

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()
        remove_folder(cls.folder)

    def test_walls_give_the_disparity_of_their_distance_and_their_ids(self):
        listing, dataset = (os.path.join(self.folder, name) for name in ("poses.csv", "dataset"))
        with open(listing, "w") as stream:
            stream.writelines("%r, %r, %r\n" % pose for _, pose in WALLS)
        result = subprocess.run([os.environ["OCULANT_CLIENT_TOOL"], "record", listing, dataset],
                                capture_output=True, text=True, env=self.bench.env)
        self.assertEqual(result.returncode, 0, result.stderr)
        truth = FOCAL * BASELINE / DISTANCE
        for number, (keys, pose) in enumerate(WALLS, 2):
            sample = os.path.join(dataset, "%04d" % (number - 1))
            for eye in (0, 1):
                with self.subTest(wall=keys, eye=eye):
                    disparity = cv2.imread(os.path.join(sample, "disp%d.pfm" % eye),
                                           cv2.IMREAD_UNCHANGED)
                    self.assertEqual(disparity.shape, (240, 320))
                    self.assertLess(float(numpy.max(numpy.abs(disparity - truth))), 0.01)
                    ids = cv2.imread(os.path.join(sample, "ids%d.png" % eye), cv2.IMREAD_UNCHANGED)
                    self.assertEqual(ids.dtype, numpy.uint16)
                    self.assertEqual(numpy.unique(ids).tolist(), [number])


if __name__ == "__main__":
    unittest.main(verbosity=2)
