"""The Python client against the real bench, with the C++ command-line client as the reference."""

import os
import shutil
import subprocess
import unittest

from running_bench import SOURCE_DIR, RunningBench, remove_folder, required_env, scratch_folder



def tool(*args):
    """Runs oculant-client; its output on failure makes the test's message."""
    result = subprocess.run([required_env("OCULANT_CLIENT_TOOL")] + list(args),
                            capture_output=True, text=True, env=AgainstTheBench.bench.env)
    if result.returncode != 0:
        raise AssertionError("oculant-client %s: %s" % (" ".join(args), result.stderr))


class AgainstTheBench(unittest.TestCase):
    bench = None

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch_folder("python-client")
        for name in ("config.txt", "dots.bmp", "checker.bmp", "stripes.bmp"):
            shutil.copy(os.path.join(SOURCE_DIR, "examples", "demo", name), cls.folder)
        cls.bench = RunningBench(cls.folder)

    @classmethod
    def tearDownClass(cls):
        status = cls.bench.stop()
        remove_folder(cls.folder)
        if status != 0:
            raise AssertionError("the bench did not close cleanly on quit (status %d)" % status)

    def setUp(self):
        self.client = self.bench.client()

    def tearDown(self):
        self.client.close()

    def cpp_grab(self, eye):
        path = os.path.join(self.folder, "reference-%s.bmp" % eye)
        tool("grab", eye, "-o", path)
        with open(path, "rb") as bmp:
            return bmp.read()

    def test_frames_steering_and_saves_are_the_cpp_clients(self):
        start = self.client.grab_pair()
        self.assertNotEqual(start[0].pixels, start[1].pixels, "both eyes see the same picture")
        self.assertEqual(start[0].bmp_bytes(), self.cpp_grab("left"))
        self.assertEqual(start[1].bmp_bytes(), self.cpp_grab("right"))
        # The array view and rgb_at both count rows from the top of the picture.
        array = start[0].to_array()
        self.assertEqual(array.shape, (240, 320, 3))
        self.assertEqual(tuple(array[37, 200][::-1]), start[0].rgb_at(200, 37))
        self.assertEqual(bytes(array[239].tobytes()), start[0].pixels[: 3 * 320])

        self.client.set_heading(60)
        self.client.set_position(1.0, 1.5, scene=True)
        moved = self.client.grab_pair()
        self.assertNotEqual(moved[1].pixels, start[1].pixels)
        tool("heading", "90")
        tool("rig", "0.7", "0.7")
        self.assertEqual(self.client.grab("left").pixels, start[0].pixels)
        tool("heading", "60")
        tool("rig", "1.0", "1.5")
        self.assertEqual(self.cpp_grab("right"), moved[1].bmp_bytes())

        self.client.save()
        for name, frame in (("image1.bmp", moved[0]), ("image2.bmp", moved[1])):
            with open(os.path.join(self.folder, name), "rb") as saved:
                self.assertEqual(saved.read(), frame.bmp_bytes())


if __name__ == "__main__":
    unittest.main(verbosity=2)
