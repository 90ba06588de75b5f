"""The Linux build's frames of the demo scene (or every file of --scene FOLDER) at a client size,
for the Wine tests to compare with; run under tests/with_xvfb.

    linux_reference_frames.py [--scene FOLDER] WIDTH HEIGHT OUTDIR POSES.csv
        writes each camera's pixel bytes to OUTDIR/left.bin and OUTDIR/right.bin, and records
        every pose of POSES.csv with oculant-client into OUTDIR/record
"""

import os
import pathlib
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e_real_use"))
from running_bench import (SOURCE_DIR, RunningBench, remove_folder, scratch_folder,  # noqa: E402
                           wait_steady)

DEMO_FOLDER = os.path.join(SOURCE_DIR, "examples", "demo")
TITLES = {"left": "Camera 1 Left", "right": "Camera 2 Right"}


def main():
    arguments, scene = sys.argv[1:], DEMO_FOLDER
    if arguments[:1] == ["--scene"]:
        scene, arguments = arguments[1], arguments[2:]
    width, height, out = int(arguments[0]), int(arguments[1]), arguments[2]
    folder = scratch_folder("linux-reference")
    for entry in os.listdir(scene):
        path = os.path.join(scene, entry)
        if entry == "config.txt" or entry.endswith(".bmp") or (
                scene != DEMO_FOLDER and os.path.isfile(path) and not entry.endswith(".exe")):
            shutil.copy(path, folder)
    bench = RunningBench(folder)
    try:
        for eye, title in TITLES.items():
            subprocess.run(["xdotool", "search", "--sync", "--name", "^%s$" % title,
                            "windowsize", "%@", str(width), str(height)], check=True)
        with bench.client() as client:
            for eye in TITLES:
                def frame():
                    grabbed = client.grab(eye)
                    return grabbed.width, grabbed.height, grabbed.pixels

                _, _, pixels = wait_steady(frame, "a steady %d x %d frame" % (width, height),
                                           accept=lambda size: size[:2] == (width, height))
                pathlib.Path(out, eye + ".bin").write_bytes(pixels)
        subprocess.run([os.environ["OCULANT_CLIENT_TOOL"], "record", arguments[3],
                        os.path.join(out, "record")], env=bench.env, check=True, timeout=300)
    finally:
        bench.stop()
        remove_folder(folder)


if __name__ == "__main__":
    main()
