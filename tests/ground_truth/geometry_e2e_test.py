"""Truth worked out here from the geometry alone, against the real bench: occlusion masks, object
ids and unknown disparity of a narrow block 0.7 before the lattice's far wall (1.5 away), so the
band of wall that one eye sees beside it and the other does not is f B / 0.7 - f B / 1.5 pixels
wide; a recording's flow and disparity change before a wall 1.5 ahead, and the points a nearer
board hides at the next pose; a rig raised, pitched and rolled above a floor or before a wall;
slabs turned into walls and an OBJ mesh read y-up, scaled, turned and placed, each 1.5 ahead;
and the scoring of made-up results by `record --evaluate`."""

import math
import os
import pathlib
import shutil
import sys
import unittest

import cv2
import numpy

from running_bench import (CX, CY, DISPARITY_EXAMPLE, FOCAL, HEADLESS, WALL_Y, BenchTestCase,
                           camera_info_sizes, objects_scene, read_calibration, read_image as read,
                           run_ok, scene, scores, wait_until)

POSE = (2.0, 2.3, 90.0)
NOTHING = (2.0, 6.0, 90.0)
WALL, BLOCK = FOCAL * 0.1 / 1.5, FOCAL * 0.1 / 0.7  # disparities in pixels
ROW = 120  # crosses the block


def runs(row):
    """The row as (value, first column, length) runs."""
    edges = [0] + [x for x in range(1, len(row)) if row[x] != row[x - 1]] + [len(row)]
    return [(int(row[a]), a, b - a) for a, b in zip(edges, edges[1:])]


def write_pfm(path, values):
    pathlib.Path(path).write_bytes(b"Pf\n%d %d\n-1.0\n" % (values.shape[1], values.shape[0])
                                   + numpy.flipud(values).astype("<f4").tobytes())


class OcclusionAndIds(BenchTestCase):
    # The block spans x 1.9..2.1 and z 0.15..0.35 (off the middle rows, so that a mask upside
    # down would show), its face at y = 3; the wall's face is at y = 3.8. Both eyes (x 1.95 and
    # 2.05 at height 0.2) lie within the block's sides: they see its face only.
    SCENE = objects_scene((2, {"X": 0, "Y": -1, "Z": 0, "WIDTH": 4, "HEIGHT": 4}),
                          (1, {"X": 1.9, "Y": 3, "Z": 0.35, "WIDTH": 0.2, "HEIGHT": 0.2,
                               "FILE": "checker.bmp"}))
    TEXTURES = ("dots.bmp", "checker.bmp")
    POSES = [POSE, NOTHING]

    def test_masks_ids_and_unknown_disparity(self):
        # The left view: its leftmost columns lie outside the right view, and the wall just left
        # of the block is hidden from the right eye. The right view mirrors it: it is read from
        # its right-hand side.
        for eye, mirrored in (("0", slice(None)), ("1", slice(None, None, -1))):
            with self.subTest(eye=eye):
                ids = read(self.sample(1, "ids%s.png" % eye))
                self.assertEqual(ids.dtype, numpy.uint16)
                self.assertEqual(sorted(numpy.unique(ids)), [2, 3], "the wall and the block")
                disparity = read(self.sample(1, "disp%s.pfm" % eye))
                numpy.testing.assert_array_equal(ids != 0, numpy.isfinite(disparity))
                block = ids[ROW][mirrored] == 3
                self.assertAlmostEqual(block.sum(), 0.2 / 0.7 * FOCAL, delta=1)
                row = runs(read(self.sample(1, "mask%snocc.png" % eye))[ROW][mirrored])
                self.assertEqual([value for value, _, _ in row], [128, 255, 128, 255], row)
                self.assertEqual(row[0][2], round(WALL))
                self.assertLessEqual(abs(row[2][2] - (BLOCK - WALL)), 1.5, row)
                self.assertEqual(row[3][1], int(numpy.argmax(block)), "the band ends at the block")
        # Looking at nothing: no ground truth anywhere, +inf in the PFM files as Middlebury's.
        infinity = numpy.float32(numpy.inf).tobytes()
        for name in ("disp0.pfm", "disp1.pfm"):
            self.assertEqual(pathlib.Path(self.sample(2, name)).read_bytes(),
                             b"Pf\n320 240\n-1.0\n" + infinity * 320 * 240, name)
        for name in ("mask0nocc.png", "mask1nocc.png", "ids0.png", "ids1.png"):
            self.assertEqual(numpy.count_nonzero(read(self.sample(2, name))), 0, name)

    def test_evaluation_of_a_made_up_result(self):
        truth = read(self.sample(1, "disp0.pfm"))
        result = truth.copy()
        result[0:60] += 1.5  # bad 1.0 only
        result[60:90] -= 3  # bad 2.0 too
        result[90:100] = numpy.inf  # no result
        write_pfm(self.sample(1, "disp0TEST.pfm"), result)
        missing = self.bench.tool("record", "--evaluate", self.dataset, "--result", "TEST")
        self.assertEqual(missing.returncode, 1)
        self.assertIn("no disp0TEST.pfm in sample 0002", missing.stderr)
        write_pfm(self.sample(2, "disp0TEST.pfm"), numpy.full((240, 320), numpy.nan))
        # A sample a killed recording left unfinished is hidden, and not scored.
        os.makedirs(os.path.join(self.dataset, ".0003.partial"), exist_ok=True)
        shutil.copy(self.sample(1, "disp0.pfm"), os.path.join(self.dataset, ".0003.partial"))
        scored = self.bench.tool_ok("record", "--evaluate", self.dataset, "--result", "TEST")
        mask = read(self.sample(1, "mask0nocc.png"))
        have = numpy.isfinite(result)
        error = numpy.abs(numpy.where(have, result, 0) - truth)
        expected = (scores(error, have, numpy.isfinite(truth)) + scores(error, have, mask == 255))
        rows = {line.split()[0]: line.replace("%", " ").split()[1:]
                for line in scored.stdout.splitlines()}
        for name in ("0001", "overall"):  # 0002 adds no pixel to the whole
            numpy.testing.assert_allclose([float(n) for n in rows[name]], expected, atol=0.006,
                                          err_msg=scored.stdout)
        self.assertEqual(rows["0002"], ["-"] * 8, "no ground truth to score")
        # A result older than the truth: made from frames recorded over since.
        os.utime(self.sample(2, "disp0TEST.pfm"), (0, 0))
        stale = self.bench.tool("record", "--evaluate", self.dataset, "--result", "TEST")
        self.assertIn("disp0TEST.pfm is older than the ground truth in 0002:", stale.stderr)
        # The same mask written by another program, with PNG's row filters, scores the same.
        cv2.imwrite(self.sample(1, "mask0nocc.png"), mask)
        again = self.bench.tool("record", "--evaluate", self.dataset, "--result", "TEST")
        self.assertEqual(again.stdout, scored.stdout)
        # The disparity example's matcher, written under Middlebury's name for a result.
        run_ok(sys.executable, DISPARITY_EXAMPLE, "--evaluate", self.dataset, "--write-result",
               "SGBM")
        sgbm = self.bench.tool_ok("record", "--evaluate", self.dataset)
        self.assertIn("disp0SGBM.pfm against the ground truth", sgbm.stdout)

    def left_window_on_screen(self):
        """What the X server shows of the left camera window, as BGR rows from the top."""
        found = run_ok("xdotool", "search", "--name", "Camera 1 Left", env=self.bench.env)
        run_ok("import", "-window", found.stdout.split()[0], self.path("left-window.png"),
               env=self.bench.env)
        return read(self.path("left-window.png"))

    def test_middlebury_layout(self):
        # The MiddEval3 names, the same bytes, scored as well.
        dataset = self.path("middlebury")
        self.bench.record([POSE], dataset, "--layout", "middlebury")
        sample = os.path.join(dataset, "0001")
        self.assertEqual(sorted(os.listdir(sample)), sorted([
            "im0.png", "im1.png", "disp0GT.pfm", "disp1GT.pfm", "mask0nocc.png", "mask1nocc.png",
            "ids0.png", "ids1.png", "calib.txt", "calib.yml"]))
        for eye in "01":
            self.assertEqual(pathlib.Path(sample, "disp%sGT.pfm" % eye).read_bytes(),
                             pathlib.Path(self.sample(1, "disp%s.pfm" % eye)).read_bytes(), eye)
        shutil.copy(os.path.join(sample, "disp0GT.pfm"), os.path.join(sample, "disp0SAME.pfm"))
        scored = self.bench.tool_ok("record", "--evaluate", dataset, "--result", "SAME")
        overall = scored.stdout.splitlines()[-1].split()
        self.assertEqual(overall[1:5], ["0.00%", "0.00%", "0.000", "0.00%"], scored.stdout)
        bad = self.bench.tool("record", dataset + "-poses.csv", dataset, "--layout", "kitti")
        self.assertEqual(bad.returncode, 2)

    @unittest.skipIf(HEADLESS, "a headless bench has no window on a screen to look at")
    def test_the_id_pass_changes_neither_the_frame_nor_the_window(self):
        with self.bench.client() as bench:
            plain = bench.capture("left", POSE)
            picture = plain.colour.to_array()
            wait_until(lambda: numpy.array_equal(self.left_window_on_screen(), picture),
                       "the window to show the pose", 10)
            with_ids = bench.capture("left", POSE, ids=True)
            # At once: the paced loop draws the view again within a quarter of a second, so an
            # id picture shown by mistake would not stay for long.
            numpy.testing.assert_array_equal(self.left_window_on_screen(), picture)
            self.assertEqual(bench.grab("left").pixels, plain.colour.pixels)
        self.assertIsNone(plain.object_ids)
        self.assertEqual(with_ids.colour.pixels, plain.colour.pixels)
        self.assertEqual(with_ids.depth, plain.depth)
        ids = with_ids.object_ids_array()
        self.assertEqual(ids[ROW, 160], 3)
        self.assertEqual(ids[ROW, 5], 2)



WIDTH, HEIGHT = 320, 240
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
        change = read(self.sample(number, "disp%dchange.pfm" % eye))
        depth = FOCAL * 2 * HALF_BASELINE / read(self.sample(number, "disp%d.pfm" % eye))
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
        ids = read(self.sample(5, "ids0.png"))
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
        mask = read(self.sample(1, "mask0nocc.png"))
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
                written = read(os.path.join(folder, "disp0.pfm"))
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
                    disparity = read(self.sample(number - 1, "disp%d.pfm" % eye))
                    self.assert_near(disparity, FOCAL * 0.1 / 1.5, 0.01)
                    ids = read(self.sample(number - 1, "ids%d.png" % eye))
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
