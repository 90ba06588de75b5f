"""Ground truth and the disparity example against the real bench: the rig faces the textured far
wall of a lattice, whose true disparity is known; `oculant-client record` writes a dataset that
OpenCV reads back and its matcher is scored against."""

import os
import re
import subprocess
import sys
import unittest

import cv2
import numpy

from running_bench import (DISPARITY_EXAMPLE, FOCAL, BenchTestCase, files_of, read_calibration,
                           read_image, run_ok, write_poses)

WALL_Y = 3.8  # the inner face of the lattice's far wall in the example's scene
WALL_ROWS = slice(40, 240)  # rows below the top see the wall at these poses
POSES = [(x, y, 90.0) for x in (1.6, 1.9, 2.2, 2.5) for y in (1.6, 1.9, 2.2, 2.5, 2.8)]
CAMERA_MATRIX = [[FOCAL, 0, 159.5], [0, FOCAL, 119.5], [0, 0, 1]]


def read_pfm(path):
    """Checks the layout byte by byte and returns the values top row first."""
    with open(path, "rb") as stream:
        header, data = stream.read(len(b"Pf\n320 240\n-1.0\n")), stream.read()
    assert header == b"Pf\n320 240\n-1.0\n", header
    assert len(data) == 320 * 240 * 4, len(data)
    return numpy.flipud(numpy.frombuffer(data, "<f4").reshape(240, 320))


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
        with open(os.path.join(self.dataset, "poses.csv")) as stream:
            rows = stream.read().split()
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
                with open(os.path.join(sample, "calib.txt")) as stream:
                    fields = dict(line.split("=", 1) for line in stream.read().split("\n") if line)
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

    def test_python_client_captures_depth_and_camera_of_one_pose(self):
        pose = (2.0, 0.5, 90.0)  # the far wall 3.3 ahead; above and below it, nothing
        with self.bench.client() as bench:
            left, right = bench.capture_stereo(pose)
        self.assertEqual((left.camera.pose, right.camera.pose), (pose, pose))
        self.assertIsInstance(right.camera.matrix(), numpy.ndarray)
        numpy.testing.assert_allclose(right.camera.matrix(), CAMERA_MATRIX, rtol=1e-12)
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
