"""Instance messages to the Windows bench under Wine, sent as any Windows program sends them
(SendMessageTimeoutA with WM_COPYDATA): headings, quits that cascade, a killed camera that comes
back, and frame requests whose requesters gave up, which hold up no other client."""

import subprocess
import unittest

from wine_bench import CAMERAS, PATIENCE_SECONDS, WineBench, required_env, wait_until

MSG_QUIT = "1000"
MSG_HEADING = "1002"


class Messages(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("messages").start_ready()
        self.addCleanup(self.bench.stop)

    def pixels(self, name):
        return self.bench.frame(name)[1]

    def send(self, class_name, code, *values):
        self.assertEqual(self.bench.probe("send", class_name, code, *values)["status"], 0)

    def wait_for_cameras(self, condition, what, seconds=PATIENCE_SECONDS):
        for name in CAMERAS:
            with self.subTest(camera=name):
                wait_until(lambda: condition(name), "%s %s" % (name, what), seconds)

    def assert_no_grab(self, message):
        self.assertEqual(self.bench.client("grab", "left", "-o", "none.bmp", check=False),
                         (1, "", "oculant-client: %s\n" % message))

    def test_heading_turns_both_eyes(self):
        before = {name: self.pixels(name) for name in CAMERAS}
        # Back at the start's 90 degrees, each eye shows its first view again.
        for heading, turned in (("135", True), ("90", False)):
            for name in CAMERAS:
                self.send(name, MSG_HEADING, heading)
            self.wait_for_cameras(lambda name: (self.pixels(name) != before[name]) == turned,
                                  "to turn to %s" % heading, 10)

    def test_a_killed_camera_comes_back_and_a_quit_to_the_scene_ends_all_three(self):
        # TerminateProcess ends it without giving back its unit of the semaphore.
        pid = self.bench.window("oculant1")["pid"]
        killed = self.bench.run("taskkill", "/F", "/PID", str(pid))
        self.assertEqual(killed.returncode, 0, killed.stderr)
        wait_until(lambda: self.bench.window("oculant1") is None, "the left camera to end")
        restarted = self.bench.start()
        wait_until(lambda: self.bench.window("oculant1"), "the left camera to come back")
        self.assertIsNotNone(self.bench.window("oculant2"))
        self.assertIsNone(self.bench.first.poll())

        self.send("oculant", MSG_QUIT)
        self.assertEqual(self.bench.first.wait(PATIENCE_SECONDS), 0)
        self.assertEqual(restarted.wait(PATIENCE_SECONDS), 0)
        self.wait_for_cameras(lambda name: self.bench.window(name) is None, "to close")
        wait_until(lambda: not self.bench.processes(), "every process to end")

    def test_quit_cascades(self):
        # A quit to one camera ends both cameras and leaves the scene.
        self.send("oculant1", MSG_QUIT)
        self.wait_for_cameras(lambda name: self.bench.window(name) is None, "to close")
        self.assertIsNotNone(self.bench.window("oculant"))
        wait_until(lambda: len(self.bench.processes()) == 1, "the cameras' processes to end")
        self.assert_no_grab("no left camera is running")
        # A quit to the scene ends it, with status 0, and nothing of the bench is left.
        self.send("oculant", MSG_QUIT)
        self.assertEqual(self.bench.first.wait(PATIENCE_SECONDS), 0)
        wait_until(lambda: not self.bench.processes(), "every process to end")
        self.assert_no_grab("no bench is running")

    def test_a_requester_that_takes_its_replies_late_gets_no_pixels_without_their_header(self):
        codes = self.bench.probe("late", "oculant1")["codes"]
        self.assertIn(codes, ("", "2101", "2101,2201"))

    def test_a_flood_of_requests_given_up_holds_up_no_other_grab(self):
        flood = subprocess.Popen([self.bench.wine, required_env("OCULANT_WIN32_PROBE"), "flood",
                                  "oculant1", "100"], cwd=self.bench.folder, env=self.bench.env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(3):
                status, _, err = self.bench.client("--timeout", "5", "grab", "left", "-o",
                                                   "left.bmp", check=False)
                self.assertEqual(status, 0, err)
        finally:
            flood.wait(PATIENCE_SECONDS)
