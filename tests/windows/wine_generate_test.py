"""oculant-scene.exe generate under Wine writes the very files the Linux build writes: the same
seed gives the same scene on any machine."""

import os
import subprocess
import tempfile
import unittest

from wine_bench import WineBench, required_env, stage_file

ARGUMENTS = ["generate", "--seed", "7", "--objects", "20", "--poses", "30"]


def files_of(folder):
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as data:
            files[name] = data.read()
    return files


class Generate(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("generate")

    def tearDown(self):
        self.bench.stop()

    def test_the_same_files_as_on_linux(self):
        result = self.bench.run(stage_file("oculant-scene.exe"), *ARGUMENTS, "scene")
        self.assertEqual(result.returncode, 0, result.stderr)
        with tempfile.TemporaryDirectory() as linux:
            subprocess.run([required_env("OCULANT_SCENE_TOOL")] + ARGUMENTS
                           + [os.path.join(linux, "scene")], check=True, stdout=subprocess.DEVNULL)
            expected = files_of(os.path.join(linux, "scene"))
        windows = files_of(os.path.join(self.bench.folder, "scene"))
        self.assertEqual(sorted(windows), sorted(expected))
        for name in expected:
            with self.subTest(file=name):
                self.assertTrue(windows.get(name) == expected[name], "%s differs" % name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
