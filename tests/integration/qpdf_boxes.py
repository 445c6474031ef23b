#!/usr/bin/env python3
# Each page's MediaBox and CropBox, own or inherited, as qpdf reads them and quillmor -info shows them, or "-".
import json
import re
import subprocess
import sys

result = subprocess.run(["qpdf", "--json", "--json-key=pages", "--json-key=qpdf", sys.argv[1]], capture_output=True)
# qpdf copies a real such as "0." as it stands in the file, which JSON does not accept.
data = json.loads(re.sub(r'(?m)^(\s*(?:"[^"]*":\s*)?-?\d+)\.(,?)$', r'\1.0\2', result.stdout.decode()))
objects = data["qpdf"][1]


def resolved(item):
    while isinstance(item, str) and item.endswith(" R"):
        item = objects.get("obj:" + item, {}).get("value")
    return item


def shown(number):
    text = "%.4f" % number
    text = text.rstrip("0").rstrip(".") if "." in text else text
    return "0" if text == "-0" else text


def box(reference, key):
    node, seen = resolved(reference), set()
    while isinstance(node, dict) and id(node) not in seen:
        seen.add(id(node))
        value = resolved(node.get(key))
        if isinstance(value, list):
            # As a reader takes a short or long array: four numbers, missing ones 0.
            numbers = [resolved(number) for number in value[:4]] + [0] * (4 - min(len(value), 4))
            return ",".join(shown(n if isinstance(n, (int, float)) else 0) for n in numbers)
        node = resolved(node.get("/Parent"))
    return "-"


for page in data["pages"]:
    print(box(page["object"], "/MediaBox"), box(page["object"], "/CropBox"))
