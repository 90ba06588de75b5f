"""The Windows bench under Wine with a texture missing: every instance shows the loader's box while
its window is made. A box up in one instance blocks no other: its own window and the others still
handle messages, and once the boxes are closed the bench ends as usual."""

import unittest

from wine_bench import WineBench, close_error_boxes, wait_until

MISSING = "Failed to open DIB file missing.bmp."
CONFIG = "ALL=1\nOBJECT1=1\nOBJECT1_TEXTURE=ON\nOBJECT1_FILE=missing.bmp\n"


class ErrorBoxes(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("error-box", config=CONFIG)
        self.bench.start()

    def tearDown(self):
        self.bench.stop()

    def missing_texture_boxes(self):
        return [box for box in self.bench.boxes() if box[1:] == ("Error", MISSING)]

    def test_boxes_block_no_one(self):
        # The scene's box is up inside its set-up, before it starts the cameras.
        wait_until(lambda: len(self.missing_texture_boxes()) == 1, "the scene's box")
        self.assertEqual(self.bench.probe("send", "oculant", "1002", "45")["answered"], "1")

        # Closed, it lets the scene start the cameras, each with a box of its own.
        wait_until(close_error_boxes, "the scene's box to close")
        boxes = wait_until(lambda: len(self.missing_texture_boxes()) == 2 and
                           self.missing_texture_boxes(), "the cameras' boxes")
        self.assertEqual(len({box[0] for box in boxes}), 2)

        # With its box up, a camera still answers a frame request.
        values, pixels = self.bench.frame("oculant1")
        self.assertEqual(values["header_code"], "2101")
        self.assertEqual(len(pixels), int(values["stride"]) * int(values["height"]))

        # A quit to the scene still reaches all three; every box that comes up is closed.
        self.assertEqual(self.bench.probe("send", "oculant", "1000")["answered"], "1")

        def all_ended():
            close_error_boxes()
            return not self.bench.processes()

        wait_until(all_ended, "every process to end")


if __name__ == "__main__":
    unittest.main(verbosity=2)
