#!/usr/bin/env python3
"""Checks a web site folder: every page parses, and every relative link of every page
names a file that exists. Prints "pages N links M" and one line per broken link; exits 1
when a link is broken or a page does not parse."""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import unquote, urlparse

import html5lib


class Links(HTMLParser):
    def __init__(self):
        super().__init__()
        self.hrefs = []

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ("href", "src") and value is not None:
                self.hrefs.append(value)


def main(root):
    pages = links = 0
    broken = []
    for folder, _, files in os.walk(root):
        for name in files:
            if not name.endswith((".html", ".htm")):
                continue
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            html5lib.parse(data, treebuilder="etree")
            pages += 1
            parser = Links()
            parser.feed(data.decode("latin-1"))
            for href in parser.hrefs:
                target = urlparse(href)
                if target.scheme or target.netloc:
                    continue
                links += 1
                resolved = os.path.normpath(os.path.join(folder, unquote(target.path)))
                if not resolved.startswith(os.path.abspath(root)) or not os.path.isfile(resolved):
                    broken.append(f"{path}: {href}")
    print(f"pages {pages} links {links}")
    for line in broken:
        print("broken", line)
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1])))
