"""The Linux build's frames of the demo scene at a given client size, for the Wine frame test to
compare with: runs the Linux bench under its own X server (run it with tests/with_xvfb), sizes
both camera windows' client areas to WIDTH x HEIGHT and writes each camera's pixel bytes.

    linux_reference_frames.py WIDTH HEIGHT OUTDIR    writes OUTDIR/left.bin and OUTDIR/right.bin
    ... WIDTH HEIGHT OUTDIR POSES.csv                 also records every pose of POSES.csv with
                                                      oculant-client into OUTDIR/record
    ... WIDTH HEIGHT OUTDIR POSES.csv SCENE           the same of every file of the folder SCENE
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e_real_use"))
from running_bench import SOURCE_DIR, RunningBench, remove_folder, scratch_folder  # noqa: E402

DEMO_FOLDER = os.path.join(SOURCE_DIR, "examples", "demo")
TITLES = {"left": "Camera 1 Left", "right": "Camera 2 Right"}


def main():
    width, height, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    folder = scratch_folder("linux-reference")
    scene = sys.argv[5] if len(sys.argv) > 5 else DEMO_FOLDER
    for entry in os.listdir(scene):
        if scene != DEMO_FOLDER or entry == "config.txt" or entry.endswith(".bmp"):
            shutil.copy(os.path.join(scene, entry), folder)
    bench = RunningBench(folder)
    try:
        for eye, title in TITLES.items():
            subprocess.run(["xdotool", "search", "--sync", "--name", "^%s$" % title,
                            "windowsize", "%@", str(width), str(height)], check=True)
        with bench.client() as client:
            for eye in TITLES:
                previous = None
                for _ in range(300):
                    frame = client.grab(eye)
                    if (frame.width, frame.height) == (width, height) and frame.pixels == previous:
                        break
                    previous = frame.pixels
                    time.sleep(0.1)
                else:
                    sys.exit("the Linux %s camera showed no steady %d x %d frame" % (eye, width, height))
                with open(os.path.join(out, eye + ".bin"), "wb") as pixels:
                    pixels.write(frame.pixels)
        if len(sys.argv) > 4:
            subprocess.run([os.environ["OCULANT_CLIENT_TOOL"], "record", sys.argv[4],
                            os.path.join(out, "record")], env=bench.env, check=True, timeout=300)
    finally:
        bench.stop()
        remove_folder(folder)


if __name__ == "__main__":
    main()
