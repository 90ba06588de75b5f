#!/usr/bin/env python3
"""oculant-client.exe under Wine against a stand-in camera (fake_camera_win32.exe): a frame
fetched through WM_COPYDATA and written as PNG and BMP, both eyes to Windows paths, and the
messages for a camera that is missing and for one that hangs.

usage: client_exe_test.py OCULANT_CLIENT_EXE FAKE_CAMERA_EXE
Needs DISPLAY (run it under tests/with_xvfb). Uses $WINEPREFIX (or the prefix named in $OCULANT_WINE_PREFIX_FILE) when set, else makes a private
prefix for the run; $WINE names the loader (default /usr/lib/wine/wine64)."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WIDTH, HEIGHT, STRIDE = 5, 3, 16


def expected_rows(role):
    """The fake camera's frame: bottom-up rows of blue, green, red and 0xEE padding."""
    rows = []
    for r in range(HEIGHT):
        row = bytearray(b"\xee" * STRIDE)
        for x in range(WIDTH):
            row[3 * x:3 * x + 3] = bytes([10 + 40 * x + role, 20 + 70 * r, 250 - 30 * x])
        rows.append(bytes(row))
    return rows


def png_rgb_rows(data):
    """The top-down RGB rows of an 8-bit RGB PNG without filters."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos:pos + 4])
        kind, body = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height = header[0], header[1]
    raw = zlib.decompress(idat)
    step = 1 + 3 * width
    return header, [raw[y * step + 1:(y + 1) * step] for y in range(height)], \
        [raw[y * step] for y in range(height)]


class ClientExeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="oculant-client-exe-")
        cls.env = dict(os.environ, WINEDEBUG="-all")
        # Under CTest the run's shared prefix is named in a file.
        if "OCULANT_WINE_PREFIX_FILE" in os.environ:
            with open(os.environ["OCULANT_WINE_PREFIX_FILE"]) as prefix_file:
                cls.env["WINEPREFIX"] = prefix_file.read().strip()
        cls.own_prefix = "WINEPREFIX" not in cls.env
        if cls.own_prefix:
            cls.env["WINEPREFIX"] = os.path.join(cls.work, "prefix")
            subprocess.run([WINE, "wineboot", "-i"], env=cls.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        cls.cameras = []

    @classmethod
    def tearDownClass(cls):
        for camera in cls.cameras:
            if camera.poll() is None:
                camera.kill()
                camera.wait()
        if cls.own_prefix:
            subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), "-k"], env=cls.env)
        shutil.rmtree(cls.work, ignore_errors=True)

    def start_camera(self, class_name, hang_ms=0):
        ready = os.path.join(self.work, class_name + ".ready")
        if os.path.exists(ready):
            os.remove(ready)
        args = [WINE, FAKE_CAMERA, class_name, class_name + ".ready"]
        if hang_ms:
            args.append(str(hang_ms))
        camera = subprocess.Popen(args, cwd=self.work, env=self.env)
        self.cameras.append(camera)
        deadline = time.monotonic() + 60
        while not os.path.exists(ready):
            self.assertIsNone(camera.poll(), "the fake camera ended before its window existed")
            self.assertLess(time.monotonic(), deadline, "the fake camera's window never came")
            time.sleep(0.1)
        return camera

    def client(self, *args):
        run = subprocess.run([WINE, CLIENT] + list(args), cwd=self.work, env=self.env,
                             capture_output=True, text=True, timeout=120)
        return run.returncode, run.stdout.replace("\r\n", "\n"), run.stderr.replace("\r\n", "\n")

    def read(self, name):
        with open(os.path.join(self.work, name), "rb") as file:
            return file.read()

    def test_grab_and_failures(self):
        right = self.start_camera("oculant2")
        # Only the right camera runs: the left one is not found.
        status, _, err = self.client("grab", "left", "-o", "missing.png")
        self.assertEqual(status, 1)
        self.assertEqual(err, "oculant-client: no left camera is running\n")
        self.assertFalse(os.path.exists(os.path.join(self.work, "missing.png")))

        left = self.start_camera("oculant1")
        status, out, err = self.client("grab", "left", "-o", "frame.png")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(out, "frame.png: 5 x 3\n")
        header, rows, filters = png_rgb_rows(self.read("frame.png"))
        self.assertEqual(header, (WIDTH, HEIGHT, 8, 2, 0, 0, 0))
        self.assertEqual(filters, [0] * HEIGHT)
        for y, row in enumerate(rows):
            source = expected_rows(1)[HEIGHT - 1 - y]
            rgb = b"".join(source[3 * x:3 * x + 3][::-1] for x in range(WIDTH))
            self.assertEqual(row, rgb, "PNG row %d" % y)

        status, out, err = self.client("grab", "left", "-o", "frame.bmp")
        self.assertEqual((status, out, err), (0, "frame.bmp: 5 x 3\n", ""))
        bmp = self.read("frame.bmp")
        self.assertEqual(struct.unpack("<ii", bmp[18:26]), (WIDTH, HEIGHT))
        self.assertEqual(bmp[54:], b"".join(expected_rows(1)))

        # Both eyes to a Windows path: the side names go into the file name, not the folder's.
        os.mkdir(os.path.join(self.work, "pair.d"))
        status, out, err = self.client("grab", "both", "-o", "pair.d\\frame.bmp")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(out, "pair.d\\frame-left.bmp: 5 x 3\npair.d\\frame-right.bmp: 5 x 3\n")
        self.assertEqual(self.read("pair.d/frame-left.bmp")[54:], b"".join(expected_rows(1)))
        self.assertEqual(self.read("pair.d/frame-right.bmp")[54:], b"".join(expected_rows(2)))

        status, _, err = self.client("quit", "--cameras")
        self.assertEqual((status, err), (0, ""))
        self.assertEqual(left.wait(timeout=30), 0)
        self.assertEqual(right.wait(timeout=30), 0)
        status, _, err = self.client("grab", "left", "-o", "missing.png")
        self.assertEqual((status, err), (1, "oculant-client: no bench is running\n"))

        # A camera that holds every request for 60 s is reported after the 1 s time-out.
        self.start_camera("oculant1", hang_ms=60000)
        started = time.monotonic()
        status, _, err = self.client("--timeout", "1", "grab", "left", "-o", "hung.png")
        self.assertLess(time.monotonic() - started, 30)
        self.assertEqual(status, 1)
        self.assertEqual(err, "oculant-client: the left camera is running but did not answer "
                         "within 1 s (stopped or busy)\n")
        self.assertFalse(os.path.exists(os.path.join(self.work, "hung.png")))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    CLIENT, FAKE_CAMERA = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1] + sys.argv[3:])
