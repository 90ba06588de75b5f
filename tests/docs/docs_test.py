"""The documentation: every link of the README, the guide and the protocol leads to a file of the
source tree (and a #fragment to a heading, by GitHub's rule for anchors); and the README's tour,
its blocks run in one shell in a scratch copy of the tree: every step succeeds, prints only what
the README shows, leaves the files it names, and ends every bench it started. And scripts/demo
without a display: a stereo pair fetched from the bench running headless, and a screenshot under
X whose camera windows show that same pair. Run with Links, Tour or DemoScript."""

import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import unittest
from urllib.parse import unquote

import cv2

from running_bench import SOURCE_DIR, processes_in, required_env, run_ok, scratch_folder, wait_until

DOCUMENTS = ["README.md", "docs/guide.md", "docs/protocol.md"]
FENCED = re.compile(r"^```.*?^```", re.S | re.M)


def anchors(text):
    """The anchors GitHub gives the headings of a Markdown text."""
    found, seen = set(), {}
    for heading in re.findall(r"^#{1,6} +(.+?) *#*$", FENCED.sub("", text), re.M):
        slug = re.sub(r"[^\w\- ]", "", heading.lower().replace("`", "")).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        found.add(slug if count == 0 else "%s-%d" % (slug, count))
    return found


def read(path):
    with open(path, encoding="utf-8") as document:
        return document.read()


def broken_links(name):
    """Every link of document `name`, and (link, reason) for those that lead nowhere."""
    path = os.path.join(SOURCE_DIR, name)
    # Fenced blocks and inline code spans hold no links.
    targets = re.findall(r"\]\(([^)\s]+)\)", re.sub(r"`[^`]*`", "", FENCED.sub("", read(path))))
    broken = []
    for target in targets:
        if re.match(r"[a-z]+:", target):
            continue  # a web address: not checked offline
        file_part, _, fragment = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(path), unquote(file_part))) \
            if file_part else path
        if not linked.startswith(SOURCE_DIR + os.sep) or not os.path.exists(linked):
            broken.append((target, "no such file in the source tree"))
        elif fragment and not (linked.endswith(".md") and fragment in anchors(read(linked))):
            broken.append((target, "no such heading"))
    return targets, broken


class Links(unittest.TestCase):
    def test_every_link_resolves(self):
        for name in DOCUMENTS:
            with self.subTest(document=name):
                self.assertEqual(broken_links(name)[1], [])
        # The README's links into the guide are the guide's way in: they must be there at all.
        self.assertTrue(any(t.startswith("docs/guide.md#") for t in broken_links("README.md")[0]))

    def test_anchors_follow_githubs_rule(self):
        """Punctuation dropped, spaces to hyphens, a repeated heading numbered."""
        self.assertEqual(anchors("# From C++\n## Clients in C++, Python and the shell\n"
                                 "### Recording at scale: shards\n## Soak\n## Soak\n```\n"
                                 "# not one\n```\n"),
                         {"from-c", "clients-in-c-python-and-the-shell",
                          "recording-at-scale-shards", "soak", "soak-1"})


# Only guards against a hang: nothing checked depends on how fast the tour runs.
PATIENCE_SECONDS = 300

# What the tour says it leaves, relative to the top of the tree.
EXPECTED_FILES = ["out/tour/" + name for name in (
    "pair-left.png", "pair-right.png", "turned-left.png", "turned-right.png", "dataset/poses.csv",
    "tour.py", "left.bmp", "showcase-left.png", "showcase-right.png")] + [
    "out/tour/dataset/%s/%s" % (sample, name) for sample in ("0001", "0002")
    for name in ("im0.png", "im1.png", "disp0.pfm", "disp1.pfm", "mask0nocc.png",
                 "mask1nocc.png", "ids0.png", "ids1.png", "calib.txt", "calib.yml")]


def tour_steps(readme):
    """(shell text, output the README shows after it or None) per step of the tour's fenced
    blocks. A Python block is a step that saves it in the file its first line names, as the tour
    asks the reader to."""
    section = re.search(r"^## A five-minute tour\n(.*?)^## ", readme, re.S | re.M)
    if not section:
        raise AssertionError("the README has no section '## A five-minute tour'")
    steps = []
    for language, text in re.findall(r"^```(\w*)\n(.*?)^```", section.group(1), re.S | re.M):
        if language == "sh":
            steps.append([text, None])
        elif language == "python":
            saved_as = re.match(r"# (\S+\.py)\b", text)
            if not saved_as:
                raise AssertionError("the tour's Python block does not name its file on its "
                                     "first line:\n" + text)
            steps.append(["cat > %s <<'OCULANT_TOUR_PY'\n%sOCULANT_TOUR_PY\n"
                          % (saved_as.group(1), text), None])
        elif language == "text" and steps and steps[-1][1] is None:
            steps[-1][1] = text
    return steps


class Tour(unittest.TestCase):
    def setUp(self):
        build = required_env("OCULANT_BUILD_DIR")
        self.scratch = os.path.realpath(scratch_folder("tour", self))
        self.tree = os.path.join(self.scratch, "tree")
        self.logs = os.path.join(self.scratch, "logs")
        self.runtime = os.path.join(self.scratch, "run")
        os.mkdir(self.logs)
        # The scene folders are copied: a bench started in a linked folder would find `../..`
        # in the real tree, not here.
        shutil.copytree(os.path.join(SOURCE_DIR, "examples"), os.path.join(self.tree, "examples"),
                        ignore=shutil.ignore_patterns("image1.bmp", "image2.bmp", "__pycache__"))
        os.symlink(os.path.abspath(build), os.path.join(self.tree, "build"))
        for linked in ("clients", "scripts", "tools", "docs"):
            os.symlink(os.path.join(SOURCE_DIR, linked), os.path.join(self.tree, linked))
        self.addCleanup(self.end_leftovers)

    def end_leftovers(self):
        for pid in processes_in(self.scratch):
            os.kill(pid, signal.SIGKILL)

    def test_the_tour_runs_as_written(self):
        steps = tour_steps(read(os.path.join(SOURCE_DIR, "README.md")))
        self.assertGreaterEqual(len(steps), 4, "the tour has lost its steps")
        # One shell, as a reader types the blocks; each step's output goes to files (not pipes,
        # which a bench left running in the background would hold open).
        script = ["set -e"]
        for number, (text, _) in enumerate(steps, 1):
            script.append("{\n%s} >%s/%d.out 2>%s/%d.err\necho %d >%s/passed"
                          % (text, self.logs, number, self.logs, number, number, self.logs))
        env = dict(os.environ, OCULANT_RUNTIME_DIR=self.runtime)
        with open(os.path.join(self.logs, "shell.err"), "wb") as shell_err:
            shell = subprocess.run(["bash", "-c", "\n".join(script)], cwd=self.tree, env=env,
                                   stdin=subprocess.DEVNULL, stdout=shell_err, stderr=shell_err,
                                   timeout=PATIENCE_SECONDS)
        passed = int(self.read_log("passed").strip() or 0)
        if shell.returncode != 0 or passed != len(steps):
            failed = passed + 1
            self.fail("tour step %d of %d failed (status %d):\n%s\nits output:\n%s%s%s" % (
                failed, len(steps), shell.returncode, steps[failed - 1][0],
                self.read_log("%d.out" % failed), self.read_log("%d.err" % failed),
                self.read_log("shell.err")))
        for number, (text, shown) in enumerate(steps, 1):
            if shown is not None:
                with self.subTest(step=number):
                    printed = set(self.read_log("%d.out" % number).split())
                    self.assertEqual(printed - set(shown.split()), set(),
                                     "step %d printed what the README does not show:\n%s"
                                     % (number, self.read_log("%d.out" % number)))
        for name in EXPECTED_FILES:
            with self.subTest(file=name):
                self.assertTrue(os.path.isfile(os.path.join(self.tree, name)), name + " is missing")
        # The tour ends what it started: no process left in the tree, no window's socket left.
        wait_until(lambda: not processes_in(self.scratch), "the tour's processes to end", 10)
        sockets = [name for name in os.listdir(self.runtime)
                   if name.startswith(("window.", "class."))]
        self.assertEqual(sockets, [], "the tour left the bench's sockets behind")

    def read_log(self, name):
        log = pathlib.Path(self.logs, name)
        return log.read_text(errors="replace") if log.exists() else ""


class DemoScript(unittest.TestCase):
    def test_without_a_display_it_saves_a_pair_and_a_screenshot(self):
        self.out = scratch_folder("demo-test", self)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        result = run_ok(os.path.join(SOURCE_DIR, "scripts", "demo"), "--build-dir",
                        required_env("OCULANT_BUILD_DIR"), "--out", self.out, env=env, timeout=600)
        self.assertIn("Saved in %s" % self.out, result.stdout)
        left = cv2.imread(os.path.join(self.out, "pair-left.png"))
        right = cv2.imread(os.path.join(self.out, "pair-right.png"))
        screenshot = cv2.imread(os.path.join(self.out, "screenshot.png"))
        self.assertFalse((left == right).all(), "both eyes show the same picture")
        # The demo's textures fill the view: hardly any pixel stays black.
        self.assertLess((left.max(axis=2) == 0).mean(), 0.2)
        # The screenshot spans the three windows, and the camera windows show the saved pair at
        # their places on the screen, counted from the overview's corner.
        self.assertEqual(screenshot.shape[:2], (600, 1140))
        for (x, y), eye in (((820, 0), left), ((820, 260), right)):
            self.assertTrue((screenshot[y : y + 240, x : x + 320] == eye).all())


if __name__ == "__main__":
    sys.exit(unittest.main(verbosity=2))
