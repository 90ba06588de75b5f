"""Generated scenes as the real bench draws them, plain (slabs and lattices) and in full (turned
objects and meshes): textured, with the backdrop and the generated objects in the eyes' view at
the start pose."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "e2e_real_use"))
from running_bench import RunningBench, remove_folder, required_env, scratch_folder  # noqa: E402

import numpy  # noqa: E402

OBJECTS = 8
BACKDROP = 3  # the colour, the wall (object 2), the floor (object 3)


def textured(capture, number):
    """Whether the object's pixels show a texture's sharp edges: neighbours of the object that
    differ by more than lighting changes from one pixel to the next. An object of a few pixels
    may show one colour of its texture only, and passes."""
    ids = capture.object_ids_array()
    if (ids == number).sum() < 400:
        return True
    picture = capture.colour.to_array().astype(int)
    both = (ids[:, 1:] == number) & (ids[:, :-1] == number)
    step = abs(picture[:, 1:] - picture[:, :-1]).max(axis=2)
    return bool((step[both] > 48).any())


def config_of(folder):
    with open(os.path.join(folder, "config.txt")) as stream:
        return dict(line.rstrip("\n").split("=", 1) for line in stream if "=" in line)


def check_scene(folder, plain):
    """What is wrong with the scene generated with seed 5 (with --plain or in full), as the
    bench draws it at the start pose."""
    scene = os.path.join(folder, "plain" if plain else "full")
    subprocess.run([required_env("OCULANT_SCENE_TOOL"), "generate", "--seed", "5", "--objects",
                    str(OBJECTS)] + (["--plain"] if plain else []) + [scene], check=True)
    config = config_of(scene)
    bench = RunningBench(folder, os.path.basename(scene), name="run-" + os.path.basename(scene))
    try:
        with bench.client() as client:
            left, right = client.capture_stereo((0.7, 0.7, 90), ids=True)
    finally:
        status = bench.stop()
    failures = []
    meshes = {n for n in range(1, 31) if config.get("OBJECT%d" % n) == "3"}
    for eye, capture in (("left", left), ("right", right)):
        ids = set(numpy.unique(capture.object_ids_array()).tolist())
        generated = ids & set(range(BACKDROP + 1, BACKDROP + OBJECTS + 1))
        if not {2, 3} <= ids:
            failures.append("%s eye: the wall and floor (2, 3) not among ids %s" % (eye, ids))
        # Objects are placed in the view; a nearer one may hide some of the others.
        if len(generated) < OBJECTS // 2:
            failures.append("%s eye: only objects %s of %d in view" % (eye, generated, OBJECTS))
        if not plain and not ids & meshes:
            failures.append("%s eye: none of the meshes %s in view" % (eye, sorted(meshes)))
        for number in sorted(ids - {0}):
            # An untextured mesh shows its material's colour alone.
            wears = config.get("OBJECT%d_TEXTURE" % number) == "ON"
            if wears and not textured(capture, number):
                failures.append("%s eye: object %d shows no texture" % (eye, number))
    if status != 0:
        failures.append("the bench ended with status %d" % status)
    return ["%s scene: %s" % ("plain" if plain else "full", failure) for failure in failures]


def main():
    folder = scratch_folder("generated")
    try:
        failures = check_scene(folder, True) + check_scene(folder, False)
        for failure in failures:
            print("FAIL:", failure)
        sys.exit(1 if failures else 0)
    finally:
        remove_folder(folder)


if __name__ == "__main__":
    main()
