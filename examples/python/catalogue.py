#!/usr/bin/env python3
"""Lists the parts files of a directory as a table: file, title, views,
sizes and member entries; a file that cannot be read says why.

    python3 examples/python/catalogue.py parts/
"""
import pathlib
import sys

import partsc


def row(path):
    try:
        model = partsc.read(path)
    except partsc.PartsFileError as error:
        return [path.name, f"({error.strerror or error})", "", "", ""]
    title = model.header.title
    if isinstance(title, bytes):
        title = title.decode("latin-1")
    views = sum(1 for view in model.views if view.name)
    entries = sum(len(size.members) for size in model.sizes)
    return [path.name, title, str(views), str(len(model.sizes)), str(entries)]


rows = [["FILE", "TITLE", "VIEWS", "SIZES", "ENTRIES"]]
directory = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
rows += [row(path) for path in sorted(directory.iterdir()) if path.suffix.lower() == ".prt"]
widths = [max(len(r[i]) for r in rows) for i in range(5)]
for r in rows:
    print("  ".join(cell.ljust(width) for cell, width in zip(r, widths)).rstrip())
