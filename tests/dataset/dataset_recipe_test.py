"""The dataset recipe (examples/dataset/generate-and-record) on two tiny scenes over GNU
parallel: one sample folder per pose in one dataset that the scoring and the disparity example
read."""

import os
import shutil
import subprocess
import sys
import unittest

from running_bench import SOURCE_DIR, remove_folder, required_env, scratch_folder

sys.path.insert(0, os.path.join(SOURCE_DIR, "examples", "stereo_disparity"))
import stereo_disparity  # noqa: E402

SAMPLES = ["001_0001", "001_0002", "002_0001", "002_0002"]


class Recipe(unittest.TestCase):
    def test_two_scenes_make_one_dataset(self):
        folder = scratch_folder("recipe")
        self.addCleanup(remove_folder, folder)
        dataset = os.path.join(folder, "data set")  # a blank in the name must not split it
        run = subprocess.run(
            [os.path.join(SOURCE_DIR, "examples", "dataset", "generate-and-record"), "--jobs", "2",
             "--seed", "40", "--objects", "4", "--poses", "2", "--size", "64x48", "2", dataset],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, timeout=600)
        self.assertEqual(run.returncode, 0, run.stdout)
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
