#!/usr/bin/env python3
"""Prints qpdf's page count, page rotations and top-level outline titles the way the tests print ours."""
import json, re, subprocess, sys

result = subprocess.run(["qpdf", "--json", "--json-key=pages", "--json-key=outlines", "--json-key=qpdf", sys.argv[1]],
                        capture_output=True)
# qpdf copies a real such as "0." as it stands in the file, which JSON does not accept.
data = json.loads(re.sub(r'(?m)^(\s*(?:"[^"]*":\s*)?-?\d+)\.(,?)$', r'\1.0\2', result.stdout.decode()))
value = lambda ref: data["qpdf"][1].get("obj:" + ref, {}).get("value")
print("pages", len(data["pages"]))
for index, page in enumerate(data["pages"]):
    rotate = (value(page["object"]) or {}).get("/Rotate")
    rotate = value(rotate) if isinstance(rotate, str) and rotate.endswith(" R") else rotate
    # bool is an int in Python; a PDF boolean is no rotation.
    print("rotate", index, rotate % 360 if isinstance(rotate, int) and not isinstance(rotate, bool) else 0)
print("outline", len(data["outlines"]))
for index, item in enumerate(data["outlines"]):
    print("title", index, item["title"].encode("utf-16-be").hex() or "-")
