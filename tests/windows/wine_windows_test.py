"""oculant.exe under Wine as a Windows user gets it: the program with its resources, its output and
its scene generator's files; its three windows as Windows and X see them, a fourth start refused,
error boxes that block no instance, the overview driven with real X input; instance messages sent
as any Windows program sends them (SendMessageTimeoutA with WM_COPYDATA); and frames fetched
through WM_COPYDATA, written by oculant-client.exe, and equal to the Linux build's."""

import collections
import os
import pathlib
import re
import signal
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

from wine_bench import CAMERAS, CLASSES, PATIENCE_SECONDS, SOURCE_DIR, WineBench, \
    close_error_boxes, required_env, stage_file, wait_steady, wait_until, x_property, \
    x_windows_named
from running_bench import files_of, write_poses

IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
PANEL_STYLE = "0x500000C0"  # WS_CHILD | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT
GENERATE = ["generate", "--seed", "7", "--objects", "20", "--poses", "30"]
CS_OWNDC, CS_VREDRAW_HREDRAW = 0x20, 0x3
MSG_QUIT, MSG_HEADING, MSG_EXT_VERSION = "1000", "1002", "3004"
MISSING = "Failed to open DIB file missing.bmp."
EXPECTED = {  # class: title, outer x, y, width, height
    "oculant": ("Oculant", 0, 0, 800, 600),
    "oculant1": ("Camera 1 Left", 820, 0, 320, 240),
    "oculant2": ("Camera 2 Right", 820, 260, 320, 240),
}


def pe_subsystem(path):
    data = pathlib.Path(path).read_bytes()
    pe, = struct.unpack_from("<I", data, 0x3C)
    assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
    return struct.unpack_from("<H", data, pe + 24 + 68)[0]  # the optional header's Subsystem


def xpm_icon_pixels():
    """The bench's icon as 0xAARRGGBB values, rows from the top ("None" is transparent 0)."""
    xpm = pathlib.Path(SOURCE_DIR, "resources", "window_icon.xpm").read_text()
    rows = re.findall(r'"([^"]*)"', xpm)
    width, height, colours, _ = map(int, rows[0].split())
    palette = {row[0]: 0 if row[4:] == "None" else 0xFF000000 | int(row[5:], 16)
               for row in rows[1:1 + colours]}
    return [palette[char] for row in rows[1 + colours:1 + colours + height] for char in row]


def x_icon_32(window):
    """The 32 x 32 image of a window's _NET_WM_ICON (which may list several sizes)."""
    text = x_property(window, "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON").partition("=")[2]
    values = [int(v) for v in text.replace(",", " ").split()]
    while len(values) >= 2:
        width, height = values[0], values[1]
        if (width, height) == (32, 32):
            return values[2:2 + 32 * 32]
        values = values[2 + width * height:]
    return None


def xdotool(*args):
    subprocess.run(["xdotool"] + list(args), check=True, timeout=PATIENCE_SECONDS)


def screen(x, y, width, height):
    """The screen's RGB bytes in the rectangle."""
    return subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, x, y),
                           "+repage", "rgb:-"], capture_output=True, check=True,
                          timeout=PATIENCE_SECONDS).stdout


class ThreeWindows(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("windows").start_ready()
        cls.addClassCleanup(cls.bench.stop)

    def test_each_class_has_its_window_in_a_process_of_its_own(self):
        pids = set()
        for class_name, expected in EXPECTED.items():
            window = self.bench.window(class_name)
            for key, value in zip(("title", "x", "y", "width", "height"), expected):
                with self.subTest(class_name=class_name, key=key):
                    self.assertEqual(window[key], str(value))
            with self.subTest(class_name=class_name):
                style = int(window["class_style"])
                self.assertEqual(style & CS_OWNDC, CS_OWNDC)
                self.assertEqual(style & CS_VREDRAW_HREDRAW, CS_VREDRAW_HREDRAW)
                pids.add(window["pid"])
        self.assertEqual(len(pids), 3)

    def test_x_sees_the_titles_and_the_class_icon(self):
        # Wine names an X window by its Windows title; for WM_CLASS it gives X the program's file
        # name, the same for all three, so the Windows class names are checked above instead.
        # Wine reads no other process's class icon (GetClassLongPtr answers 0), but it gives X
        # the window's own: the class icon, or Wine's logo if the class had none.
        icon = xpm_icon_pixels()
        for title, *_ in EXPECTED.values():
            with self.subTest(title=title):
                windows = x_windows_named(title)
                self.assertEqual(len(windows), 1)
                self.assertIn('"oculant.exe"', x_property(windows[0], "WM_CLASS"))
                self.assertEqual(x_icon_32(windows[0]), icon)

    def test_z_fourth_start_is_refused(self):
        fourth = self.bench.start()
        box = wait_until(lambda: [b for b in self.bench.boxes() if b[2] == "Too many program!"],
                         "the box of the fourth start")
        self.assertEqual(box[0][1], "Error")
        wait_until(close_error_boxes, "the box to close")
        self.assertEqual(fourth.wait(PATIENCE_SECONDS), 1)
        for class_name in CLASSES:
            with self.subTest(class_name=class_name):
                self.assertIsNotNone(self.bench.window(class_name))
        self.assertIsNone(self.bench.first.poll())


class ErrorBoxes(unittest.TestCase):
    def missing_texture_boxes(self):
        return [box for box in self.bench.boxes() if box[1:] == ("Error", MISSING)]

    def test_boxes_block_no_one(self):
        self.bench = WineBench("error-box", config="ALL=1\nOBJECT1=1\nOBJECT1_TEXTURE=ON\n"
                               "OBJECT1_FILE=missing.bmp\n")
        self.addCleanup(self.bench.stop)
        self.bench.start()
        # The scene's box is up inside its set-up, before it starts the cameras.
        wait_until(lambda: len(self.missing_texture_boxes()) == 1, "the scene's box")
        self.assertEqual(self.bench.probe("send", "oculant", MSG_HEADING, "45")["answered"], "1")
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
        self.assertEqual(self.bench.probe("send", "oculant", MSG_QUIT)["answered"], "1")
        def all_ended():
            close_error_boxes()
            return not self.bench.processes()
        wait_until(all_ended, "every process to end")


class OverviewInput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("overview").start_ready()
        cls.addClassCleanup(cls.bench.stop)
        scene = cls.bench.window("oculant")
        cls.client = tuple(int(scene[key]) for key in ("client_x", "client_y", "client_width",
                                                       "client_height"))

    def assert_scene_answers(self):
        self.assertEqual(self.bench.probe("send", "oculant", MSG_EXT_VERSION)["answered"], "1")

    def poses(self):
        return {name: self.bench.probe("pose", name) for name in CAMERAS}

    def test_1_the_keyboard_goes_to_the_overview(self):
        self.assertEqual(self.bench.probe("focus", "oculant")["focus"], "oculant")

    def test_2_turns_and_a_drive_reach_both_eyes_and_the_panel(self):
        x, y, width, height = self.client
        xdotool("mousemove", str(x + width * 3 // 4), str(y + height // 2))
        xdotool("keydown", "shift")
        try:
            for turn in range(1, 6):  # 20 px to the left add 10 degrees
                xdotool("mousemove_relative", "--", "-20", "0")
                self.assert_scene_answers()
                heading = "%.17g" % (90 + 10 * turn)
                for name in CAMERAS:
                    with self.subTest(turn=turn, camera=name):
                        wait_until(lambda: self.bench.probe("pose", name)["heading"] == heading,
                                   "%s to turn to %s" % (name, heading))
            turned = self.poses()
            xdotool("mousedown", "1")
            try:
                wait_until(lambda: all(self.bench.probe("pose", name)["y"] != turned[name]["y"]
                                       for name in CAMERAS), "both eyes to drive")
            finally:
                xdotool("mouseup", "1")
        finally:
            xdotool("keyup", "shift")
        self.assert_scene_answers()
        driven = wait_steady(self.poses, "both eyes to settle at the same pose",
                             accept=lambda poses: poses["oculant1"] == poses["oculant2"])
        self.assertEqual(driven["oculant1"]["heading"], "140")
        lines = self.bench.probe("panel")["text"].split("|")
        self.assertEqual(lines[0], "X=%.3f" % float(driven["oculant1"]["x"]))
        self.assertEqual(lines[1], "Y=%.3f" % float(driven["oculant1"]["y"]))
        self.assertEqual(lines[2], "Градус=140.000")

    def test_3_the_panel_shows_over_the_overview(self):
        panel = self.bench.probe("panel")
        self.assertEqual(panel["status"], 0)
        pixels = screen(*(int(panel[key]) for key in ("x", "y", "width", "height")))
        colours = collections.Counter(pixels[i:i + 3] for i in range(0, len(pixels), 3))
        # The dialog's light face and text box, not the overview's dark GL drawing.
        common = colours.most_common(1)[0][0]
        self.assertTrue(min(common) >= 0xC0, "the panel's area is mostly %s" % common.hex())

    def test_4_f1_shows_the_third_object_and_f2_saves_both_eyes(self):
        x, y, width, height = self.client
        before = screen(x, y + height // 4, width, height // 2)
        xdotool("key", "F1")
        self.assert_scene_answers()
        wait_until(lambda: screen(x, y + height // 4, width, height // 2) != before,
                   "the overview to show the third object")
        xdotool("key", "F2")
        self.assert_scene_answers()
        for name in ("image1.bmp", "image2.bmp"):
            with self.subTest(file=name):
                wait_until(lambda: os.path.exists(os.path.join(self.bench.folder, name)), name)


class Program(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("program")
        self.addCleanup(self.bench.stop)

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
        wait_until(lambda: self.bench.probe("send", "oculant", MSG_EXT_VERSION).get("answered") == "1",
                   "the scene to answer")
        # The cameras would have been started while the scene's window was made.
        self.assertEqual(len(self.bench.processes()), 1)
        for name in CAMERAS:
            with self.subTest(camera=name):
                self.assertIsNone(self.bench.window(name))

    def test_generate_writes_the_same_files_as_on_linux(self):
        result = self.bench.run(stage_file("oculant-scene.exe"), *GENERATE, "scene")
        self.assertEqual(result.returncode, 0, result.stderr)
        with tempfile.TemporaryDirectory() as linux:
            subprocess.run([required_env("OCULANT_SCENE_TOOL")] + GENERATE
                           + [os.path.join(linux, "scene")], check=True, stdout=subprocess.DEVNULL)
            expected = files_of(os.path.join(linux, "scene"))
        windows = files_of(os.path.join(self.bench.folder, "scene"))
        self.assertEqual(sorted(windows), sorted(expected))
        for name in expected:
            with self.subTest(file=name):
                self.assertTrue(windows.get(name) == expected[name], "%s differs" % name)


class Messages(unittest.TestCase):
    def setUp(self):
        self.bench = WineBench("messages").start_ready()
        self.addCleanup(self.bench.stop)

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
        before = {name: self.bench.frame(name)[1] for name in CAMERAS}
        # Back at the start's 90 degrees, each eye shows its first view again.
        for heading, turned in (("135", True), ("90", False)):
            for name in CAMERAS:
                self.send(name, MSG_HEADING, heading)
            self.wait_for_cameras(
                lambda name: (self.bench.frame(name)[1] != before[name]) == turned,
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


EYES = {"oculant1": ("left", 1), "oculant2": ("right", 2)}
# Rig poses (x, y, heading) away from the start: headings whose sine and cosine the C runtimes
# round differently, quarter turns, and positions off the grid.
POSES = [(0, 0, 10), (0, 0, 37.5), (0, 0, 45), (0, 0, 90), (0, 0, 120), (0, 0, 200.3),
         (0, 0, 333.3), (1.3, 0.2, 37.5), (1.3, 0.2, 10), (-2.7, 1.1, 251.7), (0.35, -1.9, 3.3),
         (3.1, 2.9, 181.25), (-0.8, -0.45, 299.9), (2.05, -3.3, 72.6), (-4.4, 0.65, 164.2),
         (0.1, 0.1, 1), (5.5, -0.3, 359.5), (-1.75, 2.25, 17.85), (0.6, 4.2, 270.1),
         (-3.05, -2.6, 128.4), (1.9, 1.45, 58.75), (-0.25, 0.9, 222.2)]

# Poses that see the showcase's meshes from near and far, straight on and askew.
MESH_POSES = [(0.7, 0.7, 90), (0.2, 1.2, 75), (1.6, 0.4, 112.5), (-0.9, 2.0, 58.3)]

# The demo scene's table, shelf and enclosure turned by angles whose sines the C runtimes may round
# differently (a slab about all three axes, one about two, and a lattice), and a sixth object: a
# slab stood up by ROTX 90 into a wall at y = 1.5, from x = 0.5 to 0.9 and z = -0.1 to 0.5, which
# the middle of both eyes' views meets at the start pose; unturned, it would lie below their line.
TURNS = {"OBJECT3_ROTZ": 3.5, "OBJECT4_ROTX": 30, "OBJECT4_ROTZ": -20, "OBJECT5_ROTX": 75.5,
         "OBJECT5_ROTY": 12, "OBJECT5_ROTZ": 200.3, "OBJECT6": 1, "OBJECT6_X": 0.5,
         "OBJECT6_Y": 1.5, "OBJECT6_Z": -0.1, "OBJECT6_WIDTH": 0.4, "OBJECT6_HEIGHT": 0.6,
         "OBJECT6_TEXTURE": "ON", "OBJECT6_FILE": "checker.bmp", "OBJECT6_ROTX": 90}
TURNED_POSES = [(0.7, 0.7, 90), (0, 0, 37.5), (1.3, 0.2, 10), (-0.8, -0.45, 299.9),
                (1.9, 1.45, 58.75), (-0.25, 0.9, 222.2)]


def read(*path):
    return pathlib.Path(*path).read_bytes()


def differ(actual, expected):
    return "%d of %d bytes differ" % (sum(a != b for a, b in zip(actual, expected)), len(expected))


def stride_for_width(width):
    return (width * 3 + 3) // 4 * 4


def png_image_data(data):
    """The decompressed image data of a PNG file."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG signature: %r" % data[:8]
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return zlib.decompress(idat)


def unfiltered_rgb_rows(pixels, width, height):
    """A frame's bottom-up BGR rows as a PNG's top-down RGB rows, each after filter byte 0."""
    stride = stride_for_width(width)
    rows = []
    for row in range(height - 1, -1, -1):
        bgr = pixels[row * stride:row * stride + 3 * width]
        rgb = bytearray(bgr)
        rgb[0::3], rgb[2::3] = bgr[2::3], bgr[0::3]
        rows.append(b"\0" + bytes(rgb))
    return b"".join(rows)


def assert_recorded_as_on_linux(test, bench, values, poses, out, *scene):
    """Records the poses with oculant-client.exe, then the Linux build's bench on the same scene
    (the demo's unless `scene` is "--scene", FOLDER) at the size of the probe's frame `values`
    into `out`, and checks that every eye image has the same bytes."""
    listing = write_poses(os.path.join(bench.folder, "poses.csv"), poses)
    bench.client("record", "poses.csv", "record")
    subprocess.run([os.path.join(SOURCE_DIR, "tests", "with_xvfb"), sys.executable, "-B",
                    os.path.join(os.path.dirname(__file__), "linux_reference_frames.py"),
                    *scene, values["width"], values["height"], out, listing],
                   check=True, timeout=600)
    for number, pose in enumerate(poses, 1):
        for image in ("im0.png", "im1.png"):
            with test.subTest(pose=pose, image=image):
                sample = os.path.join("%04d" % number, image)
                windows = png_image_data(read(bench.folder, "record", sample))
                linux = png_image_data(read(out, "record", sample))
                test.assertEqual(len(windows), len(linux))
                test.assertTrue(windows == linux, differ(windows, linux))


class Frames(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.bench = WineBench("frame").start_ready()
        cls.addClassCleanup(cls.bench.stop)
        cls.frames = {name: cls.bench.frame(name) for name in EYES}
        cls.clients = {name: cls.bench.window(name) for name in EYES}

    def test_replies_to_a_frame_request(self):
        for name, (_, role) in EYES.items():
            values, pixels = self.frames[name]
            width = int(self.clients[name]["client_width"])
            height = int(self.clients[name]["client_height"])
            for key, expected in (("answered", 1), ("replies", 2), ("header_code", 2100 + role),
                                  ("header_size", 20), ("width", width), ("height", height),
                                  ("stride", stride_for_width(width)),
                                  ("pixels_code", 2200 + role)):
                with self.subTest(camera=name, key=key):
                    self.assertEqual(int(values[key]), expected)
            self.assertEqual(len(pixels), stride_for_width(width) * height, name)

    def test_z_odd_width_pads_rows_with_zeros(self):
        # Last: it resizes the left camera. 301 pixels of 3 bytes make 903, padded to 904.
        self.assertEqual(self.bench.probe("resize", "oculant1", "301", "211")["status"], 0)
        values, pixels = self.bench.frame("oculant1")
        for key, expected in (("width", "301"), ("stride", "904"), ("height", "211")):
            self.assertEqual(values[key], expected, key)
        self.assertEqual(len(pixels), 904 * 211)
        padding = bytes(pixels[row + 903] for row in range(0, len(pixels), 904))
        self.assertEqual(padding, bytes(211))

    def test_client_tool_writes_the_same_frames(self):
        # Both eyes to a Windows path: the side names go into the file name, not the folder's.
        os.mkdir(os.path.join(self.bench.folder, "pair.d"))
        out = self.bench.client("grab", "both", "-o", "pair.d\\frame.bmp")
        left = self.frames["oculant1"][0]
        sides = "%s x %s" % (left["width"], left["height"])
        self.assertEqual(out, "pair.d\\frame-left.bmp: %s\npair.d\\frame-right.bmp: %s\n"
                         % (sides, sides))
        for name, (eye, _) in EYES.items():
            with self.subTest(camera=name):
                data = read(self.bench.folder, "pair.d", "frame-%s.bmp" % eye)
                values, pixels = self.frames[name]
                offset, = struct.unpack_from("<I", data, 10)
                width, height, _, bits, _, size = struct.unpack_from("<iiHHII", data, 18)
                self.assertEqual(width, int(values["width"]))
                self.assertEqual(height, int(values["height"]))
                self.assertEqual(bits, 24)
                self.assertEqual(size, len(pixels))
                self.assertTrue(data[offset:] == pixels, "the BMP holds other pixels")
        # The PNG is written in binary mode: a text-mode write breaks its signature and stream.
        self.bench.client("grab", "left", "-o", "left.png")
        values, pixels = self.frames["oculant1"]
        self.assertEqual(png_image_data(read(self.bench.folder, "left.png")),
                         unfiltered_rgb_rows(pixels, int(values["width"]), int(values["height"])))

    def test_y_a_stopped_camera_is_reported_after_the_time_out(self):
        # Late: it stops the bench's processes for a while.
        stopped = self.bench.processes()
        for pid in stopped:
            os.kill(pid, signal.SIGSTOP)
        try:
            status, _, err = self.bench.client("--timeout", "1", "grab", "left", "-o", "hung.png",
                                               check=False)
        finally:
            for pid in stopped:
                os.kill(pid, signal.SIGCONT)
        self.assertEqual(status, 1)
        self.assertEqual(err, "oculant-client: the left camera is running but did not answer "
                         "within 1 s (stopped or busy)\n")
        self.assertFalse(os.path.exists(os.path.join(self.bench.folder, "hung.png")))

    def test_pixels_equal_the_linux_build(self):
        # Both eyes at the start pose, and recorded by oculant-client at every pose of POSES.
        with tempfile.TemporaryDirectory(prefix="oculant-linux-frames-") as out:
            assert_recorded_as_on_linux(self, self.bench, self.frames["oculant1"][0], POSES, out)
            for name, (eye, _) in EYES.items():
                with self.subTest(camera=name):
                    expected = read(out, eye + ".bin")
                    self.assertTrue(self.frames[name][1] == expected,
                                    differ(self.frames[name][1], expected))


class SceneFrames(unittest.TestCase):
    """Other scenes than the demo's, recorded at a few poses."""

    def assert_recorded_as_on_linux(self, name, poses, scene=None, config=None):
        bench = WineBench(name, config, scene).start_ready()
        self.addCleanup(bench.stop)
        values, _ = bench.frame("oculant1")
        with tempfile.TemporaryDirectory(prefix="oculant-linux-%s-" % name) as out:
            assert_recorded_as_on_linux(self, bench, values, poses, out, "--scene",
                                        scene or bench.folder)
        return bench, int(values["width"]), int(values["height"])

    def test_turned_objects_equal_the_linux_build(self):
        with open(os.path.join(SOURCE_DIR, "examples", "demo", "config.txt")) as demo:
            config = demo.read().replace("ALL=5\n", "ALL=6\n")
        config += "".join("%s=%s\n" % turn for turn in TURNS.items())
        bench, width, height = self.assert_recorded_as_on_linux("turned", TURNED_POSES,
                                                                config=config)
        for image in ("ids0.png", "ids1.png"):
            ids = png_image_data(read(bench.folder, "record", "0001", image))
            # Rows of a filter byte and big-endian 16-bit ids.
            middle = height // 2 * (1 + 2 * width) + 1 + 2 * (width // 2)
            self.assertEqual(ids[middle:middle + 2], b"\0\6", image)

    def test_meshes_equal_the_linux_build(self):
        # The showcase: meshes read from OBJ files with PNG and BMP textures among turned slabs.
        self.assert_recorded_as_on_linux(
            "mesh", MESH_POSES, scene=os.path.join(SOURCE_DIR, "examples", "showcase"))
