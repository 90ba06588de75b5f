"""Frames from the Windows bench under Wine, fetched through WM_COPYDATA: the replies as the probe
receives them, the same pixels through oculant-client.exe, and the pixels the Linux build draws
of the same scene at the same client size."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

from wine_bench import SOURCE_DIR, WineBench, required_env, stride_for_width

CAMERAS = {"oculant1": ("left", 1), "oculant2": ("right", 2)}


def bmp_fields(data):
    """(width, height, bit count, image size, pixel offset) of a BMP file's headers."""
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, _, size = struct.unpack_from("<iiHHII", data, 18)
    return width, height, bits, size, offset


class Frames(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("frame").start_ready()
        cls.frames = {name: cls.bench.frame(name) for name in CAMERAS}
        cls.clients = {name: cls.bench.window(name) for name in CAMERAS}

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()

    def test_replies_to_a_frame_request(self):
        for name, (_, role) in CAMERAS.items():
            with self.subTest(camera=name):
                values, pixels = self.frames[name]
                width, height = int(values["width"]), int(values["height"])
                self.assertEqual(values["answered"], "1")
                self.assertEqual(values["replies"], "2")
                self.assertEqual(int(values["header_code"]), 2100 + role)
                self.assertEqual(values["header_size"], "20")
                self.assertEqual(width, int(self.clients[name]["client_width"]))
                self.assertEqual(height, int(self.clients[name]["client_height"]))
                self.assertEqual(int(values["stride"]), stride_for_width(width))
                self.assertEqual(int(values["pixels_code"]), 2200 + role)
                self.assertEqual(len(pixels), int(values["stride"]) * height)

    def test_z_odd_width_pads_rows_with_zeros(self):
        # Last: it resizes the left camera. 301 pixels of 3 bytes make 903, padded to 904.
        self.assertEqual(self.bench.probe("resize", "oculant1", "301", "211")["status"], 0)
        values, pixels = self.bench.frame("oculant1")
        self.assertEqual(values["width"], "301")
        self.assertEqual(values["stride"], "904")
        self.assertEqual(values["height"], "211")
        self.assertEqual(len(pixels), 904 * 211)
        padding = bytes(pixels[row + 903] for row in range(0, len(pixels), 904))
        self.assertEqual(padding, bytes(211))

    def test_client_tool_fetches_the_same_frame(self):
        for name, (eye, _) in CAMERAS.items():
            with self.subTest(camera=name):
                self.bench.client("grab", eye, "-o", "%s.bmp" % eye)
                with open(os.path.join(self.bench.folder, "%s.bmp" % eye), "rb") as bmp:
                    data = bmp.read()
                values, pixels = self.frames[name]
                width, height, bits, size, offset = bmp_fields(data)
                self.assertEqual(width, int(values["width"]))
                self.assertEqual(height, int(values["height"]))
                self.assertEqual(bits, 24)
                self.assertEqual(size, len(pixels))
                self.assertTrue(data[offset:] == pixels, "the BMP holds other pixels")

    def test_pixels_equal_the_linux_build(self):
        values, _ = self.frames["oculant1"]
        with tempfile.TemporaryDirectory(prefix="oculant-linux-frames-") as out:
            subprocess.run([os.path.join(SOURCE_DIR, "tests", "with_xvfb"), sys.executable, "-B",
                            os.path.join(os.path.dirname(__file__), "linux_reference_frames.py"),
                            values["width"], values["height"], out], check=True, timeout=300)
            for name, (eye, _) in CAMERAS.items():
                with self.subTest(camera=name):
                    with open(os.path.join(out, eye + ".bin"), "rb") as linux:
                        expected = linux.read()
                    self.assertTrue(self.frames[name][1] == expected,
                                     "%d of %d bytes differ" % (
                                         sum(a != b for a, b in zip(self.frames[name][1], expected)),
                                         len(expected)))


if __name__ == "__main__":
    required_env("OCULANT_EXECUTABLE")
    unittest.main(verbosity=2)
