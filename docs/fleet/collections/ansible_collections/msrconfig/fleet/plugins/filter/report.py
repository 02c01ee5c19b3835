# Copyright (c) msrconfig developers; MIT License (see LICENSE in the msrconfig source)
# The fleet report's rows, one per host and reader, from the reader module's loop results;
# and paths on the controller as its user gives them.
from __future__ import annotations

import csv
import io
import os

DOCUMENTATION = r"""
name: reader_rows
short_description: The fleet report's rows from msrconfig.fleet.reader loop results
description: One row per reader; readers_csv makes CSV text of them.
positional: host
options:
  _input:
    description: The registered loop result of msrconfig.fleet.reader.
    type: dict
    required: true
  host:
    description: The host's inventory name.
    type: str
    required: true
"""

COLUMNS = ("host", "port", "firmware", "status", "status_name", "cause", "changed", "differences", "message")


def _difference(d):
    def shown(value):
        if not isinstance(value, dict):
            return "on" if value else "off"
        return f'"{value["text"]}" (0x{value["code"]:02x})' if value["text"].isprintable() else f'0x{value["code"]:02x}'
    return f"{d['setting']}: reader {shown(d['reader'])}, file {shown(d['file'])}"


def reader_rows(registered, host):
    rows = []
    for result in registered.get("results", []):
        rows.append({
            "host": host, "port": result.get("item"), "firmware": result.get("firmware"),
            "status": result.get("status"), "status_name": result.get("status_name"),
            "cause": result.get("cause"), "changed": bool(result.get("changed")),
            "differences": [_difference(d) for d in result.get("differences") or []],
            "message": result.get("msg")})
    return rows


def readers_csv(rows):
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(COLUMNS)
    for row in rows:
        writer.writerow(["; ".join(row[c]) if c == "differences" else "" if row[c] is None
                         else str(row[c]).lower() if isinstance(row[c], bool) else row[c] for c in COLUMNS])
    return out.getvalue()


def controller_path(path):
    # Relative to where ansible-playbook was started, as a shell user means it: filters run in
    # that process, whereas the pipe lookup runs in the playbook's folder and PWD may be stale.
    return os.path.abspath(os.path.expanduser(path))


class FilterModule:
    def filters(self):
        return {"reader_rows": reader_rows, "readers_csv": readers_csv, "controller_path": controller_path}
