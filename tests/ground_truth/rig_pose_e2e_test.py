"""Poses and turns against the real bench, with truth derived by hand: a rig raised, pitched and
rolled at run time above a floor or before a wall, where every pixel's depth follows from where
its ray meets the plane, and a level rig keeps the camera info it always had; slabs turned into
walls about each axis, and an OBJ mesh read y-up, scaled, turned and placed, each 1.5 ahead of
the rig, give the disparity f*B/Z at every pixel, and every pixel's id names the object."""

import math
import os
import pathlib
import unittest

import cv2
import numpy

from running_bench import (CX, CY, FOCAL, WALL_Y, BenchTestCase, camera_info_sizes,
                           objects_scene, read_calibration, read_image, scene)

BASELINE = 0.1
COLUMNS, ROWS = numpy.meshgrid(numpy.arange(320.0), numpy.arange(240.0))
MARGIN = 3  # pixels kept off a plane's horizon or edge, where a pixel may see past it


def disparity(capture):
    """f * baseline / depth of every pixel, top row first."""
    return FOCAL * BASELINE / capture.depth_array().astype(float)


class PoseBench(BenchTestCase):
    def assert_disparity(self, capture, truth, where, what):
        """The capture's disparity equals truth within 0.01 px wherever `where` holds, and the
        ids name the scene's object (2, after the one that sets the colour) there."""
        self.assertGreater(int(where.sum()), 2000, what)
        self.assert_near((disparity(capture) - truth)[where], 0, 0.01, what)
        self.assertTrue(numpy.all(capture.object_ids_array()[where] == 2), what)


class Floor(PoseBench):
    """A textured floor of 100 x 100 whose top lies at z = 0, the rig over its middle looking
    along +y. A pixel whose ray points down by t (its distance below the horizon divided by f)
    meets the floor at a depth of eye height / t, so its disparity is B t f / height."""

    SCENE = objects_scene((1, {"X": -50, "Y": -50, "Z": 0, "WIDTH": 100, "HEIGHT": 100}))

    def test_height_pitch_and_roll_move_the_floor_as_derived(self):
        below_rows = ROWS - CY  # how far each pixel lies below the horizon of a level eye
        right_of = COLUMNS - CX  # the same once the rig is rolled by 90: world down is its right
        cases = [
            # (what, height, pitch, roll, eye, the eye's height, pixels below its horizon)
            ("level at the start height", 0.2, 0, 0, "left", 0.2, below_rows),
            ("raised", 1.0, 0, 0, "right", 1.0, below_rows),
            # Rolled clockwise seen from behind: the left eye rises by half the baseline.
            ("rolled 90", 0.5, 0, 90, "left", 0.55, right_of),
            ("rolled 90", 0.5, 0, 90, "right", 0.45, right_of),
            ("rolled -90", 0.5, 0, -90, "left", 0.45, -right_of),
        ]
        with self.bench.client() as client:
            for what, height, pitch, roll, eye, eye_height, below in cases:
                with self.subTest(what=what, eye=eye):
                    capture = client.capture(eye, (0, 0, 90, height, pitch, roll), ids=True)
                    self.assertEqual(capture.camera.full_pose, (0, 0, 90, height, pitch, roll))
                    floor = below > MARGIN + FOCAL * eye_height / 45
                    truth = BASELINE * below / eye_height
                    self.assert_disparity(capture, truth, floor, what)
                    # Above its horizon the eye sees nothing.
                    sky = below < -MARGIN
                    self.assertTrue(numpy.all(numpy.isinf(capture.depth_array()[sky])), what)
                    self.assertTrue(numpy.all(capture.object_ids_array()[sky] == 0), what)
            # Looking straight down from 1.5, every pixel sees the floor at depth 1.5.
            capture = client.capture("left", (0, 0, 90, 1.5, -90, 0), ids=True)
            self.assert_disparity(capture, FOCAL * BASELINE / 1.5, numpy.ones_like(ROWS, bool),
                                  "looking down")

    def test_set_pose_turns_both_cameras_and_says_so(self):
        pose = (0.5, -0.25, 80, 0.7, -35, 12)
        with self.bench.client() as client:
            client.set_pose(*pose, scene=True)
            for eye in ("left", "right"):
                self.assertEqual(client.describe(eye).full_pose, pose, eye)
                self.assertEqual(client.grab(eye).pixels,
                                 client.capture(eye, pose).colour.pixels, eye)
            # What is left out stays; only the pitch changes.
            client.set_pose(0.5, -0.25, 80, pitch=5)
            self.assertEqual(client.describe("left").full_pose, (0.5, -0.25, 80, 0.7, 5, 12))
            # The tool's pose command says the same.
            self.bench.tool_ok("pose", "1", "2", "45", "--height", "0.3", "--roll", "-20",
                               "--scene")
            self.assertEqual(client.describe("right").full_pose, (1, 2, 45, 0.3, 5, -20))

    def test_camera_info_grows_only_with_the_attitude(self):
        with self.bench.client() as client:
            for attitude, size in (((0.2, 0, 0), 96), ((0.5, 0, 0), 216), ((0.2, 10, 0), 232),
                                   ((0.2, 0, -3), 232), ((0.2, 0, 0), 96)):
                client.set_pose(0, 0, 90, *attitude)
                self.assertEqual(camera_info_sizes(client), [size, size], attitude)


WALL_TOP = 1.0  # the top edge of the far wall


class Wall(PoseBench):
    """The disparity example's lattice, the rig 1.5 before its far wall. Pitched by p, the ray
    of row v (y down from the centre: (v - cy) / f) leaves the eye at an angle p - atan((v -
    cy) / f) above the level; the wall point it meets lies 1.5 ahead along the level heading,
    so its depth Z along the optical axis satisfies Z (cos p + sin p (v - cy) / f) = 1.5 and
    the disparity is B (f cos p + sin p (v - cy)) / 1.5: f B cos p / 1.5 at the image centre."""

    def wall_truth(self, pitch, eye_height):
        """The disparity at every pixel and where the wall is seen, top row first."""
        p = math.radians(pitch)
        down = (ROWS - CY) / FOCAL
        distance = WALL_Y - 2.3
        wall_z = eye_height + distance * numpy.tan(p - numpy.arctan(down))
        seen = numpy.abs(wall_z) < WALL_TOP - 0.05  # the wall spans z = -1 to 1
        return BASELINE * (FOCAL * math.cos(p) + math.sin(p) * (ROWS - CY)) / distance, seen

    def test_a_pitched_rig_sees_the_wall_nearer_by_cos_p(self):
        with self.bench.client() as client:
            for pitch in (0, 20, -25):
                with self.subTest(pitch=pitch):
                    left, right = client.capture_stereo((2, 2.3, 90, 0.2, pitch, 0), ids=True)
                    self.assertEqual(right.camera.full_pose, (2, 2.3, 90, 0.2, pitch, 0))
                    truth, seen = self.wall_truth(pitch, 0.2)
                    self.assertGreater(int(seen.sum()), 20000)
                    self.assert_disparity(left, truth, seen, pitch)
                    centre = disparity(left)[119:121, 150:170].mean()
                    self.assertAlmostEqual(centre, FOCAL * BASELINE * math.cos(math.radians(pitch))
                                           / 1.5, delta=0.01)

    def test_a_six_column_pose_list_records(self):
        dataset = self.path("dataset")
        with self.bench.client() as client:
            client.set_pose(1, 1.5, 90, 0.25, 3, 0)
        self.bench.record("x, y, heading, height, pitch, roll\n2,2.3,90,0.2,20,0\n2,2.3,90\n"
                          "2, 2.3, 90, 0.35\n", dataset)
        self.assertEqual(pathlib.Path(dataset, "poses.csv").read_text(),
                         "sample,x,y,heading,height,pitch,roll\n"
                         "0001,2,2.3,90,0.2,20,0\n0002,2,2.3,90,,,\n0003,2,2.3,90,0.35,,\n")
        # Left out in a list that sets them, pitch and roll are 0 and the height the rig's.
        for sample, pitch, height in (("0001", 20, 0.2), ("0002", 0, 0.25), ("0003", 0, 0.35)):
            with self.subTest(sample=sample):
                folder = os.path.join(dataset, sample)
                written = read_image(os.path.join(folder, "disp0.pfm"))
                truth, seen = self.wall_truth(pitch, height)
                self.assert_near(written[seen], truth[seen], 0.01)
                calibration = read_calibration(folder)
                self.assertEqual(calibration.getNode("eye_height").real(), height)
                self.assertEqual(calibration.getNode("rig_pitch_degrees").isNone(), pitch == 0)
                if pitch:
                    self.assertEqual(calibration.getNode("rig_pitch_degrees").real(), pitch)
        with self.bench.client() as client:
            self.assertEqual(client.describe("left").full_pose, (1, 1.5, 90, 0.25, 3, 0),
                             "the rig goes back to the pose it had")



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
            pathlib.Path(meshes, name).write_text(text)
        cv2.imwrite(os.path.join(meshes, "red.png"), numpy.full((4, 4, 3), (0, 0, 255), "uint8"))

    def test_walls_give_the_disparity_of_their_distance_and_their_ids(self):
        for number, (keys, pose) in enumerate(WALLS, 2):
            for eye in (0, 1):
                with self.subTest(wall=keys, eye=eye):
                    disparity = read_image(self.sample(number - 1, "disp%d.pfm" % eye))
                    self.assert_near(disparity, FOCAL * 0.1 / 1.5, 0.01)
                    ids = read_image(self.sample(number - 1, "ids%d.png" % eye))
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
    unittest.main()
