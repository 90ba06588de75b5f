"""Ground truth and the disparity example against the real bench: the rig faces the textured far
wall of a lattice, whose true disparity is known; `oculant-client record` writes a dataset that
OpenCV reads back and its matcher is scored against."""

import hashlib
import math
import os
import re
import struct
import subprocess
import sys
import unittest

import cv2
import numpy

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e_real_use"))
from running_bench import (SOURCE_DIR, RunningBench, remove_folder,  # noqa: E402
                           scratch_folder, wall_scene, write_poses)

EXAMPLE = os.path.join(SOURCE_DIR, "examples", "stereo_disparity")
WALL_Y = 3.8  # the inner face of the lattice's far wall in the example's scene
FOCAL = 120 / math.tan(math.radians(22.5))  # a 240-row frame under a 45 degree field of view
WALL_ROWS = slice(40, 240)  # rows below the top see the wall at these poses
POSES = [(x, y, 90.0) for x in (1.6, 1.9, 2.2, 2.5) for y in (1.6, 1.9, 2.2, 2.5, 2.8)]


def read_pfm(path):
    """Checks the layout byte by byte and returns the values top row first."""
    with open(path, "rb") as stream:
        data = stream.read()
    header = b"Pf\n320 240\n-1.0\n"
    assert data.startswith(header), data[:20]
    assert len(data) == len(header) + 320 * 240 * 4, len(data)
    values = numpy.array(struct.unpack("<%df" % (320 * 240), data[len(header):]), numpy.float32)
    return numpy.flipud(values.reshape(240, 320))


class GroundTruth(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = scratch_folder("ground-truth")
        wall_scene(cls.folder)
        cls.bench = RunningBench(cls.folder, "scene")

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()
        remove_folder(cls.folder)

    def rig_pose(self):
        """The "rig at ..." line the client tool prints for the current pose."""
        result = self.bench.tool("calibration", os.path.join(self.folder, "calibration"),
                                 "--overwrite")
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.splitlines()[-1]

    def test_recorded_dataset(self):
        poses = os.path.join(self.folder, "poses.csv")
        with open(poses, "w") as stream:  # a heading row, which record passes over
            stream.write("x, y, heading\n")
            stream.writelines("%r, %r, %r\n" % pose for pose in POSES)
        dataset = os.path.join(self.folder, "dataset")
        rig_before = self.rig_pose()
        result = self.bench.tool("record", poses, dataset)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("recorded 20 samples of 320 x 240", result.stdout)
        # Not a terminal: lines a log can hold, no bar redrawn in place.
        self.assertEqual(result.stderr, "recording 10/20\nrecording 20/20\n")
        self.assertEqual(self.rig_pose(), rig_before)

        with open(os.path.join(dataset, "poses.csv")) as stream:
            rows = stream.read().split()
        self.assertEqual(rows[0], "sample,x,y,heading")
        self.assertEqual([tuple(map(float, row.split(",")[1:])) for row in rows[1:]], POSES)

        for index, (x, y, heading) in enumerate(POSES):
            sample = os.path.join(dataset, "%04d" % (index + 1))
            with self.subTest(sample=sample):
                for name in ("im0.png", "im1.png"):
                    self.assertEqual(cv2.imread(os.path.join(sample, name)).shape, (240, 320, 3))
                truth = f"{FOCAL * 0.1 / (WALL_Y - y):.6f}"
                for name in ("disp0.pfm", "disp1.pfm"):
                    mine = read_pfm(os.path.join(sample, name))
                    theirs = cv2.imread(os.path.join(sample, name), cv2.IMREAD_UNCHANGED)
                    numpy.testing.assert_array_equal(mine, theirs)
                    wall = mine[WALL_ROWS]
                    self.assertLess(float(numpy.max(numpy.abs(wall - float(truth)))), 0.01, name)

                calibration = cv2.FileStorage(os.path.join(sample, "calib.yml"),
                                              cv2.FILE_STORAGE_READ)
                numpy.testing.assert_allclose(
                    calibration.getNode("camera_matrix_right").mat(),
                    [[FOCAL, 0, 159.5], [0, FOCAL, 119.5], [0, 0, 1]], rtol=1e-12)
                self.assertEqual(calibration.getNode("rig_y").real(), y)
                with open(os.path.join(sample, "calib.txt")) as stream:
                    fields = dict(line.split("=", 1) for line in stream.read().split("\n") if line)
                # ndisp lies above the wall's disparity, in steps of 16.
                self.assertEqual((fields["baseline"], fields["width"], int(fields["ndisp"])),
                                 ("0.1", "320", (int(float(truth)) + 16) // 16 * 16))

        # OpenCV's matcher against the truth, on the wall where it can search.
        result = subprocess.run(
            [sys.executable, os.path.join(EXAMPLE, "stereo_disparity.py"), "--evaluate", dataset,
             "--region", "64", "40", "320", "240"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        bad = re.search(r"all 20 samples: bad 1\.0 [\d.]+ %, bad 2\.0 ([\d.]+) %", result.stdout)
        self.assertLess(float(bad.group(1)), 5.0, result.stdout)

    def test_shards_merged_by_copying_equal_one_run(self):
        poses = write_poses(os.path.join(self.folder, "shard-poses.csv"), POSES[:5])

        def record(outdir, *flags, pose_list=poses):
            return self.bench.tool("record", pose_list, outdir, *flags)

        def digests(folder):
            """Every file below folder by its path there, with a digest of its bytes."""
            found = {}
            for top, _, names in os.walk(folder):
                for name in names:
                    with open(os.path.join(top, name), "rb") as stream:
                        found[os.path.relpath(os.path.join(top, name), folder)] = \
                            hashlib.sha256(stream.read()).hexdigest()
            return found

        whole = os.path.join(self.folder, "whole")
        self.assertEqual(record(whole).returncode, 0)
        copied = os.path.join(self.folder, "copied")
        os.makedirs(copied)
        in_place = os.path.join(self.folder, "in-place")
        for number, samples in ((2, ["0002", "0004"]), (1, ["0001", "0003", "0005"])):
            shard = os.path.join(self.folder, "shard%d" % number)
            result = record(shard, "--shard", "%d/2" % number)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(sorted(os.listdir(shard)), samples + ["poses.csv"])
            subprocess.run(["cp", "-r", shard + "/.", copied], check=True)
            # Beside another shard's samples of the same list, no --overwrite is needed.
            result = record(in_place, "--shard", "%d/2" % number)
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(digests(copied), digests(whole))
        self.assertEqual(digests(in_place), digests(whole))

        # A shard's own samples, and another list's, are not recorded over without --overwrite.
        again = record(in_place, "--shard", "1/2")
        self.assertEqual(again.returncode, 1)
        self.assertRegex(again.stderr, "already holds 000[135]; --overwrite records over it")
        other = write_poses(os.path.join(self.folder, "other-poses.csv"),
                            [(x, y, 91.0) for x, y, _ in POSES[:5]])
        mixed = record(os.path.join(self.folder, "shard1"), "--shard", "2/2", pose_list=other)
        self.assertEqual(mixed.returncode, 1)
        self.assertIn("already holds poses.csv;", mixed.stderr)

    def test_a_write_failing_mid_run_keeps_the_samples_before_it_and_no_part_of_another(self):
        # Samples are written while the bench draws the next ones; the third cannot be, as a
        # folder stands where one of its files goes, so the later ones must not stay either.
        poses = os.path.join(self.folder, "failing-poses.csv")
        with open(poses, "w") as stream:
            stream.writelines("%r, %r, %r\n" % pose for pose in POSES[:8])
        dataset = os.path.join(self.folder, "failing")
        blocked = os.path.join(dataset, ".0003.partial", "ids1.png")
        os.makedirs(blocked)
        result = subprocess.run([os.environ["OCULANT_CLIENT_TOOL"], "record", poses, dataset],
                                capture_output=True, text=True, env=self.bench.env)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr.splitlines()[-1], "oculant-client: cannot write " + blocked)
        self.assertEqual(sorted(os.listdir(dataset)), ["0001", "0002", "poses.csv"])
        for sample in ("0001", "0002"):  # ten files, and four of the motion to the next pose
            self.assertEqual(len(os.listdir(os.path.join(dataset, sample))), 14, sample)

    def test_record_names_the_samples_that_see_nothing(self):
        poses = os.path.join(self.folder, "blind-poses.csv")
        with open(poses, "w") as stream:
            stream.write("2, 2.3, 90\n2, -5, 270\n2, 2.3, 90\n2, -6, 270\n")  # out, looking away
        result = self.bench.tool("record", poses, os.path.join(self.folder, "blind"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr.splitlines()[-1], "oculant-client: warning: the left "
                         "camera sees nothing at samples 0002, 0004")

    def test_python_client_captures_depth_and_camera_of_one_pose(self):
        pose = (2.0, 0.5, 90.0)  # the far wall 3.3 ahead; above and below it, nothing
        with self.bench.client() as bench:
            left, right = bench.capture_stereo(pose)
        self.assertEqual((left.camera.pose, right.camera.pose), (pose, pose))
        self.assertIsInstance(right.camera.matrix(), numpy.ndarray)
        numpy.testing.assert_allclose(right.camera.matrix(),
                                      [[FOCAL, 0, 159.5], [0, FOCAL, 119.5], [0, 0, 1]], rtol=1e-12)
        middle = slice(100, 220)  # columns that see neither side wall
        depth, disparity = left.depth_array(), left.disparity_array()
        # Rows count from the top: the wall's top edge (0.8 above the eyes) is nearer the middle
        # row than its bottom edge (1.2 below).
        self.assertTrue(numpy.isinf(depth[45, middle]).all(), depth[45, middle])
        self.assertTrue(numpy.isfinite(depth[200, middle]).all(), depth[200, middle])
        numpy.testing.assert_allclose(depth[60:200, middle], 3.3, rtol=1e-3)
        numpy.testing.assert_allclose(disparity[60:200, middle], FOCAL * 0.1 / 3.3, rtol=1e-3)
        # No disparity where nothing is seen: +inf, as Middlebury's files have it, not 0.
        self.assertTrue(numpy.isposinf(disparity[45, middle]).all(), disparity[45, middle])

    def test_disparity_example_matches_the_geometry(self):
        for rig_x, rig_y in ((2.0, 2.3), (1.5, 2.8)):
            with self.subTest(rig=(rig_x, rig_y)):
                out = os.path.join(self.folder, "disparity-%g-%g.png" % (rig_x, rig_y))
                result = subprocess.run(
                    [sys.executable, os.path.join(EXAMPLE, "stereo_disparity.py"), "--rig",
                     str(rig_x), str(rig_y), "--wall-y", str(WALL_Y), "--out", out],
                    capture_output=True, text=True, env=self.bench.env)
                self.assertEqual(result.returncode, 0, result.stderr)
                measured = float(re.search(r"measured disparity: ([\d.]+) px", result.stdout)[1])
                self.assertLessEqual(abs(measured - FOCAL * 0.1 / (WALL_Y - rig_y)), 0.5, result.stdout)
                self.assertEqual(cv2.imread(out).shape, (240, 320 + 64, 3))  # the map, its scale
                raw = cv2.imread(out[:-len(".png")] + ".pfm", cv2.IMREAD_UNCHANGED)
                self.assertEqual(raw.shape, (240, 320))
                self.assertAlmostEqual(float(numpy.median(raw[60:180, 80:240])), measured, places=3)


if __name__ == "__main__":
    unittest.main(verbosity=2)
