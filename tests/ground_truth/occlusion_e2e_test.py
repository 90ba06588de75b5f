"""Occlusion masks, object ids, unknown disparity and the scoring of results, against the real
bench: a narrow block stands 0.7 before the lattice's far wall (1.5 away), so the band of wall
that one eye sees beside it and the other does not is f B / 0.7 - f B / 1.5 pixels wide. A
second pose looks out of the enclosure at nothing."""

import os
import shutil
import sys
import time
import unittest

import cv2
import numpy

from running_bench import (DISPARITY_EXAMPLE, FOCAL, HEADLESS, BenchTestCase, objects_scene,
                           read_image as read, run_ok, scores)

POSE = (2.0, 2.3, 90.0)
NOTHING = (2.0, 6.0, 90.0)
WALL, BLOCK = FOCAL * 0.1 / 1.5, FOCAL * 0.1 / 0.7  # disparities in pixels
ROW = 120  # crosses the block


def runs(row):
    """The row as (value, first column, length) runs."""
    edges = [0] + [x for x in range(1, len(row)) if row[x] != row[x - 1]] + [len(row)]
    return [(int(row[a]), a, b - a) for a, b in zip(edges, edges[1:])]


def write_pfm(path, values):
    with open(path, "wb") as stream:
        stream.write(b"Pf\n%d %d\n-1.0\n" % (values.shape[1], values.shape[0]))
        stream.write(numpy.flipud(values).astype("<f4").tobytes())


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
            with open(self.sample(2, name), "rb") as stream:
                self.assertEqual(stream.read()[len(b"Pf\n320 240\n-1.0\n"):], infinity * 320 * 240)
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
        """--layout middlebury: the MiddEval3 names, the same bytes, scored as well."""
        dataset = self.path("middlebury")
        self.bench.record([POSE], dataset, "--layout", "middlebury")
        sample = os.path.join(dataset, "0001")
        self.assertEqual(sorted(os.listdir(sample)), sorted([
            "im0.png", "im1.png", "disp0GT.pfm", "disp1GT.pfm", "mask0nocc.png", "mask1nocc.png",
            "ids0.png", "ids1.png", "calib.txt", "calib.yml"]))
        for eye in "01":
            with open(os.path.join(sample, "disp%sGT.pfm" % eye), "rb") as ours, \
                    open(self.sample(1, "disp%s.pfm" % eye), "rb") as theirs:
                self.assertEqual(ours.read(), theirs.read(), "disp%sGT.pfm" % eye)
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
            # The window shows the pose once its loop has drawn it.
            deadline = time.monotonic() + 10
            while (not numpy.array_equal(self.left_window_on_screen(), picture) and
                   time.monotonic() < deadline):
                time.sleep(0.1)
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
