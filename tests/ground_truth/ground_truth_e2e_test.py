"""Ground truth against the real bench: datasets `oculant-client record` writes of the textured
far wall of a lattice, whose true disparity is known, read back with OpenCV and scored with the
disparity example; rigs a scene sets up (eye size, field of view, baseline, a turned right eye,
noise), recorded the same under X and headless; generated scenes as the bench draws them; and
the dataset recipe (examples/dataset/generate-and-record) on two tiny scenes."""

import copy
import math
import os
import pathlib
import re
import shutil
import subprocess
import sys
import unittest

import cv2
import numpy

from running_bench import (CX, CY, DISPARITY_EXAMPLE, FOCAL, HEADLESS, PATIENCE_SECONDS,
                           SOURCE_DIR, WALL_Y, BenchTestCase, RunningBench, camera_info_sizes,
                           files_of, read_calibration, read_image, required_env, run_ok,
                           scratch_folder, wait_until, wall_scene, write_poses)

sys.path.insert(0, os.path.dirname(DISPARITY_EXAMPLE))
import stereo_disparity  # noqa: E402

WALL_ROWS = slice(40, 240)  # rows below the top see the wall at these poses
POSES = [(x, y, 90.0) for x in (1.6, 1.9, 2.2, 2.5) for y in (1.6, 1.9, 2.2, 2.5, 2.8)]
CAMERA_MATRIX = [[FOCAL, 0, CX], [0, FOCAL, CY], [0, 0, 1]]


def read_pfm(path):
    """Checks the layout byte by byte and returns the values top row first."""
    header, data = b"Pf\n320 240\n-1.0\n", pathlib.Path(path).read_bytes()
    assert data[:len(header)] == header, data[:len(header)]
    assert len(data) == len(header) + 320 * 240 * 4, len(data)
    return numpy.flipud(numpy.frombuffer(data[len(header):], "<f4").reshape(240, 320))


class GroundTruth(BenchTestCase):
    def rig_pose(self):
        """The "rig at ..." line the client tool prints for the current pose."""
        result = self.bench.tool_ok("calibration", self.path("calibration"), "--overwrite")
        return result.stdout.splitlines()[-1]

    def test_recorded_dataset(self):
        rig_before = self.rig_pose()
        # A heading row, which record passes over.
        result = self.bench.record("x, y, heading\n" + "".join("%r, %r, %r\n" % pose
                                                               for pose in POSES), self.dataset)
        self.assertIn("recorded 20 samples of 320 x 240", result.stdout)
        # Not a terminal: lines a log can hold, no bar redrawn in place.
        self.assertEqual(result.stderr, "recording 10/20\nrecording 20/20\n")
        self.assertEqual(self.rig_pose(), rig_before)
        rows = pathlib.Path(self.dataset, "poses.csv").read_text().split()
        self.assertEqual(rows[0], "sample,x,y,heading")
        self.assertEqual([tuple(map(float, row.split(",")[1:])) for row in rows[1:]], POSES)
        for index, (x, y, heading) in enumerate(POSES, 1):
            sample = self.sample(index)
            with self.subTest(sample=sample):
                for name in ("im0.png", "im1.png"):
                    self.assertEqual(cv2.imread(os.path.join(sample, name)).shape, (240, 320, 3))
                truth = FOCAL * 0.1 / (WALL_Y - y)
                for name in ("disp0.pfm", "disp1.pfm"):
                    mine = read_pfm(os.path.join(sample, name))
                    numpy.testing.assert_array_equal(mine, read_image(os.path.join(sample, name)))
                    self.assert_near(mine[WALL_ROWS], truth, 0.01, name)
                calibration = read_calibration(sample)
                numpy.testing.assert_allclose(calibration.getNode("camera_matrix_right").mat(),
                                              CAMERA_MATRIX, rtol=1e-12)
                self.assertEqual(calibration.getNode("rig_y").real(), y)
                calib_txt = pathlib.Path(sample, "calib.txt").read_text()
                fields = dict(line.split("=", 1) for line in calib_txt.splitlines())
                # ndisp lies above the wall's disparity, in steps of 16.
                self.assertEqual((fields["baseline"], fields["width"], int(fields["ndisp"])),
                                 ("0.1", "320", (int(truth) + 16) // 16 * 16))
        # OpenCV's matcher against the truth, on the wall where it can search.
        result = run_ok(sys.executable, DISPARITY_EXAMPLE, "--evaluate", self.dataset, "--region",
                        "64", "40", "320", "240")
        bad = re.search(r"all 20 samples: bad 1\.0 [\d.]+ %, bad 2\.0 ([\d.]+) %", result.stdout)
        self.assertLess(float(bad.group(1)), 5.0, result.stdout)

    def test_shards_merged_by_copying_equal_one_run(self):
        poses = write_poses(self.path("shard-poses.csv"), POSES[:5])
        whole, copied, in_place = self.path("whole"), self.path("copied"), self.path("in-place")
        self.bench.tool_ok("record", poses, whole)
        os.makedirs(copied)
        for number, samples in ((2, ["0002", "0004"]), (1, ["0001", "0003", "0005"])):
            shard = self.path("shard%d" % number)
            self.bench.tool_ok("record", poses, shard, "--shard", "%d/2" % number)
            self.assertEqual(sorted(os.listdir(shard)), samples + ["poses.csv"])
            subprocess.run(["cp", "-r", shard + "/.", copied], check=True)
            # Beside another shard's samples of the same list, no --overwrite is needed.
            self.bench.tool_ok("record", poses, in_place, "--shard", "%d/2" % number)
        self.assertEqual(files_of(copied), files_of(whole))
        self.assertEqual(files_of(in_place), files_of(whole))
        # A shard's own samples, and another list's, are not recorded over without --overwrite.
        again = self.bench.tool("record", poses, in_place, "--shard", "1/2")
        self.assertEqual(again.returncode, 1)
        self.assertRegex(again.stderr, "already holds 000[135]; --overwrite records over it")
        other = write_poses(self.path("other-poses.csv"), [(x, y, 91.0) for x, y, _ in POSES[:5]])
        mixed = self.bench.tool("record", other, self.path("shard1"), "--shard", "2/2")
        self.assertEqual(mixed.returncode, 1)
        self.assertIn("already holds poses.csv;", mixed.stderr)

    def test_a_write_failing_mid_run_keeps_the_samples_before_it_and_no_part_of_another(self):
        # Samples are written while the bench draws the next ones; the third cannot be, as a
        # folder stands where one of its files goes, so the later ones must not stay either.
        poses = write_poses(self.path("failing-poses.csv"), POSES[:8])
        dataset = self.path("failing")
        blocked = os.path.join(dataset, ".0003.partial", "ids1.png")
        os.makedirs(blocked)
        result = self.bench.tool("record", poses, dataset)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr.splitlines()[-1], "oculant-client: cannot write " + blocked)
        self.assertEqual(sorted(os.listdir(dataset)), ["0001", "0002", "poses.csv"])
        for sample in ("0001", "0002"):  # ten files, and four of the motion to the next pose
            self.assertEqual(len(os.listdir(os.path.join(dataset, sample))), 14, sample)

    def test_record_names_the_samples_that_see_nothing(self):
        # Out of the lattice, looking away.
        result = self.bench.record("2, 2.3, 90\n2, -5, 270\n2, 2.3, 90\n2, -6, 270\n",
                                   self.path("blind"))
        self.assertEqual(result.stderr.splitlines()[-1], "oculant-client: warning: the left "
                         "camera sees nothing at samples 0002, 0004")

    def test_python_client_captures_the_camera_and_no_disparity_where_nothing_is_seen(self):
        with self.bench.client() as bench:
            left, right = bench.capture_stereo((2.0, 0.5, 90.0))  # nothing above the far wall
        self.assertIsInstance(right.camera.matrix(), numpy.ndarray)
        numpy.testing.assert_allclose(right.camera.matrix(), CAMERA_MATRIX, rtol=1e-12)
        # +inf, as Middlebury's files have it, not 0.
        sky = left.disparity_array()[45, 100:220]
        self.assertTrue(numpy.isposinf(sky).all(), sky)

    def test_disparity_example_matches_the_geometry(self):
        for rig_x, rig_y in ((2.0, 2.3), (1.5, 2.8)):
            with self.subTest(rig=(rig_x, rig_y)):
                out = self.path("disparity-%g-%g.png" % (rig_x, rig_y))
                result = run_ok(sys.executable, DISPARITY_EXAMPLE, "--rig", str(rig_x),
                                str(rig_y), "--wall-y", str(WALL_Y), "--out", out,
                                env=self.bench.env)
                measured = float(re.search(r"measured disparity: ([\d.]+) px", result.stdout)[1])
                self.assertLessEqual(abs(measured - FOCAL * 0.1 / (WALL_Y - rig_y)), 0.5,
                                     result.stdout)
                self.assertEqual(cv2.imread(out).shape, (240, 320 + 64, 3))  # the map, its scale
                raw = read_image(out[:-len(".png")] + ".pfm")
                self.assertEqual(raw.shape, (240, 320))
                self.assertAlmostEqual(float(numpy.median(raw[60:180, 80:240])), measured, places=3)



class RigBench(BenchTestCase):
    """The disparity example's wall scene with the class's rig keys added."""

    def check_middlebury_calibration(self, sample, vertical=None):
        """calib.txt read as the Middlebury 2014 format describes it, each field against the
        sample's own files: its images, its true disparities and `vertical`, the |dy| of the
        left view's pixels that both eyes see (zero for a rectified rig)."""
        calib = read_middlebury_calibration(os.path.join(sample, "calib.txt"))
        self.assertTrue(MIDDLEBURY_FIELDS <= set(calib), set(calib))
        height, width = cv2.imread(os.path.join(sample, "im0.png")).shape[:2]
        self.assertEqual((calib["width"], calib["height"]), (width, height))
        (f0, cx0, cy0), (f1, cx1, cy1) = calib["cam0"], calib["cam1"]
        self.assertEqual((f0, cy0), (f1, cy1))
        self.assertAlmostEqual(calib["doffs"], cx1 - cx0, places=12)
        truths = [read_image(os.path.join(sample, "disp%d.pfm" % eye)) for eye in (0, 1)]
        finite = numpy.concatenate([values[numpy.isfinite(values)] for values in truths])
        self.assertGreater(calib["ndisp"], finite.max())
        self.assertEqual(calib["isint"], 0)  # the disparities are exact, not whole numbers
        self.assertTrue(finite.min() - 1 < calib["vmin"] <= finite.min(), calib["vmin"])
        self.assertTrue(finite.max() <= calib["vmax"] < finite.max() + 1, calib["vmax"])
        expected = (0.0, 0.0) if vertical is None else (vertical.mean(), vertical.max())
        self.assertAlmostEqual(calib["dyavg"], expected[0], places=6)
        self.assertAlmostEqual(calib["dymax"], expected[1], places=6)
        return calib


WHOLE_FIELDS = {"width", "height", "ndisp", "isint", "vmin", "vmax"}
MIDDLEBURY_FIELDS = WHOLE_FIELDS | {"cam0", "cam1", "doffs", "baseline", "dyavg", "dymax"}


def read_middlebury_calibration(path):
    """A calib.txt of the Middlebury 2014 stereo datasets: one "name=value" a line; cam0 and cam1
    are 3 x 3 matrices "[f 0 cx; 0 f cy; 0 0 1]" (kept as f, cx, cy), WHOLE_FIELDS whole numbers."""
    calib = {}
    lines = pathlib.Path(path).read_text().splitlines()
    for name, _, value in (line.strip().partition("=") for line in lines if "=" in line):
        if name in ("cam0", "cam1"):
            rows = [row.split() for row in value.strip("[]").split(";")]
            calib[name] = (float(rows[0][0]), float(rows[0][2]), float(rows[1][2]))
        elif name in WHOLE_FIELDS:
            calib[name] = int(value)
        else:  # a real, or the R and T of a pair that is not rectified, kept as text
            calib[name] = value if value.startswith("[") else float(value)
    return calib


def repeated_neighbours(frame):
    """The share of pixels whose right-hand neighbour has the very same bytes."""
    image = frame.to_array().astype(int)
    return float(numpy.mean(numpy.all(image[:, 1:] == image[:, :-1], axis=2)))


class WiderRig(RigBench):
    KEYS = {"CAMERA_WIDTH": 400, "CAMERA_HEIGHT": 300, "CAMERA_FOV": 60, "RIG_BASELINE": 0.25}
    POSES = [(2.0, 2.3, 90.0), (1.7, 2.6, 90.0)]

    def test_disparity_at_the_wall_follows_the_rig(self):
        focal = 150 / math.tan(math.radians(30))
        for index, (x, y, heading) in enumerate(self.POSES, 1):
            sample = self.sample(index)
            with self.subTest(sample=sample):
                self.assertEqual(cv2.imread(os.path.join(sample, "im1.png")).shape, (300, 400, 3))
                wall = read_image(os.path.join(sample, "disp0.pfm"))[20:]
                self.assert_near(wall, focal * 0.25 / (WALL_Y - y), 0.01)
                calib = self.check_middlebury_calibration(sample)
                self.assertEqual(calib["baseline"], 0.25)
                self.assertEqual(calib["cam0"][0], focal)
        # The first 96 bytes say all about a rig whose eyes look in parallel at 0.2.
        with self.bench.client() as client:
            self.assertEqual(camera_info_sizes(client), [96, 96])
            self.assertGreater(repeated_neighbours(client.grab("left")), 0.4, "no noise")


class TurnedRightEye(RigBench):
    KEYS = {"RIGHT_EYE_YAW": 2, "RIGHT_EYE_PITCH": 1, "RIGHT_EYE_ROLL": -1.5, "CAMERA_NOISE": 3,
            "CAMERA_NOISE_SEED": 7}
    POSES = [(2.0, 2.3, 90.0)]

    def test_turn_shows_in_pictures_models_and_calibration(self):
        pose = self.POSES[0]
        with self.bench.client() as client:
            left, right = client.capture_stereo(pose)
            self.assertEqual(camera_info_sizes(client), [216, 216])
        self.assertEqual((right.camera.yaw, right.camera.pitch, right.camera.roll), (2, 1, -1.5))
        # Each left pixel's point, projected into the right eye, has the colour it has on the
        # left, up to the noise; projected as if the right eye were true, it does not.
        rows, columns = numpy.mgrid[20:220:7, 20:300:7]
        depth = left.depth_array()[rows, columns].astype(float)
        left_image, right_image = left.colour.to_array(), right.colour.to_array()

        def mismatch(camera):
            x, y, _ = left.camera.project_to_other_eye(camera, columns, rows, depth)
            x, y = numpy.rint(x).astype(int), numpy.rint(y).astype(int)
            inside = (x >= 0) & (x < 320) & (y >= 0) & (y < 240)
            difference = left_image[rows, columns].astype(int) - right_image[
                y.clip(0, 239), x.clip(0, 319)].astype(int)
            return float(numpy.median(numpy.abs(difference).max(axis=2)[inside]))

        self.assertLess(mismatch(right.camera), 15)
        unturned = copy.copy(right.camera)
        unturned.rotation = left.camera.rotation
        self.assertGreater(mismatch(unturned), 30)
        # The C++ library's files: the true disparity as the Python client has it, and R, T.
        sample, expected = self.sample(1), left.disparity_array(other=right.camera)
        # Turned right by 2 degrees, the right eye sees the middle of the wall further left by
        # about f tan 2.
        focal = left.camera.focal_length
        self.assertAlmostEqual(float(numpy.median(expected[110:130, 150:170])),
                               focal * (0.1 / (WALL_Y - pose[1]) + math.tan(math.radians(2))),
                               delta=0.3)
        written = read_image(os.path.join(sample, "disp0.pfm"))
        numpy.testing.assert_allclose(written, expected, atol=1e-3)
        # The vertical disparity of the points both eyes see, as the Python client projects them.
        seen = read_image(os.path.join(sample, "mask0nocc.png")) == 255
        rows, columns = numpy.nonzero(seen)
        _, y, _ = left.camera.project_to_other_eye(right.camera, columns, rows,
                                                   left.depth_array()[seen].astype(float))
        self.check_middlebury_calibration(sample, vertical=numpy.abs(y - rows))
        calibration = read_calibration(sample)
        turned = numpy.array(right.camera.rotation)
        numpy.testing.assert_allclose(calibration.getNode("R").mat(), turned.T, atol=1e-15)
        numpy.testing.assert_allclose(calibration.getNode("T").mat().ravel(),
                                      turned.T @ [-0.1, 0, 0], atol=1e-15)
        self.assertEqual(calibration.getNode("right_eye_yaw_degrees").real(), 2)

    def test_noise_repeats_for_a_pose(self):
        with self.bench.client() as client:
            client.set_position(2.0, 2.3)
            client.set_heading(90)
            first = client.grab("left")
            client.set_position(1.7, 2.6)
            self.assertNotEqual(client.grab("left").pixels, first.pixels)
            client.set_position(2.0, 2.3)
            self.assertEqual(client.grab("left").pixels, first.pixels)
            captured = client.capture("left", (2.0, 2.3, 90.0))
        self.assertEqual(captured.colour.pixels, first.pixels, "the same noise on every path")
        self.assertLess(repeated_neighbours(first), 0.2, "the noise is there")


@unittest.skipIf(HEADLESS, "a headless bench has no window to resize")
class ResizedWhileRecording(RigBench):
    """Both eye windows resized in the middle of a recording: the samples after that would not
    be of the rig's size, so the recording stops at the first of them and keeps no part of it."""

    def test_the_recording_stops_with_no_half_sample(self):
        listing = write_poses(self.path("poses.csv"),
                              [(2.0, 2.0 + i * 1e-4, 90.0) for i in range(600)])
        dataset = self.path("dataset")
        recording = subprocess.Popen([os.environ["OCULANT_CLIENT_TOOL"], "record", listing,
                                      dataset], stderr=subprocess.PIPE, text=True,
                                     env=self.bench.env)
        wait_until(lambda: os.path.isdir(os.path.join(dataset, "0001")), "the first sample")
        subprocess.run(["xdotool", "search", "--name", "^Camera [12] ", "windowsize", "%@", "200",
                        "150"], check=True, env=self.bench.env)
        _, errors = recording.communicate(timeout=PATIENCE_SECONDS)
        self.assertEqual(recording.returncode, 1, errors)
        # Which check trips depends on where the resize falls: a frame of another size, eyes of
        # two sizes, or a frame caught while its window changed size, whose depth and ids
        # disagree; the capture of the next pose, for the motion, may be the one that meets it.
        self.assertRegex(errors, r"sample \d{4}: (at the next pose, )?(the (left|right) (frame is "
                                 r"200 x 150, not the rig's 320 x 240|view has (no )?depth at \d+ "
                                 r"pixels that show).*the bench did not draw true ground truth|"
                                 r"the left and right cameras differ in size)")
        names = os.listdir(dataset)
        self.assertEqual([name for name in names if name.startswith(".")], [], "a half sample")
        self.assertLess(len(names), 601, "the recording went on")


@unittest.skipIf(HEADLESS, "the test starts a headless bench beside one under X itself")
class BothModes(unittest.TestCase):
    """A headless bench and one under X record the same dataset, byte for byte: colour, depth
    (as disparity), masks, object ids and calibration, for the rigs above at other sizes."""

    POSES = [(2.0, 2.3, 90.0), (1.7, 2.6, 97.5), (2.4, 1.9, 80.25)]

    def record_in_mode(self, folder, headless):
        """The dataset of POSES recorded by a bench of the mode, and what record printed."""
        name = "headless" if headless else "x"
        bench = RunningBench(folder, "scene", headless=headless, name=name)
        try:
            dataset = os.path.join(folder, "dataset-" + name)
            result = bench.record(self.POSES, dataset)
        finally:
            bench.stop()
        return files_of(dataset), result.stdout.replace(dataset, "DATASET")

    def test_headless_and_x_record_the_same_bytes(self):
        for rig, keys in (("wider", WiderRig.KEYS), ("turned-noisy", dict(
                TurnedRightEye.KEYS, CAMERA_WIDTH=640, CAMERA_HEIGHT=480))):
            folder = scratch_folder("modes", self)
            wall_scene(folder, keys)
            x_files, x_report = self.record_in_mode(folder, headless=False)
            headless_files, headless_report = self.record_in_mode(folder, headless=True)
            with self.subTest(rig=rig):
                self.assertEqual(headless_report, x_report)
                self.assertEqual(sorted(headless_files), sorted(x_files))
                for name in sorted(x_files):
                    with self.subTest(rig=rig, file=name):
                        self.assertTrue(headless_files.get(name) == x_files[name],
                                        "%s differs between the modes" % name)



SAMPLES = ["001_0001", "001_0002", "002_0001", "002_0002"]
OBJECTS = 8
BACKDROP = 3  # the colour, the wall (object 2), the floor (object 3)


def textured(capture, number):
    """Whether the object's pixels show a texture's sharp edges: neighbours of the object that
    differ by more than lighting changes from one pixel to the next. An object of a few pixels
    may show one colour of its texture only, and passes."""
    ids = capture.object_ids_array()
    if (ids == number).sum() < 400:
        return True
    picture = capture.colour.to_array().astype(int)
    both = (ids[:, 1:] == number) & (ids[:, :-1] == number)
    step = abs(picture[:, 1:] - picture[:, :-1]).max(axis=2)
    return bool((step[both] > 48).any())


@unittest.skipIf(HEADLESS, "it starts its own benches, under X")
class GeneratedScenes(unittest.TestCase):
    def test_objects_are_in_view_and_textured(self):
        folder = scratch_folder("generated", self)
        for kind, flags in (("plain", ["--plain"]), ("full", [])):
            scene = os.path.join(folder, kind)
            subprocess.run([required_env("OCULANT_SCENE_TOOL"), "generate", "--seed", "5",
                            "--objects", str(OBJECTS), *flags, scene], check=True)
            with open(os.path.join(scene, "config.txt")) as stream:
                config = dict(line.rstrip("\n").split("=", 1) for line in stream if "=" in line)
            bench = RunningBench(folder, kind, name="run-" + kind)
            try:
                with bench.client() as client:
                    captures = client.capture_stereo((0.7, 0.7, 90), ids=True)
            finally:
                self.assertEqual(bench.stop(), 0, "the bench's exit status")
            meshes = {n for n in range(1, 31) if config.get("OBJECT%d" % n) == "3"}
            for eye, capture in zip(("left", "right"), captures):
                with self.subTest(scene=kind, eye=eye):
                    ids = set(numpy.unique(capture.object_ids_array()).tolist())
                    self.assertLessEqual({2, 3}, ids, "the wall and the floor")
                    # Objects are placed in the view; a nearer one may hide some of the others.
                    generated = ids & set(range(BACKDROP + 1, BACKDROP + OBJECTS + 1))
                    self.assertGreaterEqual(len(generated), OBJECTS // 2, generated)
                    if kind == "full":
                        self.assertTrue(ids & meshes, "none of the meshes %s" % sorted(meshes))
                    # An untextured mesh shows its material's colour alone.
                    for number in sorted(ids - {0}):
                        if config.get("OBJECT%d_TEXTURE" % number) == "ON":
                            self.assertTrue(textured(capture, number), number)


@unittest.skipIf(HEADLESS, "the recipe starts its own headless benches")
class Recipe(unittest.TestCase):
    def test_two_scenes_make_one_dataset(self):
        folder = scratch_folder("recipe", self)
        dataset = os.path.join(folder, "data set")  # a blank in the name must not split it
        run_ok(os.path.join(SOURCE_DIR, "examples", "dataset", "generate-and-record"), "--jobs",
               "2", "--seed", "40", "--objects", "4", "--poses", "2", "--size", "64x48", "2",
               dataset, timeout=600)
        self.assertEqual(sorted(name for name in os.listdir(dataset) if not name.startswith(".")),
                         SAMPLES + ["scenes"])
        for sample in SAMPLES:
            for name in ("im0.png", "im1.png", "disp0.pfm", "mask0nocc.png", "calib.txt"):
                self.assertTrue(os.path.exists(os.path.join(dataset, sample, name)), (sample, name))
            # A perfect result, to see the scoring find and read every sample.
            shutil.copy(os.path.join(dataset, sample, "disp0.pfm"),
                        os.path.join(dataset, sample, "disp0PERFECT.pfm"))
        for scene in ("001", "002"):
            for name in ("config.txt", "poses.csv", "recorded-poses.csv"):
                self.assertTrue(os.path.exists(os.path.join(dataset, "scenes", scene, name)),
                                (scene, name))
        score = subprocess.run([required_env("OCULANT_CLIENT_TOOL"), "record", "--evaluate",
                                dataset, "--result", "PERFECT"], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, timeout=120)
        self.assertEqual(score.returncode, 0, score.stdout)
        self.assertEqual([line.split()[0] for line in score.stdout.splitlines()[3:]],
                         SAMPLES + ["overall"], score.stdout)
        self.assertEqual([os.path.basename(path)
                          for path in stereo_disparity.sample_folders(dataset)], SAMPLES)


if __name__ == "__main__":
    unittest.main(verbosity=2)
