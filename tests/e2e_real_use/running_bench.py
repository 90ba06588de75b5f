"""Starts the real bench for a test: in a scratch folder, with a runtime folder of its own, under
the X server the test runs with (tests/with_xvfb) or headless, and ends it again; with the scenes,
pose lists and dataset files the end-to-end tests share."""

import contextlib
import math
import os
import pathlib
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import cv2
import numpy

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "clients", "python"))

from oculant_client import Bench, BenchError  # noqa: E402

DISPARITY_EXAMPLE = os.path.join(SOURCE_DIR, "examples", "stereo_disparity", "stereo_disparity.py")

# Only a guard against a hang: nothing checked depends on how fast the bench is.
PATIENCE_SECONDS = 60

# The focal length in pixels of the default eye (240 rows under a 45 degree field of view), and
# its principal point.
FOCAL = 120 / math.tan(math.radians(22.5))
CX, CY = 159.5, 119.5
WALL_Y = 3.8  # the inner face of the far wall of the disparity example's lattice

# Set by CTest for the headless runs of the tests that run in both modes.
HEADLESS = os.environ.get("OCULANT_TEST_HEADLESS") == "1"


def required_env(name):
    value = os.environ.get(name)
    if not value:
        sys.exit("%s is not set (the test is meant to run from CTest)" % name)
    return value


def wait_until(condition, what, seconds=PATIENCE_SECONDS):
    """condition()'s first true value, asked every 0.2 s; a failure after `seconds`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError("still waiting after %d s for %s" % (seconds, what))


def wait_steady(read, what, accept=bool, seconds=PATIENCE_SECONDS):
    """read()'s value once two reads in a row give the same value, one that accept() takes."""
    last = [None]

    def same_again():
        value = read()
        same, last[0] = accept(value) and value == last[0], value
        return value if same else None

    return wait_until(same_again, what, seconds)


def processes_in(folder):
    """Ids of this user's processes working in `folder` or below it."""
    found = []
    for entry in filter(str.isdigit, os.listdir("/proc")):
        try:
            cwd = os.readlink("/proc/%s/cwd" % entry)
        except OSError:
            continue
        if cwd == folder or cwd.startswith(folder + os.sep):
            found.append(int(entry))
    return found


def run_ok(*command, **options):
    """Runs the command to its end, which must succeed; its result, with the output as text."""
    result = subprocess.run(command, capture_output=True, text=True, **options)
    if result.returncode != 0:
        raise AssertionError("%s ended with status %d:\n%s%s" % (
            " ".join(command), result.returncode, result.stdout, result.stderr))
    return result


class RunningBench:
    """The bench running `scene_folder` (a folder name inside `folder`), until stop(); headless
    (no display at all) or on the test's X server."""

    def __init__(self, folder, scene_folder=".", headless=HEADLESS, name="run"):
        self.folder = folder
        self.cwd = os.path.join(folder, scene_folder)
        self.runtime = os.path.join(folder, name)
        self.env = dict(os.environ, OCULANT_RUNTIME_DIR=self.runtime, OCULANT_HEADLESS="1")
        if headless:
            for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
                self.env.pop(variable, None)
        self.log = open(os.path.join(folder, name + ".log"), "wb")
        # A session of its own: the camera processes it starts are ended with it on a failure.
        self.process = subprocess.Popen(
            [required_env("OCULANT_EXECUTABLE")], cwd=self.cwd, env=self.env,
            stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)
        self._wait_for_frames()

    def client(self):
        return Bench(self.runtime)

    def tool(self, *args):
        """oculant-client run against this bench, its output as text."""
        return subprocess.run([required_env("OCULANT_CLIENT_TOOL"), *args], capture_output=True,
                              text=True, env=self.env)

    def tool_ok(self, *args):
        """oculant-client run against this bench, which must succeed; its output as text."""
        return run_ok(required_env("OCULANT_CLIENT_TOOL"), *args, env=self.env)

    def record(self, poses, dataset, *flags):
        """oculant-client record of the poses (rows, or a pose list's text) into dataset, which
        must succeed; its result."""
        listing = dataset + "-poses.csv"
        if isinstance(poses, str):
            pathlib.Path(listing).write_text(poses)
        else:
            write_poses(listing, poses)
        return self.tool_ok("record", listing, dataset, *flags)

    def _wait_for_frames(self):
        # Ready once both cameras answer with a frame and show the same frame twice in a row.
        def pair():
            if self.process.poll() is not None:
                raise RuntimeError("the bench ended at start (status %d)" % self.process.returncode)
            try:
                with self.client() as bench:
                    frames = tuple(frame.pixels for frame in bench.grab_pair())
            except BenchError:
                return None
            return all(frames) and frames

        wait_steady(pair, "steady frames from both cameras")

    def stop(self):
        """Closes the bench through its scene window; the exit status of its first process."""
        try:
            with self.client() as bench:
                bench.quit()
            return self.process.wait(PATIENCE_SECONDS)
        finally:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
            self.log.close()


def post(folder, handle, code, payload):
    """Sends one message to the window with that handle, as a camera posts a reply: taken and
    answered within 2 s, or given up. True when answered."""
    try:
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as conn:
            conn.settimeout(2)
            conn.connect(os.path.join(folder, "window.%d" % handle))
            conn.sendall(b"OCUM" + struct.pack("<III", code, 1, len(payload)) + payload)
            return len(conn.recv(8)) == 8
    except OSError:
        return False


def stand_in_window(test, folder, class_name, answer):
    """Forks a process, ended with the test, that holds the window class as window 77 and hands
    each request to answer(request, the sender's handle) until it returns False; a connection
    that sends nothing is a look whether the window is there. Returns once it listens."""
    ready_read, ready_write = os.pipe()
    pid = os.fork()
    if pid:
        os.close(ready_write)
        os.read(ready_read, 1)
        os.close(ready_read)
        test.addCleanup(os.waitpid, pid, 0)
        test.addCleanup(os.kill, pid, signal.SIGKILL)
        return
    try:
        server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        server.bind(os.path.join(folder, "window.77"))
        server.listen()
        os.symlink("window.77", os.path.join(folder, "class." + class_name))
        os.write(ready_write, b"1")
        while True:
            request, _ = server.accept()
            with request:
                request.settimeout(5)
                envelope = request.recv(16, socket.MSG_WAITALL)
                sender = struct.unpack("<4sIII", envelope)[2] if len(envelope) == 16 else None
                if sender is not None and not answer(request, sender):
                    break
    finally:
        os._exit(0)


def write_poses(path, poses):
    """A pose list of (x, y, heading) rows; its path."""
    pathlib.Path(path).write_text("".join("%r, %r, %r\n" % tuple(pose) for pose in poses))
    return path


def scene(folder, config, textures=(), name="scene"):
    """Writes folder/name/config.txt with the demo's textures beside it; the scene's folder."""
    path = os.path.join(folder, name)
    os.makedirs(path)
    for texture in textures:
        shutil.copy(os.path.join(SOURCE_DIR, "examples", "demo", texture), path)
    pathlib.Path(path, "config.txt").write_text(config)
    return path


def demo_scene(folder):
    """The demo's scene, its textures beside it, in folder/scene."""
    return scene(folder, pathlib.Path(SOURCE_DIR, "examples", "demo", "config.txt").read_text(),
                 ("dots.bmp", "checker.bmp", "stripes.bmp"))


def wall_scene(folder, keys=(), name="scene"):
    """The disparity example's wall scene in folder/name with the keys added, its texture
    beside it where the example names it (../demo/dots.bmp)."""
    os.makedirs(os.path.join(folder, "demo"))
    shutil.copy(os.path.join(SOURCE_DIR, "examples", "demo", "dots.bmp"),
                os.path.join(folder, "demo"))
    text = pathlib.Path(SOURCE_DIR, "examples", "stereo_disparity", "config.txt").read_text()
    return scene(folder, text + "".join("%s=%s\n" % item for item in dict(keys).items()), (), name)


def objects_scene(*objects):
    """config.txt's text of white light (object 1 sets only the colour) and the objects, each
    (kind, {key: value}) and numbered from 2, textured with dots.bmp unless their keys say
    otherwise."""
    text = "ALL=%d\nOBJECT1=1\nOBJECT1_R=1\nOBJECT1_G=1\nOBJECT1_B=1\n" % (len(objects) + 1)
    for number, (kind, keys) in enumerate(objects, 2):
        text += "OBJECT%d=%d\n" % (number, kind) + "".join(
            "OBJECT%d_%s=%s\n" % (number, *item)
            for item in dict({"TEXTURE": "ON", "FILE": "dots.bmp"}, **keys).items())
    return text


def scratch_folder(name, test=None):
    """A new folder, removed at the end of the test when one is given."""
    folder = tempfile.mkdtemp(prefix="oculant-%s-" % name)
    if test is not None:
        test.addCleanup(remove_folder, folder)
    return folder


def remove_folder(folder):
    shutil.rmtree(folder, ignore_errors=True)


class BenchTestCase(unittest.TestCase):
    """Tests against a bench of the class's own, on the scene make_scene() writes: by default
    SCENE (config.txt's text) with TEXTURES beside it, or without SCENE the disparity example's
    wall scene with KEYS added. With POSES, the bench first records them into `dataset`."""

    SCENE, TEXTURES, KEYS, POSES = None, ("dots.bmp",), {}, None

    @classmethod
    def make_scene(cls, folder):
        if cls.SCENE is None:
            wall_scene(folder, cls.KEYS)
        else:
            scene(folder, cls.SCENE, cls.TEXTURES)

    @classmethod
    def setUpClass(cls):
        cls.folder = scratch_folder(cls.__name__)
        cls.addClassCleanup(remove_folder, cls.folder)
        cls.make_scene(cls.folder)
        cls.bench = RunningBench(cls.folder, "scene")
        cls.addClassCleanup(cls.stop_bench)
        cls.dataset = os.path.join(cls.folder, "dataset")
        if cls.POSES:
            cls.bench.record(cls.POSES, cls.dataset)

    @classmethod
    def stop_bench(cls):
        status = cls.bench.stop()
        if status != 0:
            raise AssertionError("the bench did not close cleanly on quit (status %d)" % status)

    def path(self, *names):
        return os.path.join(self.folder, *names)

    def assert_near(self, actual, expected, tolerance, message=None):
        """Every value of actual lies less than tolerance from expected."""
        self.assertLess(float(numpy.max(numpy.abs(actual - expected))), tolerance, message)

    def sample(self, number, name=""):
        """A file of sample `number` of the dataset."""
        return os.path.join(self.dataset, "%04d" % number, name)


def read_image(path):
    """A PNG or PFM file's values as they are stored (16-bit ids, float disparities)."""
    return cv2.imread(path, cv2.IMREAD_UNCHANGED)


def read_calibration(sample):
    """The sample's calib.yml, as OpenCV reads it."""
    return cv2.FileStorage(os.path.join(sample, "calib.yml"), cv2.FILE_STORAGE_READ)


def files_of(folder):
    """Every file under the folder by its relative name, with its bytes."""
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder)] = pathlib.Path(path).read_bytes()
    return found


def camera_info_sizes(client):
    """The byte counts of both cameras' camera infos, as they come off the wire."""
    sizes = []
    for role in (1, 2):
        def on_message(code, payload, role=role):
            if code == 3100 + role:
                sizes.append(len(payload))
        client._send("oculant%d" % role, 3002, b"", on_message)
    return sizes


def scores(error, has, keep):
    """bad 1.0, bad 2.0, the mean error and invalid of a result on the pixels kept, as record
    --evaluate has them: a pixel without a result (not `has`) is bad and invalid, and its error
    is left out of the mean."""
    return [100 * numpy.mean(((error > 1) | ~has)[keep]),
            100 * numpy.mean(((error > 2) | ~has)[keep]),
            float(numpy.mean(error[keep & has])), 100 * numpy.mean(~has[keep])]
