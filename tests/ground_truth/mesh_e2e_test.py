"""A mesh from an OBJ file, against the real bench: a textured square 1.5 ahead of the rig, read
y-up, scaled, turned and placed at its anchor, gives f*B/Z at every pixel, its colour from a PNG
texture, and its object number as the id of every pixel."""

import math
import os
import sys
import unittest

import cv2
import numpy

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e_real_use"))
from running_bench import RunningBench, remove_folder, scratch_folder  # noqa: E402

FOCAL = 120 / math.tan(math.radians(22.5))  # a 240-row frame under a 45 degree field of view
POSE = (0.7, 0.7, 90.0)
DEPTH = 1.5

# A square in the file's x-z plane: flat on the ground once read y-up, upright facing the rig
# once turned 90 degrees about x, then turned 30 degrees about y (the view axis), which keeps it
# in its plane; twice as large with SCALE=2 it fills the eye views, its own size would not.
# Object 1 only sets a colour, so the mesh's id is 2.
SCENE = """ALL=2
OBJECT1=1
OBJECT1_R=1
OBJECT1_G=1
OBJECT1_B=1
OBJECT2=3
OBJECT2_FILE=meshes/square.obj
OBJECT2_X=0.7
OBJECT2_Y=%r
OBJECT2_Z=0.2
OBJECT2_SCALE=2
OBJECT2_ROTX=90
OBJECT2_ROTY=30
OBJECT2_TEXTURE=ON
""" % (POSE[1] + DEPTH)
OBJ = """mtllib square.mtl
v -0.6 0 0.6
v 0.6 0 0.6
v 0.6 0 -0.6
v -0.6 0 -0.6
vt 0 0
vt 1 0
vt 1 1
vt 0 1
usemtl red
f 1/1 2/2 3/3 4/4
"""
MTL = "newmtl red\nKd 1 1 1\nmap_Kd red.png\n"


class MeshSquare(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = scratch_folder("mesh")
        meshes = os.path.join(cls.folder, "scene", "meshes")
        os.makedirs(meshes)
        files = {"square.obj": OBJ, "square.mtl": MTL, os.path.join("..", "config.txt"): SCENE}
        for name, text in files.items():
            with open(os.path.join(meshes, name), "w") as stream:
                stream.write(text)
        cv2.imwrite(os.path.join(meshes, "red.png"), numpy.full((4, 4, 3), (0, 0, 255), numpy.uint8))
        cls.bench = RunningBench(cls.folder, "scene")

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()
        remove_folder(cls.folder)

    def test_square_ahead_gives_the_disparity_ids_and_texture_of_the_geometry(self):
        with self.bench.client() as bench:
            captures = bench.capture_stereo(POSE, ids=True)
        for capture in captures:
            with self.subTest(camera=capture.camera.pose):
                depth = capture.depth_array()
                self.assertLess(float(numpy.max(numpy.abs(depth - DEPTH))), 1e-3)
                truth = FOCAL * 0.1 / DEPTH
                disparity = capture.disparity_array()
                self.assertLess(float(numpy.max(numpy.abs(disparity - truth))), 0.01)
                ids = capture.object_ids_array()
                self.assertEqual(set(numpy.unique(ids)), {2})
                colour = capture.colour.to_array()  # BGR
                self.assertGreater(int(colour[120, 160, 2]), 0)
                self.assertEqual(int(numpy.max(colour[:, :, :2])), 0, "not the red texture")


if __name__ == "__main__":
    unittest.main(verbosity=2)
