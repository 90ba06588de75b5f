"""Talk to a running oculant stereo bench from Python: fetch the left and right camera frames,
turn and move the rig, make the cameras save their frames, close the bench.

Standard library only; numpy, when installed, turns frames, depth and camera matrices into
arrays. Install it with `pip install ./clients/python` from the bench's source tree, or put this
file's folder on sys.path.

    from oculant_client import Bench
    with Bench() as bench:
        left, right = bench.grab_pair()
        print(left.width, left.height, left.rgb_at(160, 120))
        left.save_bmp("left.bmp")

The bench is found in its runtime folder: $OCULANT_RUNTIME_DIR, else $XDG_RUNTIME_DIR/oculant,
else /tmp/oculant-<uid>. The wire format is described in docs/protocol.md. A Bench is meant to
be used from one thread.

A program can also start a bench itself and have it ended again:

    from oculant_client import launch
    with launch("examples/demo") as bench:    # headless when there is no display
        left, right = bench.grab_pair()

Failures raise BenchError, or one of its two kinds that tell why a window could not be used:

    BenchNotRunning     the window does not exist: no bench (or not that window) is running
    BenchNotAnswering   the window exists but did not take or answer the message within the
                        time-out (it is stopped or busy), or hung up without answering
"""

import errno
import math
import os
import re
import secrets
import select
import shutil
import signal
import socket
import stat
import struct
import subprocess
import sys
import tempfile
import time


def _project_version():
    """The CMake project's version, read from the source tree this file lies in ("unknown" for a
    copy outside it). The package's build (oculant_build.py) writes it in place of this call."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "CMakeLists.txt")
    try:
        with open(path, encoding="utf-8") as stream:
            found = re.search(r"^project\(oculant VERSION ([^\s)]+)", stream.read(), re.MULTILINE)
    except OSError:
        found = None
    return found.group(1) if found else "unknown"


__version__ = _project_version()

__all__ = [
    "Bench",
    "BenchError",
    "BenchNotAnswering",
    "BenchNotRunning",
    "CameraModel",
    "Capture",
    "Frame",
    "LaunchedBench",
    "launch",
    "runtime_folder",
]

MSG_QUIT = 1000
MSG_SAVE_FRAME = 1001
MSG_HEADING = 1002
MSG_RIG_XY = 1003
MSG_FRAME_REQUEST = 2001
MSG_FRAME_HEADER = 2100  # + role
MSG_FRAME_PIXELS = 2200  # + role

# Ground truth (docs/protocol.md, "Extensions").
MSG_EXT_CAPTURE = 3001
MSG_EXT_DESCRIBE = 3002
MSG_EXT_CAPTURE_WITH_IDS = 3003
MSG_EXT_CAMERA_INFO = 3100  # + role
MSG_EXT_COLOUR = 3200  # + role
MSG_EXT_DEPTH = 3300  # + role
MSG_EXT_OBJECT_IDS = 3400  # + role
MSG_EXT_VERSION = 3004  # to any window
MSG_EXT_SET_POSE = 3005  # to any window: the whole pose, no reply
MSG_EXT_VERSION_INFO = 3500  # + role (0 the scene window)
VERSION_INFO = struct.Struct("<I28s")  # protocol, the bench's version as NUL-ended text
PROTOCOL_VERSION = 1  # the protocol this module speaks
CAMERA_INFO = struct.Struct("<Iiiiii9d")  # version 1: 96 bytes
CAMERA_INFO_V2 = struct.Struct("<4d9ddII")  # what version 2 appends: 120 bytes more
CAMERA_INFO_V3 = struct.Struct("<2d")  # what version 3 appends: the rig's pitch and roll
POSE = struct.Struct("<ddd")
FULL_POSE = struct.Struct("<6d")  # x, y, heading, height, pitch, roll; NaN keeps the window's

MAGIC = b"OCUM"
ENVELOPE = struct.Struct("<4sIII")  # magic, code, sender, length
FRAME_HEADER = struct.Struct("<Iiiii")  # 0, width, stride, height, reserved
REPLY = bytes(8)  # every message we receive is answered with result 0
MAX_PAYLOAD = 64 * 1024 * 1024

SCENE_CLASS = "oculant"
CAMERA_CLASS = {1: "oculant1", 2: "oculant2"}
EYE_ROLE = {"left": 1, "right": 2, 1: 1, 2: 2}
WINDOW_NAME = {SCENE_CLASS: "scene window", "oculant1": "left camera", "oculant2": "right camera"}

# A sender must hand over a whole message within this time; the bench does the same.
MESSAGE_SECONDS = 2.0
# How often to knock again on a window whose listen queue is full.
CONNECT_RETRY_SECONDS = 0.02
# Messages the mailbox reads side by side; when more come, the one arriving longest is dropped.
MAX_INCOMING = 64


def _numpy(what):
    """numpy, which `what` needs; an ImportError naming this Python when it lacks numpy."""
    try:
        import numpy
    except ImportError:
        raise ImportError("%s needs numpy, which this Python (%s) lacks: install it for this "
                          "Python, or run the program with one that has it" % (what, sys.executable)
                          ) from None
    return numpy


class BenchError(Exception):
    """The bench could not be reached, or it answered with something unusable."""


class BenchNotRunning(BenchError):
    """The window asked for does not exist: no bench, or not that window, is running."""


class BenchNotAnswering(BenchError):
    """The window exists but did not take or answer the message within the time-out (it is
    stopped or busy), or hung up without answering."""


def _finite(what, *values):
    """The values as floats; ValueError naming `what` when one is NaN or infinite, which the
    cameras would take for a pose that draws nothing."""
    numbers = tuple(float(value) for value in values)
    for number in numbers:
        if not math.isfinite(number):
            raise ValueError("%s must be finite, not %r" % (what, number))
    return numbers


def _peer_credentials(sock):
    """(pid, uid, gid) of the process at the other end of a Unix socket, as the kernel says."""
    return struct.unpack("3i", sock.getsockopt(socket.SOL_SOCKET, socket.SO_PEERCRED, 12))


def _role_of(eye):
    """The camera role of "left" or "right" (or of role 1 or 2); ValueError for anything else."""
    role = EYE_ROLE.get(eye)
    if role is None:
        raise ValueError("eye must be 'left' or 'right', not %r" % (eye,))
    return role


def runtime_folder(environ=None):
    """The folder where the bench's sockets live, chosen as the bench chooses it."""
    environ = os.environ if environ is None else environ
    if environ.get("OCULANT_RUNTIME_DIR"):
        return environ["OCULANT_RUNTIME_DIR"]
    if environ.get("XDG_RUNTIME_DIR"):
        return os.path.join(environ["XDG_RUNTIME_DIR"], "oculant")
    return "/tmp/oculant-%d" % os.getuid()


def stride_for_width(width):
    """Bytes per row of a frame: three per pixel, rounded up to a multiple of four."""
    return (width * 3 + 3) & ~3 if width > 0 else 0


class Frame:
    """One camera frame exactly as the camera sent it.

    `pixels` holds `height` rows of `stride` bytes, the bottom row of the picture first; each
    row is `width` pixels of blue, green, red, then padding. That is the pixel array of a
    bottom-up 24-bit BMP file, so `save_bmp` writes it unchanged.

        left = bench.grab("left")
        r, g, b = left.rgb_at(0, 0)            # top-left pixel
        image = left.to_array()                # numpy, height x width x 3, BGR, top row first
        left.save_bmp("left.bmp")
        print(left.width, left.height, left.stride)
    """

    def __init__(self, width, stride, height, pixels):
        self.width = width
        self.stride = stride
        self.height = height
        self.pixels = pixels

    def __repr__(self):
        return "Frame(%d x %d)" % (self.width, self.height)

    def rgb_at(self, x, y):
        """(red, green, blue) of column x in row y counted from the top."""
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(
                "(%d, %d) lies outside the %d x %d frame" % (x, y, self.width, self.height)
            )
        at = (self.height - 1 - y) * self.stride + 3 * x
        blue, green, red = self.pixels[at : at + 3]
        return red, green, blue

    def to_array(self):
        """The picture as a numpy array (height x width x 3, uint8, BGR, top row first), the
        layout OpenCV works in. Needs numpy."""
        numpy = _numpy("Frame.to_array")
        rows = numpy.frombuffer(self.pixels, dtype=numpy.uint8).reshape(self.height, self.stride)
        return rows[::-1, : 3 * self.width].reshape(self.height, self.width, 3).copy()

    def bmp_bytes(self):
        """The frame as the bytes of a 24-bit BMP file (the same bytes the bench writes)."""
        size = len(self.pixels)
        file_header = struct.pack("<2sIHHI", b"BM", 54 + size, 0, 0, 54)
        info_header = struct.pack(
            "<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, size, 0, 0, 0, 0
        )
        return file_header + info_header + bytes(self.pixels)

    def save_bmp(self, path):
        """Writes the frame as a 24-bit BMP file."""
        with open(path, "wb") as out:
            out.write(self.bmp_bytes())


def _attitude(values):
    """Height, pitch and roll as floats, the ones not given (None or left out) NaN, which the
    bench reads as "keep the rig's own"."""
    values = tuple(values) + (None,) * (3 - len(values))
    return tuple(float("nan") if value is None else _finite("the pose", value)[0]
                 for value in values)


def _pose_payload(pose):
    """The payload naming a pose: (x, y, heading) as the old 24-byte record, and with any of
    height, pitch, roll after them the 48-byte one."""
    pose = tuple(pose)
    if not 3 <= len(pose) <= 6:
        raise ValueError("a pose is x, y, heading and optionally height, pitch, roll")
    place, attitude = _finite("the pose", *pose[:3]), _attitude(pose[3:])
    if all(math.isnan(value) for value in attitude):
        return POSE.pack(*place)
    return FULL_POSE.pack(*place, *attitude)


def _matrix(rows):
    """Nested lists as a numpy array (float64) when numpy is installed."""
    try:
        import numpy
    except ImportError:
        return rows
    return numpy.array(rows)


class CameraModel:
    """The pinhole model of an eye (no distortion; pixel centres at whole numbers, y down) and
    the rig pose (x, y, heading in degrees) its frame was drawn at, with the rig's height
    (`eye_height`), its pitch (`rig_pitch`, degrees about its right axis, + looks up) and
    then its roll (`rig_roll`, degrees about its viewing axis, + clockwise seen from behind);
    `full_pose` is all six.

    Beside the intrinsics: `eye_offset` (the eye's place on the rig's right-hand axis, minus
    half the baseline for the left eye), and the eye's orientation in the rig,
    the true extrinsics of a rig set with calibration errors: `yaw`, `pitch`, `roll` in degrees
    (0 for the left eye) and `rotation`, a 3 x 3 matrix (numpy or lists, as `matrix()`) whose
    columns are the eye's x (right), y (down) and z (viewing) axes in the rig's frame (x to the
    rig's right, y down, z along the heading). `noise` and `noise_seed` are the colour's sensor
    noise (grey levels)."""

    def __init__(self, payload):
        fields = CAMERA_INFO.unpack_from(payload)
        version, self.width, self.stride, self.height, self.depth_bits, _reserved = fields[:6]
        if version < 1 or self.width < 0 or self.height < 0 or (
                self.stride != stride_for_width(self.width)) or (
                version >= 2 and len(payload) < CAMERA_INFO.size + CAMERA_INFO_V2.size):
            raise BenchError("a camera info of version %d, %d x %d" % (version, self.width,
                                                                      self.height))
        x, y, heading, self.focal_length, self.centre_x, self.centre_y = fields[6:12]
        self.pose = (x, y, heading)
        self.eye_offset, self.near_plane, self.far_plane = fields[12:]
        # Version 1 describes the rig by leaving the rest out: eyes at 0.2, parallel, no noise.
        self.eye_height, self.yaw, self.pitch, self.roll = 0.2, 0.0, 0.0, 0.0
        rotation = (1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0)
        self.noise, self.noise_seed = 0.0, 0
        self.rig_pitch, self.rig_roll = 0.0, 0.0
        if version >= 2:
            more = CAMERA_INFO_V2.unpack_from(payload, CAMERA_INFO.size)
            self.eye_height, self.yaw, self.pitch, self.roll = more[:4]
            rotation = more[4:13]
            self.noise, self.noise_seed = more[13:15]
        if version >= 3:
            if len(payload) < CAMERA_INFO.size + CAMERA_INFO_V2.size + CAMERA_INFO_V3.size:
                raise BenchError("a camera info of version %d too short" % version)
            self.rig_pitch, self.rig_roll = CAMERA_INFO_V3.unpack_from(
                payload, CAMERA_INFO.size + CAMERA_INFO_V2.size)
        self.full_pose = self.pose + (self.eye_height, self.rig_pitch, self.rig_roll)
        self.rotation = _matrix([list(rotation[0:3]), list(rotation[3:6]), list(rotation[6:9])])

    def matrix(self):
        """The 3 x 3 camera matrix: a numpy array (float64) when numpy is installed, else nested
        lists."""
        f = self.focal_length
        return _matrix([[f, 0.0, self.centre_x], [0.0, f, self.centre_y], [0.0, 0.0, 1.0]])

    def project_to_other_eye(self, other, x, y, depth):
        """Where the point that pixel (x, y) of this eye sees at `depth` (along this eye's
        axis) appears in `other`, the other eye of the same pose: (x, y, depth) there, or None
        when the point is not in front of it. Works on numpy arrays as well as numbers."""
        eye = ((x - self.centre_x) * depth / self.focal_length,
               (y - self.centre_y) * depth / self.focal_length, depth)
        rig = [sum(self.rotation[i][k] * eye[k] for k in range(3)) for i in range(3)]
        rig[0] = rig[0] + self.eye_offset - other.eye_offset
        rig[1] = rig[1] + other.eye_height - self.eye_height
        there = [sum(other.rotation[k][i] * rig[k] for k in range(3)) for i in range(3)]
        if not hasattr(depth, "shape") and not there[2] > 0:
            return None
        f = other.focal_length
        return (f * there[0] / there[2] + other.centre_x,
                f * there[1] / there[2] + other.centre_y, there[2])

    def rectified_with(self, other):
        """True when this eye and `other` look in parallel with the same intrinsics."""
        same = ("focal_length", "centre_x", "centre_y", "eye_height")
        identity = [[1.0, 0.0, 0.0], [0.0, 1.0, 0.0], [0.0, 0.0, 1.0]]
        return all(getattr(self, name) == getattr(other, name) for name in same) and all(
            [[float(value) for value in row] for row in camera.rotation] == identity
            for camera in (self, other))


class Capture:
    """One eye's frame with its ground truth, all from one drawing: `colour` (a Frame), `depth`
    (float32 bytes, `height` rows of `width`, the bottom row first; +inf where the eye sees
    nothing), `camera` (a CameraModel) and, when asked for, `object_ids` (uint16 bytes laid out
    as the depth: the number n of the scene file's OBJECTn that each pixel sees, 0 for none;
    None when not asked for). The names are the C++ library's (Capture::colour, ::objectIds);
    `frame` and `ids` are their names before 0.2, kept for one version."""

    def __init__(self, colour, depth, camera, object_ids=None):
        self.colour = colour
        self.depth = depth
        self.camera = camera
        self.object_ids = object_ids

    @property
    def frame(self):
        """The name of `colour` before 0.2."""
        return self.colour

    @property
    def ids(self):
        """The name of `object_ids` before 0.2."""
        return self.object_ids

    def depth_array(self):
        """Depth along the optical axis as numpy (height x width, float32, top row first)."""
        numpy = _numpy("Capture.depth_array")
        rows = numpy.frombuffer(self.depth, dtype="<f4").reshape(self.colour.height,
                                                                 self.colour.width)
        return rows[::-1].copy()

    def disparity_array(self, baseline=None, other=None):
        """The true disparity in pixels (+inf where nothing is seen: no disparity, as Middlebury's
        files mark it): x in the left view minus x in the right view of the point each pixel
        sees. With the other eye's CameraModel as `other`, exact for any rig: a pair that is not
        rectified (a right eye set turned) is reprojected pixel by pixel. Without, f x baseline /
        depth, the baseline being the eyes' distance this eye's model states unless given."""
        import numpy

        depth = self.depth_array()
        camera = self.camera
        seen = numpy.isfinite(depth) & (depth > 0)
        if other is None or camera.rectified_with(other):
            if baseline is None:
                baseline = 2 * abs(camera.eye_offset) if other is None else abs(
                    other.eye_offset - camera.eye_offset)
            disparity = numpy.full(depth.shape, numpy.inf, dtype="float32")
            disparity[seen] = camera.focal_length * baseline / depth[seen]
            return disparity
        rows, columns = numpy.indices(depth.shape, dtype=numpy.float64)
        safe = numpy.where(seen, depth, 1.0).astype(numpy.float64)
        x, _y, there = camera.project_to_other_eye(other, columns, rows, safe)
        left = camera.eye_offset < other.eye_offset
        with numpy.errstate(divide="ignore", invalid="ignore"):
            disparity = numpy.where(there > 0, columns - x if left else x - columns, numpy.inf)
        return numpy.where(seen, disparity, numpy.inf).astype("float32")

    def object_ids_array(self):
        """The object ids as numpy (height x width, uint16, top row first). Needs a capture
        made with ids=True."""
        numpy = _numpy("Capture.object_ids_array")
        if self.object_ids is None:
            raise BenchError("this capture was made without object ids (ids=True asks for them)")
        rows = numpy.frombuffer(self.object_ids, dtype="<u2").reshape(self.colour.height,
                                                                      self.colour.width)
        return rows[::-1].copy()

    def ids_array(self):
        """The name of object_ids_array() before 0.2."""
        return self.object_ids_array()


class Bench:
    """A connection to the bench: opens this program's mailbox, through which cameras answer.

        from oculant_client import Bench
        with Bench() as bench:
            bench.set_position(0.7, 1.2)     # both eyes move; the scene window too with scene=True
            bench.set_heading(90)
            left, right = bench.grab_pair()

    Every call waits at most `timeout` seconds in all for each window it talks to: connecting,
    sending, the answer and the messages the window sends meanwhile. grab and capture talk to
    one camera; set_heading, set_position, save and quit to each window in turn, so a stopped
    window costs them `timeout` once and the others are still told.

    Every method raises BenchNotRunning when the window it needs does not exist,
    BenchNotAnswering when it exists but does not answer in time, and BenchError for the rest.
    """

    def __init__(self, folder=None, timeout=10.0):
        """folder: the runtime folder (found as the bench finds it when None). timeout: the most
        seconds one request to a window may take in all."""
        self.folder = folder or runtime_folder()
        self.timeout = timeout
        self.handle = 0
        self._mailbox = None
        self._mailbox_path = None
        self._check_folder()
        self._open_mailbox()

    # ----- lifetime

    def close(self):
        """Closes the mailbox and removes its socket file."""
        if self._mailbox is not None:
            self._mailbox.close()
            self._mailbox = None
            try:
                os.unlink(self._mailbox_path)
            except FileNotFoundError:
                pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass  # at interpreter shutdown the modules close needs may be gone already

    # ----- what a program asks of the bench

    def bench_running(self):
        """True when the scene window or one of the camera windows is running."""
        names = (SCENE_CLASS,) + tuple(CAMERA_CLASS.values())
        return any(self._window_exists(name) for name in names)

    def running(self):
        """The name of bench_running() before 0.2."""
        return self.bench_running()

    def grab(self, eye):
        """The current frame of one camera: eye is "left" or "right" (or role 1 or 2)."""
        role = _role_of(eye)
        received = {}

        def on_message(code, payload):
            if code == MSG_FRAME_HEADER + role:
                try:
                    received["header"] = self._parse_header(payload)
                except BenchError as error:
                    received["error"] = error
            elif code == MSG_FRAME_PIXELS + role:
                received["pixels"] = payload

        self._send(CAMERA_CLASS[role], MSG_FRAME_REQUEST, b"", on_message)
        if "error" in received:
            raise received["error"]
        if "header" not in received or "pixels" not in received:
            raise BenchError("the %s camera sent no complete frame" % self._eye_name(role))
        width, stride, height = received["header"]
        if len(received["pixels"]) != stride * height:
            raise BenchError(
                "the %s camera sent %d pixel bytes for a %d x %d frame"
                % (self._eye_name(role), len(received["pixels"]), width, height)
            )
        return Frame(width, stride, height, received["pixels"])

    def grab_pair(self):
        """(left, right): both frames, the left one fetched first."""
        return self.grab("left"), self.grab("right")

    def capture(self, eye, pose=None, ids=False):
        """A Capture of one eye; with pose = (x, y, heading) the camera takes that pose first,
        and with (x, y, heading, height, pitch, roll) the whole pose (None: keep the rig's).
        With ids=True the camera also draws which object each pixel sees (Capture.object_ids)."""
        role = _role_of(eye)
        received = {}

        def on_message(code, payload):
            received[code - role] = payload

        payload = _pose_payload(pose) if pose is not None else b""
        self._send(CAMERA_CLASS[role], MSG_EXT_CAPTURE_WITH_IDS if ids else MSG_EXT_CAPTURE,
                   payload, on_message)
        info = received.get(MSG_EXT_CAMERA_INFO)
        colour = received.get(MSG_EXT_COLOUR)
        depth = received.get(MSG_EXT_DEPTH)
        if info is None or len(info) < CAMERA_INFO.size or colour is None or depth is None:
            raise BenchError("the %s camera sent no complete capture" % self._eye_name(role))
        camera = CameraModel(info)
        if len(colour) != camera.stride * camera.height or (
                len(depth) != 4 * camera.width * camera.height):
            raise BenchError("the %s camera sent a capture of the wrong size" % self._eye_name(role))
        if pose is not None and any(value is not None and drawn != float(value)
                                    for drawn, value in zip(camera.full_pose, pose)):
            raise BenchError("the %s camera drew at another pose than asked" % self._eye_name(role))
        object_ids = received.get(MSG_EXT_OBJECT_IDS) if ids else None
        if ids and (object_ids is None or len(object_ids) != 2 * camera.width * camera.height):
            raise BenchError("the %s camera sent no object ids for its capture"
                             % self._eye_name(role))
        return Capture(Frame(camera.width, camera.stride, camera.height, colour), depth, camera,
                       object_ids)

    def capture_stereo(self, pose=None, ids=False):
        """(left, right) Captures at one rig pose: the given one, or else the pose the left
        camera holds, which the right camera is then given too."""
        left = self.capture("left", pose, ids)
        camera = left.camera
        # A level pose goes as the old record; a right camera at another height gets it all.
        level = camera.rig_pitch == 0 and camera.rig_roll == 0
        right = self.capture("right", camera.pose if level else camera.full_pose, ids)
        if right.camera.full_pose != camera.full_pose:
            right = self.capture("right", camera.full_pose, ids)
        return left, right

    def set_heading(self, degrees, scene=False):
        """Turns the rig to `degrees` in both cameras (and the scene window with scene=True)."""
        self._send_to_windows(MSG_HEADING, struct.pack("<d", *_finite("the heading", degrees)),
                              scene)

    def set_position(self, x, y, scene=False):
        """Moves the rig to (x, y) in both cameras (and the scene window with scene=True)."""
        self._send_to_windows(MSG_RIG_XY, struct.pack("<dd", *_finite("the rig position", x, y)),
                              scene)

    def set_pose(self, x, y, heading, height=None, pitch=None, roll=None, scene=False):
        """Sets the rig's whole pose in both cameras (and the scene window with scene=True):
        at (x, y) looking along `heading`, its eyes at `height`, pitched by `pitch` degrees
        about its right axis (+ looks up), then rolled by `roll` degrees about its viewing axis
        (+ clockwise seen from behind). Height, pitch or roll left None stay as they are."""
        self._send_to_windows(MSG_EXT_SET_POSE, FULL_POSE.pack(
            *_finite("the pose", x, y, heading), *_attitude((height, pitch, roll))), scene)

    def save_frames(self):
        """Makes both cameras write "image1.bmp" and "image2.bmp" in the bench's folder."""
        self._send_to_windows(MSG_SAVE_FRAME, b"", False)

    def save(self):
        """The name of save_frames() before 0.2."""
        self.save_frames()

    def describe(self, eye):
        """The CameraModel of one camera at its current pose and size, without a frame."""
        role = _role_of(eye)
        received = {}

        def on_message(code, payload):
            if code == MSG_EXT_CAMERA_INFO + role:
                received["info"] = payload

        self._send(CAMERA_CLASS[role], MSG_EXT_DESCRIBE, b"", on_message)
        info = received.get("info")
        if info is None or len(info) < CAMERA_INFO.size:
            raise BenchError("the %s camera sent no camera model" % self._eye_name(role))
        return CameraModel(info)

    def bench_version(self):
        """(version, protocol) of the running bench, as its scene window (else a camera) says
        them. BenchError when the bench does not say (one older than the question) or speaks
        another protocol than this module."""
        for class_name in (SCENE_CLASS,) + tuple(CAMERA_CLASS.values()):
            try:
                return self._ask_version(class_name)
            except BenchNotRunning:
                pass
        raise BenchNotRunning("no bench is running (looked in %s)" % self.folder)

    def wait_for_bench(self, timeout=30.0):
        """Returns once the scene window and both cameras answer (a bench just started);
        BenchNotRunning naming the windows that did not answer after `timeout` seconds, or
        BenchError at once for a bench of another protocol."""
        deadline = time.monotonic() + timeout
        waiting = [SCENE_CLASS] + list(CAMERA_CLASS.values())
        own_timeout = self.timeout
        try:
            while waiting:
                for class_name in list(waiting):
                    self.timeout = max(0.001, min(own_timeout, deadline - time.monotonic()))
                    try:
                        self._ask_version(class_name)
                        waiting.remove(class_name)
                    except (BenchNotRunning, BenchNotAnswering):
                        pass
                if waiting and time.monotonic() >= deadline:
                    raise BenchNotRunning("no answer within %g s from the %s (looked in %s)" % (
                        timeout, ", ".join(WINDOW_NAME[name] for name in waiting), self.folder))
                if waiting:
                    time.sleep(0.05)
        finally:
            self.timeout = own_timeout

    def window_processes(self):
        """The process ids of the bench's windows that run now: the scene's, the left and
        the right camera's (as the kernel says who listens under each window's name)."""
        pids = []
        for class_name in (SCENE_CLASS,) + tuple(CAMERA_CLASS.values()):
            probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            probe.setblocking(False)
            try:
                probe.connect(os.path.join(self.folder, "class." + class_name))
                pid = _peer_credentials(probe)[0]
                if pid > 0:
                    pids.append(pid)
            except OSError:
                pass
            finally:
                probe.close()
        return pids

    def quit(self, cameras_only=False):
        """Closes the scene window, which ends the whole bench; with cameras_only, just the
        two camera windows."""
        if not cameras_only:
            try:
                self._send(SCENE_CLASS, MSG_QUIT, b"")
                return
            except BenchNotRunning:
                pass
        self._send_to_windows(MSG_QUIT, b"", False)

    # ----- the mailbox

    def _check_folder(self):
        # Our socket goes into this folder: it must be ours and closed to everyone else.
        try:
            info = os.lstat(self.folder)
        except FileNotFoundError:
            raise BenchNotRunning("no bench is running (looked in %s)" % self.folder) from None
        if not stat.S_ISDIR(info.st_mode) or info.st_uid != os.getuid() or info.st_mode & 0o077:
            raise BenchError(
                "refusing the runtime folder %s: it must be a folder of yours with mode 0700"
                % self.folder
            )

    def _open_mailbox(self):
        # A handle drawn at random: no other program can bind its name before us. One that is
        # taken (a squatter's, or a socket left by a dead process) costs another draw; the
        # socket of another process is never removed.
        for _ in range(64):
            handle = secrets.randbits(32)
            if handle == 0:
                continue
            path = os.path.join(self.folder, "window.%d" % handle)
            mailbox = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                mailbox.bind(path)
            except OSError as error:
                mailbox.close()
                if error.errno == errno.EADDRINUSE:
                    continue
                raise BenchError("cannot open a socket in the runtime folder %s: %s"
                                 % (self.folder, error.strerror)) from None
            os.chmod(path, 0o600)
            mailbox.listen(64)
            mailbox.setblocking(False)
            self.handle, self._mailbox, self._mailbox_path = handle, mailbox, path
            return
        raise BenchError("cannot open a socket in the runtime folder %s" % self.folder)

    def _accept(self, incoming, camera_pid, deadline):
        """Takes the connections waiting at the mailbox. Only the process of the window being
        asked may talk to it: others are hung up on, so no other program can slip us a frame."""
        while True:
            try:
                conn, _ = self._mailbox.accept()
            except (BlockingIOError, InterruptedError):
                return
            pid, uid, _gid = _peer_credentials(conn)
            if uid != os.getuid() or pid != camera_pid:
                conn.close()
                continue
            if len(incoming) >= MAX_INCOMING:
                incoming.pop(0).close()
            conn.setblocking(False)
            incoming.append(_Incoming(conn, min(deadline, time.monotonic() + MESSAGE_SECONDS)))

    # ----- sending

    def _send(self, class_name, code, payload, on_message=None):
        """Sends one message to the window holding class_name and waits for its reply, serving
        the mailbox meanwhile, all within self.timeout. The mailbox reads every connection as
        its bytes come, so one that stalls holds up nothing but itself."""
        if self._mailbox is None:
            raise BenchError("this Bench has been closed")
        deadline = time.monotonic() + self.timeout
        request = self._connect(class_name, deadline)
        camera_pid = _peer_credentials(request)[0]
        incoming = []
        try:
            try:
                _write_all(request, ENVELOPE.pack(MAGIC, code, self.handle, len(payload)) + payload,
                           deadline)
            except socket.timeout:
                raise self._not_answering(class_name) from None
            except OSError:
                raise self._hung_up(class_name) from None
            while True:
                now = time.monotonic()
                if now >= deadline:
                    raise self._not_answering(class_name)
                for message in [message for message in incoming if now >= message.deadline]:
                    message.close()  # it did not arrive in time: not handled
                    incoming.remove(message)
                wait = min([deadline] + [message.deadline for message in incoming]) - now
                ready, _, _ = select.select(
                    [request, self._mailbox] + [message.conn for message in incoming], [], [],
                    max(wait, 0))
                # The window's own messages come before its reply, so serve them first.
                if self._mailbox in ready:
                    self._accept(incoming, camera_pid, deadline)
                for message in [message for message in incoming if message.conn in ready]:
                    if message.serve(on_message):
                        incoming.remove(message)
                if request in ready:
                    try:
                        _read_exactly(request, len(REPLY), deadline)
                    except socket.timeout:
                        raise self._not_answering(class_name) from None
                    except (EOFError, OSError):
                        raise self._hung_up(class_name) from None
                    return
        finally:
            request.close()
            for message in incoming:
                message.close()

    def _connect(self, class_name, deadline):
        """A connection to the window holding class_name, made by the deadline."""
        link = os.path.join(self.folder, "class." + class_name)
        while True:
            # A blocking connect waits as long as the window's listen queue stays full; a
            # non-blocking one fails at once, so it can be tried again until the deadline.
            request = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            request.setblocking(False)
            try:
                request.connect(link)
                return request
            except BlockingIOError:
                request.close()
            except (FileNotFoundError, ConnectionRefusedError):
                request.close()
                raise BenchNotRunning("no %s is running (looked in %s)"
                                      % (WINDOW_NAME[class_name], self.folder)) from None
            except OSError as error:
                request.close()
                raise BenchError("cannot reach the %s: %s"
                                 % (WINDOW_NAME[class_name], error)) from None
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise self._not_answering(class_name)
            time.sleep(min(CONNECT_RETRY_SECONDS, remaining))

    def _not_answering(self, class_name):
        return BenchNotAnswering(
            "the %s is running but did not answer within %g s (stopped or busy)"
            % (WINDOW_NAME[class_name], self.timeout))

    def _hung_up(self, class_name):
        # Said as it happened: a window that is gone now ended while it was asked. A process
        # killed while it answered may still listen for a moment after its connection closed
        # (the system closes its files one by one), so it is given a short while to go.
        for _ in range(20):
            if not self._window_exists(class_name):
                return BenchNotAnswering("the %s ended before it answered"
                                         % WINDOW_NAME[class_name])
            time.sleep(0.01)
        return BenchNotAnswering("the %s hung up without answering" % WINDOW_NAME[class_name])

    def _ask_version(self, class_name):
        role = {SCENE_CLASS: 0, CAMERA_CLASS[1]: 1, CAMERA_CLASS[2]: 2}[class_name]
        received = {}

        def on_message(code, payload):
            if code == MSG_EXT_VERSION_INFO + role and len(payload) >= VERSION_INFO.size:
                received["info"] = VERSION_INFO.unpack_from(payload)

        self._send(class_name, MSG_EXT_VERSION, b"", on_message)
        if "info" not in received:
            raise BenchError("the %s did not say its version: a bench older than this client, "
                             "which speaks protocol %d" % (WINDOW_NAME[class_name],
                                                          PROTOCOL_VERSION))
        protocol, text = received["info"]
        version = text.split(b"\0", 1)[0].decode("ascii", "replace")
        if protocol != PROTOCOL_VERSION:
            raise BenchError("the bench (%s) speaks protocol %d, this client protocol %d: use the "
                             "client of the bench's version" % (version, protocol, PROTOCOL_VERSION))
        return version, protocol

    def _send_to_windows(self, code, payload, scene):
        """Sends to the left camera, the right one, and the scene window with scene=True, as the
        scene window turns the rig. Windows that do not exist are skipped, but one must exist;
        every one that exists must answer, and a stopped one does not keep the others from
        being told."""
        classes = [CAMERA_CLASS[1], CAMERA_CLASS[2]] + ([SCENE_CLASS] if scene else [])
        handled = False
        failure = None
        for class_name in classes:
            try:
                self._send(class_name, code, payload)
                handled = True
            except BenchNotRunning:
                pass
            except BenchNotAnswering as error:
                failure = failure or error
        if failure is not None:
            raise failure
        if not handled:
            raise BenchNotRunning("no camera is running (looked in %s)" % self.folder)

    def _window_exists(self, class_name):
        probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        probe.setblocking(False)
        try:
            probe.connect(os.path.join(self.folder, "class." + class_name))
            return True
        except BlockingIOError:
            return True  # its listen queue is full, but it is there
        except OSError:
            return False
        finally:
            probe.close()

    @staticmethod
    def _parse_header(payload):
        if len(payload) != FRAME_HEADER.size:
            raise BenchError(
                "a frame header of %d bytes instead of %d" % (len(payload), FRAME_HEADER.size)
            )
        _zero, width, stride, height, _reserved = FRAME_HEADER.unpack(payload)
        if width < 0 or height < 0 or stride != stride_for_width(width):
            raise BenchError(
                "a frame header with width %d, stride %d, height %d" % (width, stride, height)
            )
        return width, stride, height

    @staticmethod
    def _eye_name(role):
        return "left" if role == 1 else "right"


class _Incoming:
    """A message arriving at the mailbox, read as its bytes come."""

    def __init__(self, conn, deadline):
        self.conn = conn
        self.deadline = deadline
        self.data = bytearray()
        self.length = None  # of the payload, once the envelope is in

    def serve(self, on_message):
        """Reads what has arrived; once the message is whole, hands it to on_message and
        answers it. True when the connection is done with (answered or dropped)."""
        try:
            while True:
                needed = ENVELOPE.size + (self.length or 0) - len(self.data)
                if needed == 0 and self.length is not None:
                    break
                chunk = self.conn.recv(min(max(needed, 1), 1 << 20))
                if not chunk:
                    self.close()  # the sender gave up
                    return True
                self.data += chunk
                if self.length is None and len(self.data) >= ENVELOPE.size:
                    magic, _code, _sender, length = ENVELOPE.unpack_from(self.data)
                    if magic != MAGIC or length > MAX_PAYLOAD:
                        self.close()  # hanging up without a reply: not handled
                        return True
                    self.length = length
        except (BlockingIOError, InterruptedError):
            return False
        except OSError:
            self.close()
            return True
        _magic, code, _sender, _length = ENVELOPE.unpack_from(self.data)
        if on_message is not None:
            on_message(code, bytes(self.data[ENVELOPE.size:]))
        try:
            self.conn.send(REPLY)  # eight bytes into an empty buffer never block
        except OSError:
            pass
        self.close()
        return True

    def close(self):
        self.conn.close()


class LaunchedBench(Bench):
    """A Bench whose bench this program started with launch(); leaving its `with` block (or
    stop()) ends the bench and waits until its processes are gone."""

    def __init__(self, process, runtime, own_runtime, timeout):
        self.process = process
        self._own_runtime = own_runtime
        Bench.__init__(self, runtime, timeout)

    def stop(self, timeout=10.0):
        """Closes the bench as its overview's close would and waits at most `timeout` seconds
        for its three processes to end; what still runs then is killed. The scene's exit
        status."""
        cameras = [pid for pid in self.window_processes() if pid != self.process.pid]
        try:
            if self._mailbox is not None and self.process.poll() is None:
                self.quit()
        except BenchError:
            pass
        deadline = time.monotonic() + timeout
        try:
            self.process.wait(max(0.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            pass
        while any(_running(pid) for pid in cameras) and time.monotonic() < deadline:
            time.sleep(0.02)
        for pid in [self.process.pid] + cameras:
            if _running(pid):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        status = self.process.wait()
        self.close()
        if self._own_runtime:
            shutil.rmtree(self.folder, ignore_errors=True)
        return status

    def __exit__(self, *exc):
        self.stop()


def launch(folder, executable=None, headless=None, timeout=30.0, runtime=None):
    """Starts a bench on the scene in `folder` and returns a LaunchedBench once all three of its
    windows answer (BenchError if it ends or does not answer within `timeout` seconds; it is
    then ended). executable: the bench program, else $OCULANT_EXECUTABLE, else `oculant` on the
    PATH. headless: True runs it without a display, False on the display in the environment,
    None headless only when there is none. runtime: the runtime folder to run it in, else a
    fresh private one, removed when the bench ends; other programs reach the bench through
    bench.folder (as OCULANT_RUNTIME_DIR).

        with launch("examples/demo") as bench:
            left, right = bench.grab_pair()
    """
    program = executable or os.environ.get("OCULANT_EXECUTABLE") or shutil.which("oculant")
    if not program:
        raise BenchError("no bench program: give executable=, set OCULANT_EXECUTABLE or put "
                         "oculant on the PATH")
    if not os.path.isfile(os.path.join(folder, "config.txt")):
        raise BenchError("no config.txt in %s: not a scene folder" % folder)
    # The bench runs in the scene folder: paths given relative to the caller's folder must not
    # be read relative to that one (a bare name is looked up on the PATH).
    if os.sep in program:
        program = os.path.abspath(program)
    own_runtime = runtime is None
    runtime = os.path.abspath(runtime or tempfile.mkdtemp(prefix="oculant-run-"))
    env = dict(os.environ, OCULANT_RUNTIME_DIR=runtime)
    display = env.get("DISPLAY") or env.get("WAYLAND_DISPLAY")
    if headless or (headless is None and not display):
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
    try:
        process = subprocess.Popen([program], cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                   start_new_session=True)
    except OSError as error:
        if own_runtime:
            shutil.rmtree(runtime, ignore_errors=True)
        raise BenchError("cannot start the bench %s: %s" % (program, error.strerror))
    deadline = time.monotonic() + timeout
    bench = None
    try:
        while True:
            if process.poll() is not None:
                raise BenchError("the bench ended at start with status %d" % process.returncode)
            if os.path.isdir(runtime):
                bench = bench or LaunchedBench(process, runtime, own_runtime, 10.0)
                try:
                    bench.wait_for_bench(min(0.5, max(0.001, deadline - time.monotonic())))
                    return bench
                except BenchNotRunning:
                    pass
            if time.monotonic() >= deadline:
                raise BenchError("the bench in %s did not answer within %g s" % (folder, timeout))
            time.sleep(0.05)
    except BaseException:
        if bench is not None:
            bench.stop(1.0)
        else:
            process.kill()
            process.wait()
            if own_runtime:
                shutil.rmtree(runtime, ignore_errors=True)
        raise


def _running(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open("/proc/%d/stat" % pid) as status:
            return status.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def _time_left(conn, deadline):
    """Gives conn's next call the time left until the deadline (socket.timeout once it passed)."""
    remaining = deadline - time.monotonic()
    if remaining <= 0:
        raise socket.timeout("timed out")
    conn.settimeout(remaining)


def _write_all(conn, data, deadline):
    view = memoryview(data)
    while view:
        _time_left(conn, deadline)
        view = view[conn.send(view):]


def _read_exactly(conn, count, deadline):
    data = bytearray()
    while len(data) < count:
        _time_left(conn, deadline)
        chunk = conn.recv(min(count - len(data), 1 << 20))
        if not chunk:
            raise EOFError("connection closed after %d of %d bytes" % (len(data), count))
        data += chunk
    return bytes(data)
