"""oculant.exe as a Windows user gets it: a GUI program (no console window of its own) carrying its
class icon and the info panel's dialog as resources, that still writes its messages to the
streams it was given; started from a folder without oculant.exe, the scene runs alone."""

import os
import struct
import unittest

from wine_bench import WineBench, stage_file, wait_until

IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
PANEL_STYLE = "0x500000C0"  # WS_CHILD | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT


def pe_subsystem(path):
    with open(path, "rb") as exe:
        data = exe.read(4096)
    pe, = struct.unpack_from("<I", data, 0x3C)
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
    return struct.unpack_from("<H", data, pe + 24 + 68)[0]  # the optional header's Subsystem


class Program(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("program")

    def tearDown(self):
        self.bench.stop()

    def test_a_gui_program_with_its_resources(self):
        self.assertEqual(pe_subsystem(stage_file("oculant.exe")), IMAGE_SUBSYSTEM_WINDOWS_GUI)
        found = self.bench.probe("resources", "oculant.exe")
        self.assertEqual(found.get("icon"), "32x32x4")
        self.assertEqual(found.get("dialog_style"), PANEL_STYLE)
        self.assertEqual(found.get("dialog_controls"), "1")
        self.assertEqual(found.get("dialog_size"), "166x65")

    def test_its_output_reaches_the_streams_it_was_given(self):
        result = self.bench.run("oculant.exe", "--version")
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith("oculant "), result.stdout)

    def test_without_oculant_exe_in_the_folder_the_scene_runs_alone(self):
        os.remove(os.path.join(self.bench.folder, "oculant.exe"))
        self.bench.start(stage_file("oculant.exe"))
        wait_until(lambda: self.bench.probe("send", "oculant", "3004").get("answered") == "1",
                   "the scene to answer")
        # The cameras would have been started while the scene's window was made.
        self.assertEqual(len(self.bench.processes()), 1)
        for name in ("oculant1", "oculant2"):
            with self.subTest(camera=name):
                self.assertIsNone(self.bench.window(name))


if __name__ == "__main__":
    unittest.main(verbosity=2)
