"""Generated scenes: as the real bench draws them, plain (slabs and lattices) and in full (turned
objects and meshes), textured, with the backdrop and the generated objects in the eyes' view at
the start pose; and recorded by the dataset recipe (examples/dataset/generate-and-record) on two
tiny scenes over GNU parallel: one sample folder per pose in one dataset that the scoring and
the disparity example read."""

import os
import shutil
import subprocess
import sys
import unittest

import numpy

from running_bench import (SOURCE_DIR, RunningBench, remove_folder, required_env, run_ok,
                           scratch_folder)

sys.path.insert(0, os.path.join(SOURCE_DIR, "examples", "stereo_disparity"))
import stereo_disparity  # noqa: E402

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


class GeneratedScenes(unittest.TestCase):
    def test_objects_are_in_view_and_textured(self):
        folder = scratch_folder("generated")
        self.addCleanup(remove_folder, folder)
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


class Recipe(unittest.TestCase):
    def test_two_scenes_make_one_dataset(self):
        folder = scratch_folder("recipe")
        self.addCleanup(remove_folder, folder)
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
