"""The dataset recipe (examples/dataset/generate-and-record) on two tiny scenes over GNU
parallel: one sample folder per pose in one dataset that the scoring and the disparity example
read."""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(HERE, "..", "e2e_real_use"))
sys.path.insert(0, os.path.join(SOURCE, "examples", "stereo_disparity"))
from running_bench import remove_folder, required_env, scratch_folder  # noqa: E402

import stereo_disparity  # noqa: E402

SAMPLE_FILES = ("im0.png", "im1.png", "disp0.pfm", "mask0nocc.png", "calib.txt")


def main():
    folder = scratch_folder("recipe")
    dataset = os.path.join(folder, "data set")  # a blank in the name must not split it
    failures = []
    try:
        run = subprocess.run(
            [os.path.join(SOURCE, "examples", "dataset", "generate-and-record"), "--jobs", "2",
             "--seed", "40", "--objects", "4", "--poses", "2", "--size", "64x48",
             "2", dataset], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=600)
        output = run.stdout.decode(errors="replace")
        if run.returncode != 0:
            failures.append("the recipe ended with status %d:\n%s" % (run.returncode, output))
        samples = sorted(name for name in os.listdir(dataset) if not name.startswith("."))
        expected = ["001_0001", "001_0002", "002_0001", "002_0002", "scenes"]
        if samples != expected:
            failures.append("dataset holds %s, not %s" % (samples, expected))
        for sample in expected[:-1]:
            for name in SAMPLE_FILES:
                if not os.path.exists(os.path.join(dataset, sample, name)):
                    failures.append("no %s in %s" % (name, sample))
            # A perfect result, to see the scoring find and read every sample.
            truth = os.path.join(dataset, sample, "disp0.pfm")
            if os.path.exists(truth):
                shutil.copy(truth, os.path.join(dataset, sample, "disp0PERFECT.pfm"))
        for scene in ("001", "002"):
            for name in ("config.txt", "poses.csv", "recorded-poses.csv"):
                if not os.path.exists(os.path.join(dataset, "scenes", scene, name)):
                    failures.append("no scenes/%s/%s" % (scene, name))
        score = subprocess.run([required_env("OCULANT_CLIENT_TOOL"), "record", "--evaluate",
                                dataset, "--result", "PERFECT"],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        table = score.stdout.decode(errors="replace")
        rows = [line.split()[0] for line in table.splitlines()[3:]]
        if score.returncode != 0 or rows != expected[:-1] + ["overall"]:
            failures.append("record --evaluate read rows %s:\n%s" % (rows, table))
        found = [os.path.basename(path) for path in stereo_disparity.sample_folders(dataset)]
        if found != expected[:-1]:
            failures.append("the disparity example finds samples %s" % found)
    finally:
        remove_folder(folder)
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
