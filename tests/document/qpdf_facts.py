#!/usr/bin/env python3
"""Prints what qpdf reads from one PDF, one fact per line, for the document tests to compare:
  pages <count>
  rotate <page index from 0> <the page's own /Rotate normalised into 0..359, 0 unless an integer>
  outline <number of top-level outline items>
  title <item index from 0> <the title in UTF-16BE, as hex>
"""
import json
import re
import subprocess
import sys


def main(path):
    result = subprocess.run(["qpdf", "--json", "--json-key=pages", "--json-key=outlines",
                             "--json-key=qpdf", path], capture_output=True)
    if result.returncode not in (0, 3):
        sys.exit("qpdf failed: " + result.stderr.decode(errors="replace"))
    # qpdf copies a real such as "0." as it stands in the file, which JSON does not accept.
    text = re.sub(r'(?m)^(\s*(?:"[^"]*":\s*)?-?\d+)\.(,?)$', r'\1.0\2', result.stdout.decode())
    data = json.loads(text)
    objects = data["qpdf"][1]

    def value(ref):
        obj = objects.get("obj:" + ref, {})
        return obj.get("value")

    def resolve(item):
        # A reference is written "N G R"; follow it once, as a lookup does.
        if isinstance(item, str) and item.endswith(" R") and len(item.split()) == 3:
            return value(item)
        return item

    pages = data["pages"]
    print("pages", len(pages))
    for index, page in enumerate(pages):
        dictionary = value(page["object"]) or {}
        rotate = resolve(dictionary.get("/Rotate"))
        # bool is an int in Python; a PDF boolean is no rotation.
        turn = rotate % 360 if isinstance(rotate, int) and not isinstance(rotate, bool) else 0
        print("rotate", index, turn)
    outlines = data["outlines"]
    print("outline", len(outlines))
    for index, item in enumerate(outlines):
        print("title", index, item["title"].encode("utf-16-be").hex())


if __name__ == "__main__":
    main(sys.argv[1])
