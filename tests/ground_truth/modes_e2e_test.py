"""A headless bench and one under X record the same dataset, byte for byte: colour, depth (as
disparity), masks, object ids and calibration, at sizes other than the default, with a turned
right eye and sensor noise too."""

import os
import unittest

from running_bench import RunningBench, files_of, remove_folder, scratch_folder, wall_scene

POSES = [(2.0, 2.3, 90.0), (1.7, 2.6, 97.5), (2.4, 1.9, 80.25)]
RIGS = {
    "wider": {"CAMERA_WIDTH": 400, "CAMERA_HEIGHT": 300, "CAMERA_FOV": 60, "RIG_BASELINE": 0.25},
    "turned-noisy": {"CAMERA_WIDTH": 640, "CAMERA_HEIGHT": 480, "RIGHT_EYE_YAW": 2,
                     "RIGHT_EYE_PITCH": 1, "RIGHT_EYE_ROLL": -1.5, "CAMERA_NOISE": 3},
}


class BothModes(unittest.TestCase):
    def record_in_mode(self, folder, headless):
        """The dataset of POSES recorded by a bench of the mode, and what record printed."""
        name = "headless" if headless else "x"
        bench = RunningBench(folder, "scene", headless=headless, name=name)
        try:
            dataset = os.path.join(folder, "dataset-" + name)
            result = bench.record(POSES, dataset)
        finally:
            bench.stop()
        return files_of(dataset), result.stdout.replace(dataset, "DATASET")

    def test_headless_and_x_record_the_same_bytes(self):
        for rig, keys in RIGS.items():
            folder = scratch_folder("modes")
            self.addCleanup(remove_folder, folder)
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


if __name__ == "__main__":
    unittest.main(verbosity=2)
