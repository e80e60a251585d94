"""Checks the user guide in a help folder as Help opens it: Index.html is there,
every page, stylesheet and picture it uses is in the folder (the guide must
read without a network), every link inside the guide lands on an anchor that
exists, every picture says what it shows, and the elements are closed.

    python3 check_guide.py HELP-FOLDER
"""

import os
import re
import sys
from html.parser import HTMLParser
from urllib.parse import unquote, urlsplit

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
        "source", "track", "wbr"}
# Closed implicitly by the next sibling or their parent, as HTML allows.
OPTIONAL_END = {"li", "p", "td", "th", "tr", "dt", "dd", "option", "thead", "tbody"}


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.ids = set()
        self.links = []      # (tag, attribute, value, line)
        self.problems = []
        self.open = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        line = self.getpos()[0]
        if "id" in a:
            if a["id"] in self.ids:
                self.problems.append("line %d: id %r twice" % (line, a["id"]))
            self.ids.add(a["id"])
        for attr in ("href", "src"):
            if a.get(attr) is not None:
                self.links.append((tag, attr, a[attr], line))
        if tag == "img" and not (a.get("alt") or "").strip():
            self.problems.append("line %d: a picture without alt text" % line)
        if tag not in VOID:
            self.open.append((tag, line))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.open.pop()

    def handle_endtag(self, tag):
        line = self.getpos()[0]
        while self.open and self.open[-1][0] != tag and self.open[-1][0] in OPTIONAL_END:
            self.open.pop()
        if not self.open or self.open[-1][0] != tag:
            self.problems.append("line %d: </%s> closes nothing open" % (line, tag))
            return
        self.open.pop()

    def finish(self):
        self.close()
        for tag, line in self.open:
            if tag not in OPTIONAL_END:
                self.problems.append("line %d: <%s> is never closed" % (line, tag))


def check(folder):
    problems = []
    index = os.path.join(folder, "Index.html")
    if not os.path.isfile(index):
        return ["%s is missing: Help would do nothing" % index]

    pages = {}
    to_read = ["Index.html"]
    while to_read:
        name = to_read.pop()
        if name in pages:
            continue
        page = Page()
        with open(os.path.join(folder, name), encoding="utf-8") as f:
            page.feed(f.read())
        page.finish()
        pages[name] = page
        problems += ["%s %s" % (name, p) for p in page.problems]
        for tag, attr, value, _ in page.links:
            target = urlsplit(value)
            if not target.scheme and target.path.endswith(".html"):
                to_read.append(unquote(target.path))

    for name, page in pages.items():
        for tag, attr, value, line in page.links:
            where = "%s line %d: %s %s=%r" % (name, line, tag, attr, value)
            target = urlsplit(value)
            if target.scheme or value.startswith("//"):
                # A link the reader may follow is fine; what the page itself
                # loads must come from the folder.
                if tag != "a" or target.scheme not in ("http", "https", "mailto"):
                    problems.append(where + ": loaded from outside the help folder")
                continue
            path = unquote(target.path) or name
            if os.path.isabs(path) or ".." in path.split("/"):
                problems.append(where + ": outside the help folder")
                continue
            if not os.path.isfile(os.path.join(folder, path)):
                problems.append(where + ": no such file in the help folder")
                continue
            if target.fragment and path in pages and target.fragment not in pages[path].ids:
                problems.append(where + ": no such anchor")

    for css in [n for n in os.listdir(folder) if n.endswith(".css")]:
        with open(os.path.join(folder, css), encoding="utf-8") as f:
            for ref in re.findall(r"url\(\s*['\"]?([^'\")]+)", f.read()):
                if urlsplit(ref).scheme or not os.path.isfile(os.path.join(folder, ref)):
                    problems.append("%s: url(%s) is not a file in the help folder" % (css, ref))
    return problems


def main(argv):
    if len(argv) != 2:
        print(__doc__)
        return 2
    problems = check(argv[1])
    for p in problems:
        print("FAIL: " + p)
    print("guide in %s: %s" % (argv[1], "%d problems" % len(problems) if problems else "fine"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
