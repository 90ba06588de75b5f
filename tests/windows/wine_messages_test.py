"""Instance messages to the Windows bench under Wine, sent as any Windows program sends them
(SendMessageTimeoutA with WM_COPYDATA): a heading turns both eyes, MSG_QUIT cascades until
every process of the bench has ended, and a killed camera comes back with the next start. The
client tool names the window that is missing."""

import unittest

from wine_bench import PATIENCE_SECONDS, WineBench, wait_until

MSG_QUIT = "1000"
MSG_HEADING = "1002"
CAMERAS = ("oculant1", "oculant2")


class Messages(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("messages").start_ready()

    def tearDown(self):
        self.bench.stop()

    def pixels(self, name):
        return self.bench.frame(name)[1]

    def send(self, class_name, code, *values):
        self.assertEqual(self.bench.probe("send", class_name, code, *values)["status"], 0)

    def test_heading_turns_both_eyes(self):
        before = {name: self.pixels(name) for name in CAMERAS}
        for name in CAMERAS:
            self.send(name, MSG_HEADING, "135")
        for name in CAMERAS:
            with self.subTest(camera=name):
                wait_until(lambda: self.pixels(name) != before[name], "the %s view to turn" % name,
                           seconds=10)
        # Back at the start's 90 degrees, each eye shows its first view again.
        for name in CAMERAS:
            self.send(name, MSG_HEADING, "90")
        for name in CAMERAS:
            with self.subTest(camera=name):
                wait_until(lambda: self.pixels(name) == before[name], "the %s view to turn back"
                           % name, seconds=10)

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
        for name in CAMERAS:
            with self.subTest(camera=name):
                wait_until(lambda: self.bench.window(name) is None, "%s to close" % name)
        wait_until(lambda: not self.bench.processes(), "every process to end")

    def test_quit_cascades(self):
        # A quit to one camera ends both cameras and leaves the scene.
        self.send("oculant1", MSG_QUIT)
        for name in CAMERAS:
            with self.subTest(camera=name):
                wait_until(lambda: self.bench.window(name) is None, "%s to close" % name)
        self.assertIsNotNone(self.bench.window("oculant"))
        wait_until(lambda: len(self.bench.processes()) == 1, "the cameras' processes to end")
        self.assertEqual(self.bench.client("grab", "left", "-o", "none.bmp", check=False),
                         (1, "", "oculant-client: no left camera is running\n"))
        # A quit to the scene ends it, with status 0, and nothing of the bench is left.
        self.send("oculant", MSG_QUIT)
        self.assertEqual(self.bench.first.wait(PATIENCE_SECONDS), 0)
        wait_until(lambda: not self.bench.processes(), "every process to end")
        self.assertEqual(self.bench.client("grab", "left", "-o", "none.bmp", check=False),
                         (1, "", "oculant-client: no bench is running\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
