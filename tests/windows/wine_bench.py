"""Runs the cross-built Windows bench under Wine for a test: in a scratch folder of its own, in the
run's Wine prefix (tests/windows/wine_prefix), on the X server the test runs with (tests/with_xvfb).
Every Wine program of a test is started through this module, and a test ends with none left."""

import contextlib
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e_real_use"))
# The same guard against a hang as the Linux tests: nothing checked depends on how fast Wine is.
from running_bench import (PATIENCE_SECONDS, SOURCE_DIR, processes_in, required_env,  # noqa: E402
                           wait_steady, wait_until)

DEMO_SCENE = os.path.join(SOURCE_DIR, "examples", "demo")
CLASSES = ("oculant", "oculant1", "oculant2")
CAMERAS = CLASSES[1:]


def stage_file(name):
    """A file of the Windows build; a missing one fails the test, as a missing build is a fault."""
    path = os.path.join(required_env("OCULANT_WINDOWS_STAGE"), name)
    if not os.path.isfile(path):
        raise AssertionError("%s is missing: build the Windows binaries first "
                             "(scripts/build-windows)" % path)
    return path


def parse_lines(text):
    """KEY=VALUE lines into a dict; 'box', given once per box, maps to a list."""
    values = {"box": []}
    for key, sep, value in (line.partition("=") for line in text.splitlines()):
        if key == "box":
            values[key].append(value)
        elif sep:
            values[key] = value
    return values


def output(*command):
    return subprocess.run(command, capture_output=True, text=True).stdout.strip()


def x_windows_named(title):
    return output("xdotool", "search", "--onlyvisible", "--name", "^%s$" % title).split()


def x_property(window, *arguments):
    """xprop's answer for the window: a property's name, after any format options."""
    return output("xprop", "-id", window, *arguments)


def close_error_boxes():
    """Presses Enter in every "Error" box up, as a user closing it would; returns how many."""
    boxes = x_windows_named("Error")
    for box in boxes:
        output("xdotool", "key", "--window", box, "Return")
    return len(boxes)


class WineBench:
    """oculant.exe in a scratch folder with the demo scene (or every file of the given scene
    folder), its config.txt replaced by the text given."""

    def __init__(self, name, config=None, scene=None):
        prefix = pathlib.Path(required_env("OCULANT_WINE_PREFIX_FILE")).read_text().strip()
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.wine = required_env("OCULANT_WINE")
        executable = stage_file("oculant.exe")
        self.folder = tempfile.mkdtemp(prefix="oculant-wine-%s-" % name)
        shutil.copy(executable, self.folder)
        for entry in os.listdir(scene or DEMO_SCENE):
            if scene or entry == "config.txt" or entry.endswith(".bmp"):
                shutil.copy(os.path.join(scene or DEMO_SCENE, entry), self.folder)
        if config is not None:
            pathlib.Path(self.folder, "config.txt").write_text(config)
        self.logs = []
        self.first = None

    def start(self, program="oculant.exe"):
        """Starts one oculant.exe (or the program given) in the folder, as a double click would."""
        log = open(os.path.join(self.folder, "oculant-%d.log" % len(self.logs)), "wb")
        self.logs.append(log)
        process = subprocess.Popen([self.wine, program], cwd=self.folder, env=self.env,
                                   stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.first = self.first or process
        return process

    def run(self, program, *args, timeout=PATIENCE_SECONDS):
        """Runs a Windows console program in the folder to its end. Its output goes through files,
        not pipes: the first Wine program after the wineserver ended starts the server and Wine's
        own services, which keep its output open for as long as they run."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            status = subprocess.run([self.wine, program, *args], cwd=self.folder, env=self.env,
                                    stdout=out, stderr=err, timeout=timeout).returncode
            texts = []
            for stream in (out, err):
                stream.seek(0)
                texts.append(stream.read().decode(errors="replace"))
            return subprocess.CompletedProcess(program, status, *texts)

    def probe(self, *args):
        """win32_probe's findings as a dict, with its exit status under 'status'."""
        result = self.run(required_env("OCULANT_WIN32_PROBE"), *args)
        return dict(parse_lines(result.stdout), status=result.returncode)

    def client(self, *args, check=True):
        """oculant-client.exe's output, with Windows line ends made Unix ones; with check, fails the
        test with its message when it fails, else returns (status, stdout, stderr)."""
        result = self.run(stage_file("oculant-client.exe"), *args)
        out, err = (text.replace("\r\n", "\n") for text in (result.stdout, result.stderr))
        if not check:
            return result.returncode, out, err
        if result.returncode != 0:
            raise AssertionError("oculant-client.exe %s: status %d, %s"
                                 % (" ".join(args), result.returncode, err.strip()))
        return out

    def window(self, class_name):
        values = self.probe("window", class_name)
        return values if values["status"] == 0 else None

    def frame(self, class_name):
        """One frame fetched over WM_COPYDATA by the probe: its findings and the pixel bytes (none
        when no complete frame came: the findings say why)."""
        pixel_file = "probe-%s.bin" % class_name
        values = self.probe("frame", class_name, pixel_file)
        path = pathlib.Path(self.folder, pixel_file)
        pixels = path.read_bytes() if path.exists() else b""
        path.unlink(missing_ok=True)
        return values, pixels

    def start_ready(self):
        """Starts the bench and waits until all three windows exist and both cameras show the same
        frame twice in a row; a bench that does not get there is stopped."""
        try:
            self.start()
            wait_until(lambda: all(self.window(name) for name in CLASSES), "the three windows")
            wait_steady(lambda: tuple(self.frame(name)[1] for name in CAMERAS),
                        "steady frames from both cameras", accept=all)
        except BaseException:
            self.stop()
            raise
        return self

    def processes(self):
        """Unix process ids of the Windows programs running in the folder."""
        return processes_in(self.folder)

    def boxes(self):
        """The message boxes up: (Windows process id, caption, text) each."""
        return [tuple(box.split("|", 2)) for box in self.probe("boxes")["box"]]

    def stop(self):
        """Ends whatever is left of the bench, then the prefix's wineserver, so that the next test
        starts Wine afresh on its own display; removes the folder."""
        for pid in self.processes():
            with contextlib.suppress(ProcessLookupError):
                os.kill(pid, signal.SIGKILL)
        wineserver = required_env("OCULANT_WINESERVER")
        subprocess.run([wineserver, "-k"], env=self.env, capture_output=True)
        subprocess.run([wineserver, "-w"], env=self.env, capture_output=True, timeout=PATIENCE_SECONDS)
        for log in self.logs:
            log.close()
        if os.environ.get("OCULANT_KEEP_WINE_FOLDERS"):
            print("kept", self.folder)
        else:
            shutil.rmtree(self.folder, ignore_errors=True)
