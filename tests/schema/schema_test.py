#!/usr/bin/env python3
"""The published schema of a parts file's JSON document, checked with
python3-jsonschema: the schema against its metaschema, the document of every
parts file of the golden runs and of the example library against the schema,
and a few broken documents refused.

usage: schema_test.py PARTSC SOURCE_DIR
"""
import copy
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("SKIP: python3-jsonschema is not installed")
    sys.exit(77)

partsc, source = os.path.abspath(sys.argv[1]), sys.argv[2]
schema = json.load(open(os.path.join(source, "schema/parts-file.schema.json")))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)


def from_hex(body):
    """The bytes of a golden file's hex dump ("*" repeats the line above)."""
    data = bytearray()
    last = b""
    repeat = False
    for line in body.splitlines():
        if line == "*":
            repeat = True
            continue
        offset_text, _, rest = line.partition(":")
        offset = int(offset_text, 16)
        if repeat:
            while len(data) < offset:
                data += last
            repeat = False
        hex_part = rest.split("  |")[0]
        last = bytes(int(h, 16) for h in hex_part.split())
        data += last
    return bytes(data)


def golden_hex_files():
    for path in sorted(glob.glob(os.path.join(source, "tests/e2e/golden/*.golden"))):
        text = open(path, encoding="latin-1").read()
        for section in text.split("\n--- ")[1:] + text.split("\n=== ")[1:]:
            head, _, body = section.partition("\n")
            if head.startswith("hexfile ") or head.startswith("hex "):
                body = body.split("\n--- ")[0].split("\n=== ")[0]
                yield "%s: %s" % (os.path.basename(path), head), from_hex(body)


def documents(path):
    run = subprocess.run([partsc, "--list", "--format=json", path], capture_output=True)
    return [json.loads(line) for line in run.stdout.decode().splitlines()]


checked = 0
work = tempfile.mkdtemp()
try:
    for name, data in golden_hex_files():
        if not data.startswith(b"f\0"):
            continue  # not a parts file
        path = os.path.join(work, "golden.prt")
        open(path, "wb").write(data)
        for document in documents(path):
            validator.validate(document)
            checked += 1
    library = os.path.join(work, "library")
    shutil.copytree(os.path.join(source, "examples"), library)
    os.makedirs(os.path.join(library, "parts"), exist_ok=True)
    subprocess.run([partsc, "-pORVA.SET", "-q", "-c", "LIBRARY.CTL"], cwd=library,
                   capture_output=True, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
    parts = sorted(glob.glob(os.path.join(library, "parts/*")))
    assert len(parts) >= 4, parts
    good = None
    for path in parts:
        for document in documents(path):
            validator.validate(document)
            checked += 1
            if document["header"]["title"] == "Bolts M6 to M12":
                good = document  # common: a spec entry, then param entries
finally:
    shutil.rmtree(work)

assert checked >= 20, "only %d documents checked" % checked
print("%d documents valid" % checked)


def broken(change):
    document = copy.deepcopy(good)
    change(document)
    return document


cases = {
    "a spec number above 256": lambda d: d["common"]["members"][0].update(number=300),
    "a missing title": lambda d: d["header"].pop("title"),
    "five views": lambda d: d["views"].pop(),
    "an unknown field": lambda d: d["header"].update(colour="red"),
    "a param name of seven characters": lambda d: d["common"]["members"][1].update(name="DIAMETR"),
    "a Latin-1 text above U+00FF": lambda d: d["sizes"][0].update(title={"latin1": "\u0100"}),
    "an entry of no kind": lambda d: d["sizes"][0]["members"].append({"kind": "size"}),
    "a view out of its place": lambda d: d["views"][1].update(view="$TOP"),
}
work = tempfile.mkdtemp()
try:
    for what, change in cases.items():
        document = broken(change)
        if validator.is_valid(document):
            print("FAIL: the schema accepts %s" % what)
            sys.exit(1)
        # partsc --from-json refuses what the schema refuses, and writes nothing.
        path = os.path.join(work, "broken.json")
        json.dump(document, open(path, "w"))
        out = os.path.join(work, "broken.prt")
        run = subprocess.run([partsc, "--from-json", path, "-o", out], capture_output=True)
        if run.returncode != 1 or os.path.exists(out):
            print("FAIL: partsc --from-json accepts %s" % what)
            sys.exit(1)
finally:
    shutil.rmtree(work)
print("%d broken documents refused by the schema and by --from-json" % len(cases))
