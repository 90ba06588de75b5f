"""Starts the real bench for a test: in a scratch folder, with a runtime folder of its own, under
the X server the test runs with (tests/with_xvfb) or headless, and ends it again."""

import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE_DIR, "clients", "python"))

from oculant_client import Bench, BenchError  # noqa: E402

# Only a guard against a hang: nothing checked depends on how fast the bench is.
PATIENCE_SECONDS = 60

# Set by CTest for the headless runs of the tests that run in both modes.
HEADLESS = os.environ.get("OCULANT_TEST_HEADLESS") == "1"


def required_env(name):
    value = os.environ.get(name)
    if not value:
        sys.exit("%s is not set (the test is meant to run from CTest)" % name)
    return value


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

    def _wait_for_frames(self):
        # Ready once both cameras answer with a frame and show the same frame twice in a row.
        deadline = time.monotonic() + PATIENCE_SECONDS
        previous = None
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("the bench ended at start (status %d)" % self.process.returncode)
            try:
                with self.client() as bench:
                    pair = tuple(frame.pixels for frame in bench.grab_pair())
                if pair == previous and all(pair):
                    return
                previous = pair
            except BenchError:
                pass
            time.sleep(0.2)
        raise RuntimeError("the bench showed no steady frames within %d s" % PATIENCE_SECONDS)

    def stop(self):
        """Closes the bench through its scene window; the exit status of its first process."""
        try:
            with self.client() as bench:
                bench.quit()
            return self.process.wait(PATIENCE_SECONDS)
        finally:
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
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


def write_poses(path, poses):
    """A pose list of (x, y, heading) rows; its path."""
    with open(path, "w") as stream:
        stream.writelines("%r, %r, %r\n" % tuple(pose) for pose in poses)
    return path


def wall_scene(folder, keys=(), name="scene"):
    """The disparity example's wall scene in folder/name with the keys added, its texture
    beside it where the example names it (../demo/dots.bmp)."""
    os.makedirs(os.path.join(folder, name))
    os.makedirs(os.path.join(folder, "demo"))
    shutil.copy(os.path.join(SOURCE_DIR, "examples", "demo", "dots.bmp"),
                os.path.join(folder, "demo"))
    with open(os.path.join(SOURCE_DIR, "examples", "stereo_disparity", "config.txt")) as scene:
        text = scene.read() + "".join("%s=%s\n" % item for item in dict(keys).items())
    with open(os.path.join(folder, name, "config.txt"), "w") as scene:
        scene.write(text)


def scratch_folder(name):
    return tempfile.mkdtemp(prefix="oculant-%s-" % name)


def bench_on_scene(name, config, textures=()):
    """The bench running the scene `config` (config.txt's text) with the demo's `textures` beside
    it, in the folder "scene" of a scratch folder: (scratch folder, RunningBench)."""
    folder = scratch_folder(name)
    scene = os.path.join(folder, "scene")
    os.makedirs(scene)
    for texture in textures:
        shutil.copy(os.path.join(SOURCE_DIR, "examples", "demo", texture), scene)
    with open(os.path.join(scene, "config.txt"), "w") as stream:
        stream.write(config)
    return folder, RunningBench(folder, "scene")


def remove_folder(folder):
    shutil.rmtree(folder, ignore_errors=True)
