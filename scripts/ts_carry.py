#!/usr/bin/env python3
"""Fills each unfinished message of a Qt .ts file with the translation the same
English text has under another context (a text that moved to another class keeps
its translation). Prints how many were filled."""
import sys
import xml.etree.ElementTree as ET

path = sys.argv[1]
tree = ET.parse(path)
known = {}
for msg in tree.iter("message"):
    tr = msg.find("translation")
    src = msg.findtext("source")
    if tr is None or src is None or msg.get("numerus") == "yes":
        continue
    if tr.get("type") in (None, "vanished", "obsolete") and (tr.text or "").strip():
        known.setdefault(src, tr.text)
filled = 0
for msg in tree.iter("message"):
    tr = msg.find("translation")
    src = msg.findtext("source")
    if tr is not None and tr.get("type") == "unfinished" and src in known and msg.get("numerus") != "yes":
        tr.text = known[src]
        del tr.attrib["type"]
        filled += 1
if filled:
    tree.write(path, encoding="utf-8", xml_declaration=True)
print(f"{path}: {filled} moved text(s) kept their translation")
