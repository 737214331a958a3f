#!/usr/bin/env python3
"""partsc --diff finds every field that changed: each field of the model a
source sets, edited one at a time in the JSON document of an example parts
file (written with --from-json), shows in the text form (a "-" and a "+"
line with the new value) and in the JSON form, which is valid against
schema/parts-diff.schema.json.

usage: diff_test.py PARTSC SOURCE_DIR
"""
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
schema = json.load(open(os.path.join(source, "schema/parts-diff.schema.json")))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

# What the diff leaves out on purpose: the creation date, what follows from
# the layout, and what names a place rather than holds a value.
NOT_COMPARED = {"created", "version", "size_count", "apg_comment_count", "common_offset",
                "member_offset", "offset", "read", "view", "kind", "format", "file"}
# A new value for each kind of field, valid for the rule of a good file.
PAIR_CODES = {0: 1, 1: 11, 10: 0, 11: 10}


def edits(node, pointer=""):
    """(pointer, new value) for every field a source sets."""
    if isinstance(node, dict):
        if node.get("name") == "" and "view" in node:
            yield pointer + "/name", "Q"  # a view defined: its comment comes with a name
            return
        for key, value in node.items():
            if key not in NOT_COMPARED:
                yield from edits(value, pointer + "/" + key)
    elif isinstance(node, list):
        for i, value in enumerate(node):
            yield from edits(value, "%s/%d" % (pointer, i))
    elif isinstance(node, bool):
        pass
    elif isinstance(node, int):
        leaf = pointer.rsplit("/", 1)[1]
        if leaf == "pair_code":
            yield pointer, PAIR_CODES[node]
        elif leaf == "sort_mode":
            yield pointer, 1 - node if node < 2 else 0
        elif leaf == "inverted":
            yield pointer, 1 - node
        else:
            yield pointer, node + 1
    elif isinstance(node, str):
        leaf = pointer.rsplit("/", 1)[1]
        if pointer.startswith("/sizes/") and leaf == "name" and pointer.count("/") == 3 and \
                pointer != LAST_SIZE[0]:
            return  # a size renamed in place would break the order of the sizes
        yield pointer, (node[:-1] if len(node) > 5 and leaf == "name" else node) + "Q"


LAST_SIZE = [""]


def set_at(document, pointer, value):
    keys = pointer.split("/")[1:]
    for key in keys[:-1]:
        document = document[int(key)] if isinstance(document, list) else document[key]
    document[keys[-1]] = value


work = tempfile.mkdtemp()
failures = []
checked = 0
try:
    library = os.path.join(work, "library")
    shutil.copytree(os.path.join(source, "examples"), library)
    os.makedirs(os.path.join(library, "parts"), exist_ok=True)
    subprocess.run([partsc, "-pORVA.SET", "-q", "-c", "LIBRARY.CTL"], cwd=library,
                   capture_output=True, env=dict(os.environ, SOURCE_DATE_EPOCH="0"))
    for name in ["bolt.prt", "WASHER.PRT"]:
        old = os.path.join(library, "parts", name)
        listed = subprocess.run([partsc, "--list", "--format=json", old], capture_output=True)
        document = json.loads(listed.stdout)
        LAST_SIZE[0] = "/sizes/%d/name" % (len(document["sizes"]) - 1)
        for pointer, value in edits(document):
            edited = json.loads(listed.stdout)
            set_at(edited, pointer, value)
            for count in ["size_count", "apg_comment_count"]:
                edited["header"].pop(count)
            if pointer == "/header/sort_mode":
                del edited["sizes"][1:]  # one size is in the order of any sort mode
            path = os.path.join(work, "edited.json")
            json.dump(edited, open(path, "w"))
            new = os.path.join(work, name)
            if os.path.exists(new):
                os.remove(new)
            made = subprocess.run([partsc, "--from-json", path, "-o", new], capture_output=True)
            if made.returncode != 0:
                failures.append("%s %s: not written: %s" % (name, pointer, made.stderr.decode()))
                continue
            text = subprocess.run([partsc, "--diff", old, new], capture_output=True,
                                  env=dict(os.environ, LC_ALL="C.UTF-8"))
            as_json = subprocess.run([partsc, "--diff", "--format=json", old, new],
                                     capture_output=True)
            minus = [l for l in text.stdout.decode().splitlines() if l.startswith("-") and
                     not l.startswith("---")]
            plus = [l for l in text.stdout.decode().splitlines() if l.startswith("+") and
                    not l.startswith("+++")]
            diff = json.loads(as_json.stdout)
            validator.validate(diff)
            shown = str(value)
            if (text.returncode, as_json.returncode) != (1, 1) or not plus:
                failures.append("%s %s: the text form shows no change" % (name, pointer))
            elif not any(shown in line for line in plus) and pointer.rsplit("/", 1)[1] not in (
                    "sort_mode", "inverted", "pair_code"):
                failures.append("%s %s: %r is not in %s" % (name, pointer, shown, plus))
            elif diff["same"] or not diff["changes"] or \
                    json.dumps(diff["changes"]).find(json.dumps(value)) < 0:
                failures.append("%s %s: the JSON form does not show %r" % (name, pointer, value))
            checked += 1
finally:
    shutil.rmtree(work)

for failure in failures:
    print("FAIL:", failure)
print("%d edits found in both forms" % checked)
sys.exit(1 if failures or checked < 40 else 0)
