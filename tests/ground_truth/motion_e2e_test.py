"""Motion truth against the real bench: a recording's flow and disparity change before a wall 1.5
ahead, moving sideways, forward and turning, checked against the motion worked out here from
the geometry alone; points that a nearer board hides at the next pose have no flow; and
`record --evaluate` scores a made-up flow result as numpy does."""

import math
import os
import sys
import unittest

import cv2
import numpy

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e_real_use"))
from running_bench import bench_on_scene, remove_folder, write_poses  # noqa: E402

WIDTH, HEIGHT = 320, 240
FOCAL = 120 / math.tan(math.radians(22.5))  # 240 rows under a 45 degree field of view
CX, CY = (WIDTH - 1) / 2, (HEIGHT - 1) / 2
HALF_BASELINE = 0.05
EYE_HEIGHT = 0.2
BOARD = (21.9, 22.2, 0.0, 0.5, 3.0)  # x from, x to, z from, z to, its face's y

# Object 1 only sets white. Wall 2 stands in the plane y = 3.8 (x 0..4, z -1..1.5), wall 3 the
# same 20 further along x, with board 4 in front of it: its face in the plane y = 3.0.
SCENE = """ALL=4
OBJECT1=1
OBJECT1_R=1
OBJECT1_G=1
OBJECT1_B=1
"""
OBJECTS = [
    {"X": 0, "Y": 3.8, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90},
    {"X": 20, "Y": 3.8, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90},
    {"X": BOARD[0], "Y": BOARD[4], "Z": BOARD[2], "WIDTH": 0.3, "HEIGHT": 0.5, "ROTX": 90},
]
# Sideways, forward and turning before wall 2; sideways before wall 3 behind the board.
POSES = [(2.0, 2.3, 90.0), (2.1, 2.3, 90.0), (2.1, 2.4, 90.0), (2.1, 2.4, 95.0),
         (22.0, 2.3, 90.0), (22.15, 2.3, 90.0)]


def scene_text():
    lines = [SCENE]
    for number, keys in enumerate(OBJECTS, 2):
        keys = dict(keys, TEXTURE="ON", FILE="dots.bmp")
        lines.append("OBJECT%d=1\n" % number)
        lines.extend("OBJECT%d_%s=%s\n" % (number, key, value) for key, value in keys.items())
    return "".join(lines)


def eye_frame(pose, eye):
    """The eye's place and its right, down and ahead axes in the scene."""
    x, y, heading = pose
    h = math.radians(heading)
    right = numpy.array([math.sin(h), -math.cos(h), 0.0])
    ahead = numpy.array([math.cos(h), math.sin(h), 0.0])
    down = numpy.array([0.0, 0.0, -1.0])
    offset = HALF_BASELINE if eye == 1 else -HALF_BASELINE
    return numpy.array([x, y, EYE_HEIGHT]) + offset * right, right, down, ahead


def scene_points(pose, eye, depth):
    """Every pixel's point in the scene, from its depth along the eye's axis."""
    place, right, down, ahead = eye_frame(pose, eye)
    columns, rows = numpy.meshgrid(numpy.arange(WIDTH), numpy.arange(HEIGHT))
    return (place + depth[..., None] * (ahead + ((columns - CX) / FOCAL)[..., None] * right
                                        + ((rows - CY) / FOCAL)[..., None] * down))


def projected(pose, eye, points):
    """Where the eye sees the points: columns, rows and depths."""
    place, right, down, ahead = eye_frame(pose, eye)
    relative = points - place
    depth = relative @ ahead
    return FOCAL * (relative @ right) / depth + CX, FOCAL * (relative @ down) / depth + CY, depth


def read_pfm(path):
    return cv2.imread(path, cv2.IMREAD_UNCHANGED)


class Motion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder, cls.bench = bench_on_scene("motion", scene_text(), ["dots.bmp"])
        cls.dataset = os.path.join(cls.folder, "dataset")
        listing = write_poses(os.path.join(cls.folder, "poses.csv"), POSES)
        result = cls.bench.tool("record", listing, cls.dataset)
        assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()
        remove_folder(cls.folder)

    def sample(self, number, name):
        return os.path.join(self.dataset, "%04d" % number, name)

    def truth(self, number, eye):
        flow = cv2.readOpticalFlow(self.sample(number, "flow%d.flo" % eye))
        change = read_pfm(self.sample(number, "disp%dchange.pfm" % eye))
        depth = FOCAL * 2 * HALF_BASELINE / read_pfm(self.sample(number, "disp%d.pfm" % eye))
        return flow, change, depth

    def test_flow_and_disparity_change_follow_the_motion(self):
        fb = FOCAL * 2 * HALF_BASELINE
        for number, change in ((1, 0.0), (2, fb / 1.4 - fb / 1.5), (3, None)):
            for eye in (0, 1):
                with self.subTest(sample=number, eye=eye):
                    flow, disparity_change, depth = self.truth(number, eye)
                    self.assertEqual(flow.shape, (HEIGHT, WIDTH, 2))
                    # Worked out here: each pixel's point seen from the next pose.
                    points = scene_points(POSES[number - 1], eye, depth)
                    columns, rows, _ = projected(POSES[number], eye, points)
                    grid_x, grid_y = numpy.meshgrid(numpy.arange(WIDTH), numpy.arange(HEIGHT))
                    inside = ((columns > 0.5) & (columns < WIDTH - 1.5) & (rows > 0.5)
                              & (rows < HEIGHT - 1.5))
                    known = numpy.abs(flow[..., 0]) < 1e9
                    # Every point that stays well in view has its motion; none that leaves.
                    self.assertTrue(numpy.all(known[inside]))
                    self.assertFalse(numpy.any(known & ~((columns > -0.5) & (columns < WIDTH - 0.5)
                                                          & (rows > -0.5) & (rows < HEIGHT - 0.5))))
                    self.assertLess(float(numpy.max(numpy.abs(
                        flow[..., 0][known] - (columns - grid_x)[known]))), 0.01)
                    self.assertLess(float(numpy.max(numpy.abs(
                        flow[..., 1][known] - (rows - grid_y)[known]))), 0.01)
                    if change is not None:
                        self.assertLess(float(numpy.max(numpy.abs(
                            disparity_change[known] - change))), 0.01)
        # The last pose has no next one.
        self.assertFalse(os.path.exists(self.sample(len(POSES), "flow0.flo")))
        self.assertFalse(os.path.exists(self.sample(len(POSES), "disp1change.pfm")))

    @numpy.errstate(divide="ignore", invalid="ignore")  # background pixels have no point
    def test_points_the_board_hides_at_the_next_pose_have_no_flow(self):
        flow, change, depth = self.truth(5, 0)
        ids = cv2.imread(self.sample(5, "ids0.png"), cv2.IMREAD_UNCHANGED)
        points = scene_points(POSES[4], 0, depth)
        place, _, _, _ = eye_frame(POSES[5], 0)
        # Where the ray from the next pose's eye to each wall point crosses the board's plane.
        along = (BOARD[4] - place[1]) / (points[..., 1] - place[1])
        cross_x = place[0] + along * (points[..., 0] - place[0])
        cross_z = place[2] + along * (points[..., 2] - place[2])
        margin = 0.005

        def within(grow):
            return ((cross_x > BOARD[0] - grow) & (cross_x < BOARD[1] + grow)
                    & (cross_z > BOARD[2] - grow) & (cross_z < BOARD[3] + grow))
        wall = ids == 3
        hidden = wall & within(-margin)
        columns, rows, _ = projected(POSES[5], 0, points)
        seen = wall & ~within(margin) & (columns > 0.5) & (columns < WIDTH - 1.5)
        known = numpy.abs(flow[..., 0]) < 1e9
        self.assertGreater(int(numpy.count_nonzero(hidden)), 100)
        self.assertFalse(numpy.any(known[hidden]))
        self.assertTrue(numpy.all(numpy.isinf(change[hidden])))
        self.assertTrue(numpy.all(known[seen]))
        # The board itself stays in view and keeps its motion.
        self.assertTrue(numpy.all(known[(ids == 4) & (columns > 0.5) & (columns < WIDTH - 1.5)]))

    def test_evaluate_scores_a_flow_result_as_numpy_does(self):
        flow, _, _ = self.truth(1, 0)
        mask = cv2.imread(self.sample(1, "mask0nocc.png"), cv2.IMREAD_UNCHANGED)
        result = flow.copy()
        rows = numpy.arange(HEIGHT)[:, None]
        result[..., 0] += numpy.where(rows % 3 == 0, 2.5, 0.5).astype(numpy.float32)
        result[:10] = 1e10  # no result at the top
        cv2.writeOpticalFlow(self.sample(1, "flow0MADE.flo"), result)
        outcome = self.bench.tool("record", "--evaluate", self.sample(1, ""), "--result", "MADE")
        self.assertEqual(outcome.returncode, 0, outcome.stderr)
        known = numpy.abs(flow[..., 0]) < 1e9
        has = numpy.abs(result[..., 0]) < 1e9
        error = numpy.hypot(*(result - flow).transpose(2, 0, 1))
        row = outcome.stdout.splitlines()[-1].split()
        for columns, pixels in ((row[1:5], known), (row[5:9], known & (mask == 255))):
            bad1 = 100 * numpy.count_nonzero(pixels & (~has | (error > 1))) / numpy.count_nonzero(pixels)
            bad2 = 100 * numpy.count_nonzero(pixels & (~has | (error > 2))) / numpy.count_nonzero(pixels)
            epe = float(numpy.mean(error[pixels & has]))
            invalid = 100 * numpy.count_nonzero(pixels & ~has) / numpy.count_nonzero(pixels)
            self.assertEqual(columns, ["%.2f%%" % bad1, "%.2f%%" % bad2, "%.3f" % epe,
                                       "%.2f%%" % invalid])


if __name__ == "__main__":
    unittest.main(verbosity=2)
