"""Frame replies of the Windows bench under Wine to requesters that gave up: pixels never arrive
without their header, and a flood of requests given up at once holds up no other client beyond
the bench's bound for one reply."""

import subprocess
import unittest

from wine_bench import PATIENCE_SECONDS, WineBench, required_env


class Replies(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("replies").start_ready()

    def tearDown(self):
        self.bench.stop()

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


if __name__ == "__main__":
    unittest.main(verbosity=2)
