"""Frames from the Windows bench under Wine, fetched through WM_COPYDATA: the replies as the probe
receives them, the same pixels written by oculant-client.exe as BMP and PNG, its message for a
bench that does not answer, and the pixels the Linux build draws of the same scenes."""

import os
import pathlib
import signal
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

from wine_bench import SOURCE_DIR, WineBench
from running_bench import write_poses

CAMERAS = {"oculant1": ("left", 1), "oculant2": ("right", 2)}
# Rig poses (x, y, heading) away from the start: headings whose sine and cosine the C runtimes
# round differently, quarter turns, and positions off the grid.
POSES = [(0, 0, 10), (0, 0, 37.5), (0, 0, 45), (0, 0, 90), (0, 0, 120), (0, 0, 200.3),
         (0, 0, 333.3), (1.3, 0.2, 37.5), (1.3, 0.2, 10), (-2.7, 1.1, 251.7), (0.35, -1.9, 3.3),
         (3.1, 2.9, 181.25), (-0.8, -0.45, 299.9), (2.05, -3.3, 72.6), (-4.4, 0.65, 164.2),
         (0.1, 0.1, 1), (5.5, -0.3, 359.5), (-1.75, 2.25, 17.85), (0.6, 4.2, 270.1),
         (-3.05, -2.6, 128.4), (1.9, 1.45, 58.75), (-0.25, 0.9, 222.2)]

# Poses that see the showcase's meshes from near and far, straight on and askew.
MESH_POSES = [(0.7, 0.7, 90), (0.2, 1.2, 75), (1.6, 0.4, 112.5), (-0.9, 2.0, 58.3)]

# The demo scene's table, shelf and enclosure turned by angles whose sines the C runtimes may round
# differently (a slab about all three axes, one about two, and a lattice), and a sixth object: a
# slab stood up by ROTX 90 into a wall at y = 1.5, from x = 0.5 to 0.9 and z = -0.1 to 0.5, which
# the middle of both eyes' views meets at the start pose; unturned, it would lie below their line.
TURNS = {"OBJECT3_ROTZ": 3.5, "OBJECT4_ROTX": 30, "OBJECT4_ROTZ": -20, "OBJECT5_ROTX": 75.5,
         "OBJECT5_ROTY": 12, "OBJECT5_ROTZ": 200.3, "OBJECT6": 1, "OBJECT6_X": 0.5,
         "OBJECT6_Y": 1.5, "OBJECT6_Z": -0.1, "OBJECT6_WIDTH": 0.4, "OBJECT6_HEIGHT": 0.6,
         "OBJECT6_TEXTURE": "ON", "OBJECT6_FILE": "checker.bmp", "OBJECT6_ROTX": 90}
TURNED_POSES = [(0.7, 0.7, 90), (0, 0, 37.5), (1.3, 0.2, 10), (-0.8, -0.45, 299.9),
                (1.9, 1.45, 58.75), (-0.25, 0.9, 222.2)]


def read(*path):
    return pathlib.Path(*path).read_bytes()


def differ(actual, expected):
    return "%d of %d bytes differ" % (sum(a != b for a, b in zip(actual, expected)), len(expected))


def stride_for_width(width):
    return (width * 3 + 3) // 4 * 4


def png_image_data(data):
    """The decompressed image data of a PNG file."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG signature: %r" % data[:8]
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return zlib.decompress(idat)


def unfiltered_rgb_rows(pixels, width, height):
    """A frame's bottom-up BGR rows as a PNG's top-down RGB rows, each after filter byte 0."""
    stride = stride_for_width(width)
    rows = []
    for row in range(height - 1, -1, -1):
        bgr = pixels[row * stride:row * stride + 3 * width]
        rgb = bytearray(bgr)
        rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))
    return b"".join(rows)


def assert_recorded_as_on_linux(test, bench, values, poses, out, *scene):
    """Records the poses with oculant-client.exe, then the Linux build's bench on the same scene
    (the demo's unless `scene` is "--scene", FOLDER) at the size of the probe's frame `values`
    into `out`, and checks that every eye image has the same bytes."""
    listing = write_poses(os.path.join(bench.folder, "poses.csv"), poses)
    bench.client("record", "poses.csv", "record")
    subprocess.run([os.path.join(SOURCE_DIR, "tests", "with_xvfb"), sys.executable, "-B",
                    os.path.join(os.path.dirname(__file__), "linux_reference_frames.py"),
                    *scene, values["width"], values["height"], out, listing],
                   check=True, timeout=600)
    for number, pose in enumerate(poses, 1):
        for image in ("im0.png", "im1.png"):
            with test.subTest(pose=pose, image=image):
                sample = os.path.join("%04d" % number, image)
                windows = png_image_data(read(bench.folder, "record", sample))
                linux = png_image_data(read(out, "record", sample))
                test.assertEqual(len(windows), len(linux))
                test.assertTrue(windows == linux, differ(windows, linux))


class Frames(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("frame").start_ready()
        cls.addClassCleanup(cls.bench.stop)
        cls.frames = {name: cls.bench.frame(name) for name in CAMERAS}
        cls.clients = {name: cls.bench.window(name) for name in CAMERAS}

    def test_replies_to_a_frame_request(self):
        for name, (_, role) in CAMERAS.items():
            values, pixels = self.frames[name]
            width = int(self.clients[name]["client_width"])
            height = int(self.clients[name]["client_height"])
            for key, expected in (("answered", 1), ("replies", 2), ("header_code", 2100 + role),
                                  ("header_size", 20), ("width", width), ("height", height),
                                  ("stride", stride_for_width(width)),
                                  ("pixels_code", 2200 + role)):
                with self.subTest(camera=name, key=key):
                    self.assertEqual(int(values[key]), expected)
            self.assertEqual(len(pixels), stride_for_width(width) * height, name)

    def test_z_odd_width_pads_rows_with_zeros(self):
        # Last: it resizes the left camera. 301 pixels of 3 bytes make 903, padded to 904.
        self.assertEqual(self.bench.probe("resize", "oculant1", "301", "211")["status"], 0)
        values, pixels = self.bench.frame("oculant1")
        for key, expected in (("width", "301"), ("stride", "904"), ("height", "211")):
            self.assertEqual(values[key], expected, key)
        self.assertEqual(len(pixels), 904 * 211)
        padding = bytes(pixels[row + 903] for row in range(0, len(pixels), 904))
        self.assertEqual(padding, bytes(211))

    def test_client_tool_writes_the_same_frames(self):
        # Both eyes to a Windows path: the side names go into the file name, not the folder's.
        os.mkdir(os.path.join(self.bench.folder, "pair.d"))
        out = self.bench.client("grab", "both", "-o", "pair.d\\frame.bmp")
        left = self.frames["oculant1"][0]
        sides = "%s x %s" % (left["width"], left["height"])
        self.assertEqual(out, "pair.d\\frame-left.bmp: %s\npair.d\\frame-right.bmp: %s\n"
                         % (sides, sides))
        for name, (eye, _) in CAMERAS.items():
            with self.subTest(camera=name):
                data = read(self.bench.folder, "pair.d", "frame-%s.bmp" % eye)
                values, pixels = self.frames[name]
                offset, = struct.unpack_from("<I", data, 10)
                width, height, _, bits, _, size = struct.unpack_from("<iiHHII", data, 18)
                self.assertEqual(width, int(values["width"]))
                self.assertEqual(height, int(values["height"]))
                self.assertEqual(bits, 24)
                self.assertEqual(size, len(pixels))
                self.assertTrue(data[offset:] == pixels, "the BMP holds other pixels")
        # The PNG is written in binary mode: a text-mode write breaks its signature and stream.
        self.bench.client("grab", "left", "-o", "left.png")
        values, pixels = self.frames["oculant1"]
        self.assertEqual(png_image_data(read(self.bench.folder, "left.png")),
                         unfiltered_rgb_rows(pixels, int(values["width"]), int(values["height"])))

    def test_y_a_stopped_camera_is_reported_after_the_time_out(self):
        # Late: it stops the bench's processes for a while.
        stopped = self.bench.processes()
        for pid in stopped:
            os.kill(pid, signal.SIGSTOP)
        try:
            status, _, err = self.bench.client("--timeout", "1", "grab", "left", "-o", "hung.png",
                                               check=False)
        finally:
            for pid in stopped:
                os.kill(pid, signal.SIGCONT)
        self.assertEqual(status, 1)
        self.assertEqual(err, "oculant-client: the left camera is running but did not answer "
                         "within 1 s (stopped or busy)\n")
        self.assertFalse(os.path.exists(os.path.join(self.bench.folder, "hung.png")))

    def test_pixels_equal_the_linux_build(self):
        # Both eyes at the start pose, and recorded by oculant-client at every pose of POSES.
        with tempfile.TemporaryDirectory(prefix="oculant-linux-frames-") as out:
            assert_recorded_as_on_linux(self, self.bench, self.frames["oculant1"][0], POSES, out)
            for name, (eye, _) in CAMERAS.items():
                with self.subTest(camera=name):
                    expected = read(out, eye + ".bin")
                    self.assertTrue(self.frames[name][1] == expected,
                                    differ(self.frames[name][1], expected))


class SceneFrames(unittest.TestCase):
    """Other scenes than the demo's, recorded at a few poses."""

    def assert_recorded_as_on_linux(self, name, poses, scene=None, config=None):
        bench = WineBench(name, config, scene).start_ready()
        self.addCleanup(bench.stop)
        values, _ = bench.frame("oculant1")
        with tempfile.TemporaryDirectory(prefix="oculant-linux-%s-" % name) as out:
            assert_recorded_as_on_linux(self, bench, values, poses, out, "--scene",
                                        scene or bench.folder)
        return bench, int(values["width"]), int(values["height"])

    def test_turned_objects_equal_the_linux_build(self):
        with open(os.path.join(SOURCE_DIR, "examples", "demo", "config.txt")) as demo:
            config = demo.read().replace("ALL=5\n", "ALL=6\n")
        config += "".join("%s=%s\n" % turn for turn in TURNS.items())
        bench, width, height = self.assert_recorded_as_on_linux("turned", TURNED_POSES,
                                                                config=config)
        for image in ("ids0.png", "ids1.png"):
            ids = png_image_data(read(bench.folder, "record", "0001", image))
            # Rows of a filter byte and big-endian 16-bit ids.
            middle = height // 2 * (1 + 2 * width) + 1 + 2 * (width // 2)
            self.assertEqual(ids[middle:middle + 2], b"\0\6", image)

    def test_meshes_equal_the_linux_build(self):
        # The showcase: meshes read from OBJ files with PNG and BMP textures among turned slabs.
        self.assert_recorded_as_on_linux(
            "mesh", MESH_POSES, scene=os.path.join(SOURCE_DIR, "examples", "showcase"))
