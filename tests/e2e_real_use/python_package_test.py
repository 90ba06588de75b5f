"""The Python client as a user installs it: `pip install ./clients/python` into a fresh virtual
environment (offline, without numpy), imported from outside the source tree, against the real
bench; and from the source archive, which carries the version without the source tree."""

import json
import os
import sys
import unittest

from running_bench import SOURCE_DIR, BenchTestCase, demo_scene, required_env, run_ok

# Runs in the virtual environment, in a folder outside the source tree.
USE_THE_PACKAGE = """
import json, sys, oculant_client
with oculant_client.Bench(sys.argv[1]) as bench:
    bench.grab("left").save_bmp("left.bmp")
    camera = bench.capture("left").camera
    try:
        bench.grab("left").to_array()
        no_numpy = None
    except ImportError as error:
        no_numpy = str(error)
print(json.dumps({"version": oculant_client.__version__, "file": oculant_client.__file__,
                  "matrix": camera.matrix(), "no_numpy": no_numpy, "python": sys.executable}))
"""


PIP_INSTALL = ["-m", "pip", "install", "--no-index", "--no-cache-dir", "--force-reinstall"]


class InstalledWithPip(BenchTestCase):
    make_scene = staticmethod(demo_scene)

    def run_in_venv(self, *args):
        return run_ok(self.path("venv", "bin", "python"), *args, cwd=self.folder).stdout

    def test_installs_offline_and_fetches_frames_from_outside_the_source_tree(self):
        run_ok(sys.executable, "-m", "venv", self.path("venv"))
        self.run_in_venv(*PIP_INSTALL, os.path.join(SOURCE_DIR, "clients", "python"))
        answer = json.loads(self.run_in_venv("-c", USE_THE_PACKAGE, self.bench.runtime))
        with self.bench.client() as client:
            reference = client.grab("left").bmp_bytes()
        self.assertEqual(answer["version"], required_env("OCULANT_VERSION"))
        self.assertTrue(answer["file"].startswith(os.path.join(self.folder, "venv")),
                        answer["file"])
        with open(os.path.join(self.folder, "left.bmp"), "rb") as saved:
            self.assertEqual(saved.read(), reference)
        self.assertEqual(answer["matrix"][2], [0.0, 0.0, 1.0])  # numpy-less: plain lists
        self.assertIn("needs numpy, which this Python (%s) lacks" % answer["python"],
                      answer["no_numpy"])
        # A wheel built from the source archive, far from CMakeLists.txt, keeps the version.
        archive = self.run_in_venv(
            "-B", "-c", "import sys; sys.path.insert(0, sys.argv[1]); import oculant_build; "
                  "print(oculant_build.build_sdist(sys.argv[2]))",
            os.path.join(SOURCE_DIR, "clients", "python"), self.folder).strip()
        self.run_in_venv(*PIP_INSTALL, os.path.join(self.folder, archive))
        self.assertEqual(self.run_in_venv("-c", "import oculant_client as o; print(o.__version__)"),
                         required_env("OCULANT_VERSION") + "\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
