"""Motion truth against the real bench: a recording's flow and disparity change before a wall 1.5
ahead, moving sideways, forward and turning, checked against the motion worked out here from
the geometry alone; points that a nearer board hides at the next pose have no flow; and
`record --evaluate` scores a made-up flow result as numpy does."""

import math
import os
import unittest

import cv2
import numpy

from running_bench import FOCAL, BenchTestCase, objects_scene, read_image, scores

WIDTH, HEIGHT = 320, 240
CX, CY = (WIDTH - 1) / 2, (HEIGHT - 1) / 2
HALF_BASELINE = 0.05
EYE_HEIGHT = 0.2
BOARD = (21.9, 22.2, 0.0, 0.5, 3.0)  # x from, x to, z from, z to, its face's y



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


def in_view(columns, rows, margin):
    """Where the points' image lies at least margin - 0.5 pixels inside the frame's edges."""
    return ((columns > margin - 1) & (columns < WIDTH - margin) & (rows > margin - 1)
            & (rows < HEIGHT - margin))


def projected(pose, eye, points):
    """Where the eye sees the points: columns, rows and depths."""
    place, right, down, ahead = eye_frame(pose, eye)
    relative = points - place
    depth = relative @ ahead
    return FOCAL * (relative @ right) / depth + CX, FOCAL * (relative @ down) / depth + CY, depth


class Motion(BenchTestCase):
    # Wall 2 stands in the plane y = 3.8 (x 0..4, z -1..1.5), wall 3 the same 20 further along x,
    # with board 4 in front of it: its face in the plane y = 3.0.
    SCENE = objects_scene(
        (1, {"X": 0, "Y": 3.8, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90}),
        (1, {"X": 20, "Y": 3.8, "Z": -1, "WIDTH": 4, "HEIGHT": 2.5, "ROTX": 90}),
        (1, {"X": BOARD[0], "Y": BOARD[4], "Z": BOARD[2], "WIDTH": 0.3, "HEIGHT": 0.5,
             "ROTX": 90}))
    # Sideways, forward and turning before wall 2; sideways before wall 3 behind the board.
    POSES = [(2.0, 2.3, 90.0), (2.1, 2.3, 90.0), (2.1, 2.4, 90.0), (2.1, 2.4, 95.0),
             (22.0, 2.3, 90.0), (22.15, 2.3, 90.0)]

    def truth(self, number, eye):
        flow = cv2.readOpticalFlow(self.sample(number, "flow%d.flo" % eye))
        change = read_image(self.sample(number, "disp%dchange.pfm" % eye))
        depth = FOCAL * 2 * HALF_BASELINE / read_image(self.sample(number, "disp%d.pfm" % eye))
        return flow, change, depth

    def test_flow_and_disparity_change_follow_the_motion(self):
        fb = FOCAL * 2 * HALF_BASELINE
        for number, change in ((1, 0.0), (2, fb / 1.4 - fb / 1.5), (3, None)):
            for eye in (0, 1):
                with self.subTest(sample=number, eye=eye):
                    flow, disparity_change, depth = self.truth(number, eye)
                    self.assertEqual(flow.shape, (HEIGHT, WIDTH, 2))
                    # Worked out here: each pixel's point seen from the next pose.
                    points = scene_points(self.POSES[number - 1], eye, depth)
                    columns, rows, _ = projected(self.POSES[number], eye, points)
                    grid_x, grid_y = numpy.meshgrid(numpy.arange(WIDTH), numpy.arange(HEIGHT))
                    known = numpy.abs(flow[..., 0]) < 1e9
                    # Every point that stays well in view has its motion; none that leaves.
                    self.assertTrue(numpy.all(known[in_view(columns, rows, 1.5)]))
                    self.assertFalse(numpy.any(known & ~in_view(columns, rows, 0.5)))
                    self.assert_near(flow[..., 0][known], (columns - grid_x)[known], 0.01)
                    self.assert_near(flow[..., 1][known], (rows - grid_y)[known], 0.01)
                    if change is not None:
                        self.assert_near(disparity_change[known], change, 0.01)
        # The last pose has no next one.
        self.assertFalse(os.path.exists(self.sample(len(self.POSES), "flow0.flo")))
        self.assertFalse(os.path.exists(self.sample(len(self.POSES), "disp1change.pfm")))

    @numpy.errstate(divide="ignore", invalid="ignore")  # background pixels have no point
    def test_points_the_board_hides_at_the_next_pose_have_no_flow(self):
        flow, change, depth = self.truth(5, 0)
        ids = read_image(self.sample(5, "ids0.png"))
        points = scene_points(self.POSES[4], 0, depth)
        place, _, _, _ = eye_frame(self.POSES[5], 0)
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
        columns, rows, _ = projected(self.POSES[5], 0, points)
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
        mask = read_image(self.sample(1, "mask0nocc.png"))
        result = flow.copy()
        rows = numpy.arange(HEIGHT)[:, None]
        result[..., 0] += numpy.where(rows % 3 == 0, 2.5, 0.5).astype(numpy.float32)
        result[:10] = 1e10  # no result at the top
        cv2.writeOpticalFlow(self.sample(1, "flow0MADE.flo"), result)
        outcome = self.bench.tool_ok("record", "--evaluate", self.sample(1), "--result", "MADE")
        known = numpy.abs(flow[..., 0]) < 1e9
        has = numpy.abs(result[..., 0]) < 1e9
        error = numpy.hypot(*(result - flow).transpose(2, 0, 1))
        row = outcome.stdout.splitlines()[-1].split()
        for columns, pixels in ((row[1:5], known), (row[5:9], known & (mask == 255))):
            bad1, bad2, epe, invalid = scores(error, has, pixels)
            self.assertEqual(columns, ["%.2f%%" % bad1, "%.2f%%" % bad2, "%.3f" % epe,
                                       "%.2f%%" % invalid])


if __name__ == "__main__":
    unittest.main(verbosity=2)
