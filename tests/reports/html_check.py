#!/usr/bin/python3
"""Outside checks of the web pages the program writes, with Debian's html5lib.

  html_check.py site DIR    every .htm/.html file of DIR and its sub-folders: pure
                            ASCII without control bytes, parses, declares its charset, holds only the elements and attributes
                            of the page templates, and every site-relative link names a
                            file that exists
  html_check.py dom NAME    a DOM as Chromium dumps it, read from standard input: only the
                            template's elements and attributes

Prints one line per problem and exits 1 when there is any; prints the count of pages
and links checked otherwise.
"""
import os
import sys
from urllib.parse import urlparse

import html5lib

ELEMENTS = {"html", "head", "title", "meta", "link", "style", "body", "h1", "h2", "p",
            "table", "tbody", "tr", "td", "th", "b", "a"}
ATTRIBUTES = {"bgcolor", "align", "cellspacing", "colspan", "width", "height", "href",
              "name", "content", "http-equiv", "rel", "type", "charset", "lang"}
NS = "{http://www.w3.org/1999/xhtml}"


def local(tag):
    return tag[len(NS):] if tag.startswith(NS) else tag


def check_tree(name, root, folder, problems, links):
    charset = False
    for element in root.iter():
        if not isinstance(element.tag, str):
            continue
        tag = local(element.tag)
        if tag not in ELEMENTS:
            problems.append("%s: element <%s>" % (name, tag))
        for attribute, value in element.attrib.items():
            attribute = local(attribute)
            if attribute not in ATTRIBUTES:
                problems.append("%s: attribute %s=%r on <%s>" % (name, attribute, value, tag))
        if tag == "meta" and ("charset" in element.attrib or
                              "charset=" in element.attrib.get("content", "")):
            charset = True
        href = element.attrib.get("href")
        if tag in ("a", "link") and href is not None:
            url = urlparse(href)
            if url.scheme in ("http", "https", "mailto"):
                continue
            if url.scheme or url.netloc:
                problems.append("%s: link %r" % (name, href))
                continue
            links[0] += 1
            if folder is not None:
                target = os.path.normpath(os.path.join(folder, url.path))
                if not os.path.isfile(target):
                    problems.append("%s: link %r names no file" % (name, href))
    if not charset:
        problems.append("%s: no charset declared" % name)


def main():
    problems = []
    links = [0]
    pages = 0
    if sys.argv[1] == "site":
        top = sys.argv[2]
        for folder, _, files in os.walk(top):
            for leaf in sorted(files):
                if not (leaf.endswith(".html") or leaf.endswith(".htm")):
                    continue
                path = os.path.join(folder, leaf)
                data = open(path, "rb").read()
                if any(b > 0x7F for b in data):
                    problems.append("%s: bytes above 127" % leaf)
                # HTML allows no control character but white space in a page.
                if any((b < 0x20 and b not in b"\t\n\r\f") or b == 0x7F for b in data):
                    problems.append("%s: a control byte" % leaf)
                parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"))
                root = parser.parse(data)
                for _, code, _ in parser.errors:
                    if code == "invalid-codepoint":
                        problems.append("%s: an invalid character" % leaf)
                check_tree(os.path.relpath(path, top), root, folder, problems, links)
                pages += 1
    else:
        root = html5lib.parse(sys.stdin.buffer.read(), treebuilder="etree")
        check_tree(sys.argv[2], root, None, problems, links)
        pages = 1
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print("%d pages, %d site links" % (pages, links[0]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
