"""Every link of the README, the guide and the protocol leads somewhere: a file of the source
tree, and a heading of that file (or of the same one) for a #fragment, by GitHub's rule for
heading anchors."""

import os
import re
import sys
import unittest
from urllib.parse import unquote

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DOCUMENTS = ["README.md", "docs/guide.md", "docs/protocol.md"]


def without_code(text):
    """The text with fenced blocks and inline code spans blanked out."""
    text = re.sub(r"^```.*?^```", "", text, flags=re.S | re.M)
    return re.sub(r"`[^`]*`", "", text)


def anchors(text):
    """The anchors GitHub gives the headings of a Markdown text."""
    found, seen = set(), {}
    text = re.sub(r"^```.*?^```", "", text, flags=re.S | re.M)
    for heading in re.findall(r"^#{1,6} +(.+?) *#*$", text, re.M):
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
    targets = re.findall(r"\]\(([^)\s]+)\)", without_code(read(path)))
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


if __name__ == "__main__":
    sys.exit(unittest.main(verbosity=2))
