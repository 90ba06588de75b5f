"""Starting and waiting for a bench from a program: launch() and Bench.wait_for_bench() in Python,
`oculant-client wait` and `version`, and a bench of another protocol refused with a clear
message."""

import os
import signal
import subprocess
import tempfile
import unittest

from running_bench import SOURCE_DIR, post, remove_folder, required_env, stand_in_window
import oculant_client  # found via running_bench
from oculant_client import Bench, BenchError, BenchNotRunning, launch

DEMO = os.path.join(SOURCE_DIR, "examples", "demo")


def tool(runtime, *args):
    return subprocess.run([required_env("OCULANT_CLIENT_TOOL")] + list(args), capture_output=True,
                          text=True, env=dict(os.environ, OCULANT_RUNTIME_DIR=runtime))


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
            left, right = bench.grab_pair()
            self.assertEqual((left.width, right.height), (320, 240))
            waited = tool(bench.folder, "wait", "--timeout", "5")
            self.assertEqual(waited.returncode, 0, waited.stderr)
            said = tool(bench.folder, "version")
            self.assertEqual(said.stdout, "oculant-client %s (protocol 1)\nbench %s (protocol 1)\n"
                             % (version, version), said.stderr)
        self.assertEqual(bench.process.returncode, 0)
        self.assertEqual([pid for pid in pids if oculant_client._running(pid)], [],
                         "processes left running")
        self.assertFalse(os.path.exists(bench.folder), "its private runtime folder stays")

    def test_what_cannot_start_or_answer_is_told(self):
        runtime = tempfile.mkdtemp(prefix="oculant-launch-")
        self.addCleanup(remove_folder, runtime)
        missing = "no answer within 0.5 s from the scene window, left camera, right camera " \
                  "(looked in %s)" % runtime
        waited = tool(runtime, "wait", "--timeout", "0.5")
        self.assertEqual((waited.returncode, waited.stderr),
                         (1, "oculant-client: %s\n" % missing))
        with Bench(runtime) as bench:
            with self.assertRaises(BenchNotRunning) as nobody:
                bench.wait_for_bench(0.5)
        self.assertEqual(str(nobody.exception), missing)
        for folder, executable, message in (
                (runtime, required_env("OCULANT_EXECUTABLE"),
                 "no config.txt in %s: not a scene folder" % runtime),
                (DEMO, "/bin/false", "the bench ended at start with status 1"),
                (DEMO, "/nonexistent/oculant",
                 "cannot start the bench /nonexistent/oculant: No such file or directory")):
            with self.subTest(executable=executable):
                with self.assertRaises(BenchError) as failed:
                    launch(folder, executable=executable, timeout=10)
                self.assertEqual(str(failed.exception), message)

    def test_a_bench_of_another_protocol_is_refused(self):
        """A scene window that answers the version question with protocol 2."""
        runtime = tempfile.mkdtemp(prefix="oculant-protocol-")
        self.addCleanup(remove_folder, runtime)

        def answer(request, sender):
            post(runtime, sender, 3500, oculant_client.VERSION_INFO.pack(2, b"9.0"))
            request.sendall(bytes(8))
            return True

        window = stand_in_window(runtime, "oculant", answer)
        self.addCleanup(os.waitpid, window, 0)
        self.addCleanup(os.kill, window, signal.SIGKILL)
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
