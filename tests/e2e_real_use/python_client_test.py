"""The Python client against the real bench, with the C++ command-line client as the reference,
and as a user installs it (pip, offline, without numpy; and from the source archive); launch(),
wait_for_bench(), `oculant-client wait` and `version`, and a bench of another protocol refused."""

import contextlib
import json
import os
import pathlib
import resource
import signal
import socket
import struct
import subprocess
import sys
import unittest

from running_bench import (SOURCE_DIR, BenchTestCase, demo_scene, post, required_env, run_ok,
                           scratch_folder, stand_in_window)
import oculant_client  # found via running_bench
from oculant_client import Bench, BenchError, BenchNotAnswering, BenchNotRunning, launch

DEMO = os.path.join(SOURCE_DIR, "examples", "demo")
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


def tool(runtime, *args):
    return subprocess.run([required_env("OCULANT_CLIENT_TOOL")] + list(args), capture_output=True,
                          text=True, env=dict(os.environ, OCULANT_RUNTIME_DIR=runtime))


@contextlib.contextmanager
def time_limit(seconds):
    """Turns a call that hangs into a failure."""
    def give_up(_signal, _frame):
        raise AssertionError("still waiting after %d s" % seconds)

    previous = signal.signal(signal.SIGALRM, give_up)
    signal.alarm(seconds)
    try:
        yield
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGALRM, previous)


def fill_listen_queue(path, connections):
    """Connects to a window that takes no connections until its listen queue is full."""
    for _ in range(200):
        connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        connection.setblocking(False)
        try:
            connection.connect(path)
        except BlockingIOError:
            connection.close()
            return
        connections.append(connection)
    raise AssertionError("the listen queue of %s took 200 connections" % path)


def peer_pid(path):
    """The process listening on the socket at path."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
        probe.connect(path)
        return struct.unpack("3i", probe.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, 12))[0]


# The stand-in camera's frame: 4 x 2 pixels, rows of 12 bytes.
HEADER = struct.pack("<Iiiii", 0, 4, 12, 2, 0)
PIXELS = bytes(range(24))


def stand_in_camera(test, folder, behaviour):
    """Starts a process that holds the left camera's class and answers one frame request:
    "forger" lets another process of ours send the requester other pixels before it answers;
    "idle" first opens three connections to the requester that say nothing; "dies" ends after
    the header."""
    def answer(request, requester):
        with contextlib.ExitStack() as idle:
            for _ in range(3 if behaviour == "idle" else 0):
                idle.enter_context(socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)).connect(
                    os.path.join(folder, "window.%d" % requester))
            if post(folder, requester, 2101, HEADER) and behaviour != "dies":
                post(folder, requester, 2201, PIXELS)
                if behaviour == "forger":
                    forger = os.fork()
                    if forger == 0:
                        post(folder, requester, 2201, bytes(24))
                        os._exit(0)
                    os.waitpid(forger, 0)
                request.sendall(bytes(8))
        return False

    stand_in_window(test, folder, "oculant1", answer)


class AgainstAStandInCamera(unittest.TestCase):
    def setUp(self):
        self.folder = scratch_folder("python-mailbox", self)

    def grab(self, behaviour):
        stand_in_camera(self, self.folder, behaviour)
        with time_limit(20), Bench(self.folder, timeout=5) as bench:
            return bench.grab("left")

    def test_frames_come_only_from_the_camera_asked(self):
        self.assertEqual(self.grab("forger").pixels, PIXELS)

    def test_idle_connections_to_the_mailbox_hold_up_no_reply(self):
        self.assertEqual(self.grab("idle").pixels, PIXELS)

    def test_a_camera_that_ends_while_asked_is_said_to_have_ended(self):
        with self.assertRaises(BenchNotAnswering) as grab:
            self.grab("dies")
        self.assertEqual(str(grab.exception), "the left camera ended before it answered")

    def test_squatted_handles_are_passed_over(self):
        # Sockets bound under every handle this process could be predicted to take.
        limit = resource.getrlimit(resource.RLIMIT_NOFILE)
        resource.setrlimit(resource.RLIMIT_NOFILE, (limit[1], limit[1]))
        with contextlib.ExitStack() as squatted:
            for n in range(1, 1024):
                squatter = squatted.enter_context(socket.socket(socket.AF_UNIX, socket.SOCK_STREAM))
                squatter.bind(os.path.join(self.folder, "window.%d"
                                           % ((os.getpid() << 10 | n) & 0xFFFFFFFF)))
                squatter.listen()
            Bench(self.folder).close()


class AgainstTheBench(BenchTestCase):
    make_scene = staticmethod(demo_scene)

    def setUp(self):
        self.client = self.bench.client()
        self.addCleanup(self.client.close)

    def cpp_grab(self, eye):
        self.bench.tool_ok("grab", eye, "-o", self.path("reference-%s.bmp" % eye))
        return pathlib.Path(self.path("reference-%s.bmp" % eye)).read_bytes()

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
        self.bench.tool_ok("heading", "90")
        self.bench.tool_ok("rig", "0.7", "0.7")
        self.assertEqual(self.client.grab("left").pixels, start[0].pixels)
        self.bench.tool_ok("heading", "60")
        self.bench.tool_ok("rig", "1.0", "1.5")
        self.assertEqual(self.cpp_grab("right"), moved[1].bmp_bytes())
        self.client.save_frames()
        for name, frame in (("image1.bmp", moved[0]), ("image2.bmp", moved[1])):
            self.assertEqual(pathlib.Path(self.path("scene", name)).read_bytes(), frame.bmp_bytes())
        # The C++ library's names, with the names before 0.2 still answering.
        model = self.client.describe("right")
        self.assertEqual((model.width, model.pose), (320, (1.0, 1.5, 60.0)))
        capture = self.client.capture("right", ids=True)
        self.assertEqual(capture.colour.pixels, moved[1].pixels)
        self.assertIs(capture.frame, capture.colour)
        self.assertIs(capture.ids, capture.object_ids)
        self.assertTrue(self.client.running())

    def run_in_venv(self, *args):
        return run_ok(self.path("venv", "bin", "python"), *args, cwd=self.folder).stdout

    def test_installed_with_pip_offline_it_fetches_frames_from_outside_the_source_tree(self):
        run_ok(sys.executable, "-m", "venv", self.path("venv"))
        self.run_in_venv(*PIP_INSTALL, os.path.join(SOURCE_DIR, "clients", "python"))
        answer = json.loads(self.run_in_venv("-c", USE_THE_PACKAGE, self.bench.runtime))
        self.assertEqual(answer["version"], required_env("OCULANT_VERSION"))
        self.assertTrue(answer["file"].startswith(os.path.join(self.folder, "venv")),
                        answer["file"])
        self.assertEqual(pathlib.Path(self.path("left.bmp")).read_bytes(),
                         self.client.grab("left").bmp_bytes())
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

    def test_a_stopped_camera_fails_in_time_and_works_again_once_continued(self):
        heading = self.client.capture("left").camera.pose[2]
        link = os.path.join(self.bench.runtime, "class.oculant1")
        pid = peer_pid(link)
        impatient = Bench(self.bench.runtime, timeout=2)
        flood = []
        os.kill(pid, signal.SIGSTOP)
        try:
            fill_listen_queue(link, flood)
            with time_limit(10), self.assertRaises(BenchNotAnswering) as grab:
                impatient.grab("left")
            with time_limit(10), self.assertRaises(BenchNotAnswering) as turn:
                impatient.set_heading(heading + 10)
        finally:
            for connection in flood:
                connection.close()
            os.kill(pid, signal.SIGCONT)
            impatient.close()
        stopped = "the left camera is running but did not answer within 2 s (stopped or busy)"
        self.assertEqual(str(grab.exception), stopped)
        self.assertEqual(str(turn.exception), stopped)
        # The right camera was still told; the left one never took the message.
        self.assertEqual(self.client.capture("right").camera.pose[2], heading + 10)
        self.assertEqual(self.client.capture("left").camera.pose[2], heading)
        self.client.set_heading(heading)
        self.assertEqual(self.client.grab("left").width, 320)


class WithoutABench(unittest.TestCase):
    def test_nothing_running_and_what_cannot_start_or_answer_are_told_apart(self):
        folder = scratch_folder("python-client-none", self)
        bench = Bench(folder, timeout=2)
        self.addCleanup(bench.close)
        missing = "no answer within 0.5 s from the scene window, left camera, right camera " \
                  "(looked in %s)" % folder
        waited = tool(folder, "wait", "--timeout", "0.5")
        self.assertEqual((waited.returncode, waited.stderr),
                         (1, "oculant-client: %s\n" % missing))
        # Values that are not finite are refused before anything is sent, whatever runs.
        for call, error, message in (
                (lambda: bench.grab("left"), BenchNotRunning,
                 "no left camera is running (looked in %s)" % folder),
                (lambda: bench.set_heading(90), BenchNotRunning,
                 "no camera is running (looked in %s)" % folder),
                (lambda: Bench(os.path.join(folder, "missing")), BenchNotRunning,
                 "no bench is running (looked in %s/missing)" % folder),
                (lambda: bench.wait_for_bench(0.5), BenchNotRunning, missing),
                (lambda: bench.set_heading(float("nan")), ValueError,
                 "the heading must be finite, not nan"),
                (lambda: bench.set_position(1, float("inf")), ValueError,
                 "the rig position must be finite, not inf"),
                (lambda: bench.capture("left", (0, 0, float("-inf"))), ValueError,
                 "the pose must be finite, not -inf"),
                (lambda: launch(folder, executable=required_env("OCULANT_EXECUTABLE")),
                 BenchError, "no config.txt in %s: not a scene folder" % folder),
                (lambda: launch(DEMO, executable="/bin/false", timeout=10), BenchError,
                 "the bench ended at start with status 1"),
                (lambda: launch(DEMO, executable="/nonexistent/oculant"), BenchError,
                 "cannot start the bench /nonexistent/oculant: No such file or directory")):
            with self.subTest(message=message):
                with self.assertRaises(error) as refused:
                    call()
                self.assertEqual(str(refused.exception), message)


class Launch(unittest.TestCase):
    def test_launch_waits_answers_and_ends_every_process(self):
        version = required_env("OCULANT_VERSION")
        # A relative program path is the caller's, not the scene folder's the bench runs in.
        executable = os.path.relpath(required_env("OCULANT_EXECUTABLE"))
        with launch(DEMO, executable=executable, headless=True) as bench:
            pids = bench.window_processes()
            self.assertEqual(len(set(pids)), 3, "the scene and its two cameras")
            self.assertEqual(pids[0], bench.process.pid)
            self.assertEqual(bench.bench_version(), (version, 1))
            waited = tool(bench.folder, "wait", "--timeout", "5")
            self.assertEqual(waited.returncode, 0, waited.stderr)
            said = tool(bench.folder, "version")
            self.assertEqual(said.stdout, "oculant-client %s (protocol 1)\nbench %s (protocol 1)\n"
                             % (version, version), said.stderr)
        self.assertEqual(bench.process.returncode, 0)
        self.assertEqual([pid for pid in pids if oculant_client._running(pid)], [],
                         "processes left running")
        self.assertFalse(os.path.exists(bench.folder), "its private runtime folder stays")

    def test_a_bench_of_another_protocol_is_refused(self):
        runtime = scratch_folder("protocol", self)

        def answer(request, sender):
            post(runtime, sender, 3500, oculant_client.VERSION_INFO.pack(2, b"9.0"))
            request.sendall(bytes(8))
            return True

        stand_in_window(self, runtime, "oculant", answer)
        refused = "the bench (9.0) speaks protocol 2, this client protocol 1: use the client " \
                  "of the bench's version"
        with Bench(runtime, timeout=5) as bench:
            with self.assertRaises(BenchError) as python:
                bench.bench_version()
        self.assertEqual(str(python.exception), refused)
        said = tool(runtime, "version")
        self.assertEqual((said.returncode, said.stderr.splitlines()[-1]),
                         (1, "oculant-client: " + refused))


if __name__ == "__main__":
    unittest.main(verbosity=2)
