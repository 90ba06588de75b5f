"""Turned objects against the real bench: slabs turned into walls about each of the three axes,
and a square mesh from an OBJ file read y-up, scaled, turned and placed at its anchor, each 1.5
ahead of the rig at one pose, give the disparity f*B/Z at every pixel of both eyes, and every
pixel's id names the object; the mesh shows its PNG texture."""

import os
import unittest

import cv2
import numpy

from running_bench import FOCAL, BenchTestCase, objects_scene, read_image, scene

# Each wall is a 4 x 2.5 slab stood up by its turn, textured so that a frame shows it. The rig's
# pose faces the wall's former top face, 1.5 away, which fills the view.
WALLS = [
    # ROTX 90: the top face in the plane y = 3.8, facing -y, from z = -1 to 1.5.
    ({"X": 0, "Y": 3.8, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90}, (2.0, 2.3, 90.0)),
    # ROTY -90: in the plane x = 10, facing -x, from z = -1 to 3 and y = 5 to 9.
    ({"X": 10, "Y": 5, "Z": -1, "WIDTH": 4, "HEIGHT": 4, "ROTY": -90}, (8.5, 7.0, 0.0)),
    # ROTX 90, then ROTZ 90: in the plane x = -10, facing +x, from y = 5 to 9 and z = -1 to 1.5.
    ({"X": -10, "Y": 5, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90, "ROTZ": 90},
     (-8.5, 7.0, 180.0)),
]
# A square in the file's x-z plane: flat on the ground once read y-up, upright facing the rig
# once turned 90 degrees about x, then turned 30 degrees about y (the view axis), which keeps it
# in its plane; twice as large with SCALE=2 it fills the eye views, its own size would not. It
# stands behind the rig at the walls' poses.
MESH = {"FILE": "meshes/square.obj", "X": 0.7, "Y": 2.2, "Z": 0.2, "SCALE": 2, "ROTX": 90,
        "ROTY": 30}
MESH_FILES = {
    "square.obj": "mtllib square.mtl\nv -0.6 0 0.6\nv 0.6 0 0.6\nv 0.6 0 -0.6\nv -0.6 0 -0.6\n"
                  "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl red\nf 1/1 2/2 3/3 4/4\n",
    "square.mtl": "newmtl red\nKd 1 1 1\nmap_Kd red.png\n",
}


class TurnedObjects(BenchTestCase):
    SCENE = objects_scene(*[(1, keys) for keys, _ in WALLS], (3, MESH))
    POSES = [pose for _, pose in WALLS]

    @classmethod
    def make_scene(cls, folder):
        meshes = os.path.join(scene(folder, cls.SCENE, cls.TEXTURES), "meshes")
        os.makedirs(meshes)
        for name, text in MESH_FILES.items():
            with open(os.path.join(meshes, name), "w") as stream:
                stream.write(text)
        cv2.imwrite(os.path.join(meshes, "red.png"), numpy.full((4, 4, 3), (0, 0, 255), "uint8"))

    def test_walls_give_the_disparity_of_their_distance_and_their_ids(self):
        for number, (keys, pose) in enumerate(WALLS, 2):
            for eye in (0, 1):
                with self.subTest(wall=keys, eye=eye):
                    disparity = read_image(self.sample(number - 1, "disp%d.pfm" % eye))
                    self.assertEqual(disparity.shape, (240, 320))
                    self.assert_near(disparity, FOCAL * 0.1 / 1.5, 0.01)
                    ids = read_image(self.sample(number - 1, "ids%d.png" % eye))
                    self.assertEqual(ids.dtype, numpy.uint16)
                    self.assertEqual(numpy.unique(ids).tolist(), [number])

    def test_mesh_gives_the_disparity_ids_and_texture_of_the_geometry(self):
        with self.bench.client() as bench:
            captures = bench.capture_stereo((0.7, 0.7, 90.0), ids=True)  # 1.5 before the mesh
        for capture in captures:
            with self.subTest(camera=capture.camera.pose):
                self.assert_near(capture.depth_array(), 1.5, 1e-3)
                self.assert_near(capture.disparity_array(), FOCAL * 0.1 / 1.5, 0.01)
                self.assertEqual(set(numpy.unique(capture.object_ids_array())), {5})
                colour = capture.colour.to_array()  # BGR
                self.assertGreater(int(colour[120, 160, 2]), 0)
                self.assertEqual(int(numpy.max(colour[:, :, :2])), 0, "not the red texture")


if __name__ == "__main__":
    unittest.main(verbosity=2)
