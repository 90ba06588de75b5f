"""The Python client against the real bench, with the C++ command-line client as the reference,
and against a fake camera that answers with broken frames."""

import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import unittest

from running_bench import SOURCE_DIR, RunningBench, remove_folder, required_env, scratch_folder

from oculant_client import Bench, BenchError


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


class FakeCamera(threading.Thread):
    """Holds the left camera's class name and answers one frame request with the given header
    and pixel payloads, after first sending the requester an envelope with a wrong magic."""

    HANDLE = 77

    def __init__(self, folder, header, pixels):
        super().__init__(daemon=True)
        self.folder, self.header, self.pixels = folder, header, pixels
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(self.path("window.%d" % self.HANDLE))
        self.listener.listen(4)
        os.symlink("window.%d" % self.HANDLE, self.path("class.oculant1"))
        self.bad_magic_reply = None

    def path(self, name):
        return os.path.join(self.folder, name)

    def send(self, window, envelope, payload):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as conn:
            conn.connect(self.path("window.%d" % window))
            conn.sendall(envelope + payload)
            return conn.recv(8)

    def run(self):
        conn, _ = self.listener.accept()
        with conn:
            _, code, sender, length = struct.unpack("<4sIII", conn.recv(16))
            assert code == 2001 and length == 0
            self.bad_magic_reply = self.send(sender, struct.pack("<4sIII", b"OCUX", 2101, 77, 0), b"")
            self.send(sender, struct.pack("<4sIII", b"OCUM", 2101, 77, len(self.header)), self.header)
            self.send(sender, struct.pack("<4sIII", b"OCUM", 2201, 77, len(self.pixels)), self.pixels)
            conn.sendall(bytes(8))
        self.listener.close()


class AgainstAFakeCamera(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="oculant-fake-camera-")
        os.chmod(self.folder, 0o700)

    def tearDown(self):
        remove_folder(self.folder)

    def grab_from(self, header, pixels):
        camera = FakeCamera(self.folder, header, pixels)
        camera.start()
        try:
            with Bench(self.folder, timeout=20) as client:
                return client.grab("left")
        finally:
            camera.join(20)
            self.assertEqual(camera.bad_magic_reply, b"", "an envelope with a wrong magic was answered")
            for name in ("class.oculant1", "window.%d" % FakeCamera.HANDLE):
                os.unlink(os.path.join(self.folder, name))

    def test_broken_frames_are_refused(self):
        cases = {
            "stride": (struct.pack("<Iiiii", 0, 320, 961, 240, 0), bytes(961 * 240)),
            "pixel bytes": (struct.pack("<Iiiii", 0, 2, 8, 2, 0), bytes(15)),
            "width -4": (struct.pack("<Iiiii", 0, -4, 0, 2, 0), b""),
        }
        for name, (header, pixels) in cases.items():
            with self.subTest(name):
                with self.assertRaises(BenchError):
                    self.grab_from(header, pixels)


if __name__ == "__main__":
    unittest.main(verbosity=2)
