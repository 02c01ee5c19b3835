#!/usr/bin/python
# Copyright (c) msrconfig developers; MIT License (see LICENSE in the msrconfig source)
from __future__ import annotations

DOCUMENTATION = r"""
module: reader
short_description: A magnetic stripe reader holds a prepared configuration
description:
  - Runs C(msrconfig --json --ensure) on one reader, which writes the prepared configuration
    only when the reader holds something else and reads back what it wrote; in check mode
    C(msrconfig --json --verify), which writes nothing.
  - The result is the program's JSON record (firmware revision, configuration, reader
    identity); a failure is one line with the port, the status name and the cause.
  - The prepared file is written into a work folder that only its owner may change, so that
    no other user can replace it before the run.
version_added: "1.0.0"
options:
  port:
    description: The reader's COM name, as C(msrconfig --list-ports) shows it.
    type: str
    required: true
  baud:
    description: The baud rate.
    type: str
    default: "19200"
  content:
    description: The prepared configuration file, base64-encoded (as C(b64encode) gives it).
    type: str
  path:
    description: A prepared configuration file already on the host, instead of O(content).
    type: path
  work:
    description: The folder on the host for the prepared file; made if missing, owner only.
    type: path
    default: /var/lib/msrconfig
  program:
    description: The msrconfig program.
    type: str
    default: msrconfig
  attempts:
    description: Claim attempts, 1 to 10; a missing device or a refused permission ends at once.
    type: int
    default: 10
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
author: msrconfig developers
"""

EXAMPLES = r"""
- name: The till's reader holds the prepared configuration
  msrconfig.fleet.reader:
    port: COM3
    content: "{{ lookup('ansible.builtin.file', 'prepared.txt', rstrip=false) | b64encode }}"
"""

RETURN = r"""
status:
  description: The program's exit status (0 holds it, 2 file, 3 not claimed, 4 not accepted, 5 differs).
  type: int
  returned: when the program ran
status_name:
  description: The status as a word, as the record names it.
  type: str
  returned: when the program ran
cause:
  description: Why no reader was claimed (no-device, no-permission, busy, ...), else null.
  type: str
  returned: when the program ran
firmware:
  description: The reader's firmware revision.
  type: str
  returned: when a reader was claimed
configuration:
  description: What the reader held before the run, setting by setting.
  type: dict
  returned: when a reader was claimed
device:
  description: The device the port led to, with its USB vendor and product id and serial number.
  type: dict
  returned: when the port led to a device
differences:
  description: Each setting where the reader held something else than the file.
  type: list
  returned: when the program ran
record:
  description: The program's whole JSON record.
  type: dict
  returned: when the program ran
"""

import base64
import binascii
import json
import os
import shutil
import stat
import tempfile

from ansible.module_utils.basic import AnsibleModule

PREPARED = "prepared.txt"


def private_folder(module, folder):
    # Made if missing; an existing one must be ours and closed to others, never a link.
    try:
        os.makedirs(folder, mode=0o700, exist_ok=True)
        info = os.lstat(folder)
    except OSError as error:
        module.fail_json(msg=f"work folder {folder}: {error.strerror}")
    if not stat.S_ISDIR(info.st_mode) or info.st_uid != os.geteuid():
        module.fail_json(msg=f"work folder {folder} is no folder of this user's; remove it")
    if info.st_mode & 0o077:
        os.chmod(folder, 0o700)


def writable_by_others(path):
    info = os.stat(path)
    return info.st_uid not in (0, os.geteuid()) or info.st_mode & (stat.S_IWGRP | stat.S_IWOTH)


def prepared_file(module, folder):
    # The file the program reads: written whole, then renamed into place, readable by us alone.
    path = module.params["path"]
    if path:
        if "," in path:
            module.fail_json(msg=f"{path}: a prepared file's path may hold no comma")
        try:
            if writable_by_others(path) or writable_by_others(os.path.dirname(os.path.abspath(path))):
                module.fail_json(msg=f"{path}: another user could replace it; keep it in a folder only its owner may change")
        except OSError as error:
            module.fail_json(msg=f"{path}: {error.strerror}")
        return path
    try:
        content = base64.b64decode(module.params["content"], validate=True)
    except (binascii.Error, ValueError):
        module.fail_json(msg="content is not base64 (give the file through b64encode)")
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=".prepared-")
    with os.fdopen(handle, "wb") as out:
        out.write(content)
        out.flush()
        os.fsync(out.fileno())
    if module.check_mode:
        return temporary
    os.replace(temporary, os.path.join(folder, PREPARED))
    return os.path.join(folder, PREPARED)


def shown(value):
    # A sentinel as the program tells it: the character where it can be typed, and its code.
    if not isinstance(value, dict):
        return "on" if value else "off"
    text = value["text"]
    return f'"{text}" (0x{value["code"]:02x})' if text.isprintable() and text else f'0x{value["code"]:02x}'


def diff_of(port, differences):
    lines = [(d["caption"], shown(d["reader"]), shown(d["file"])) for d in differences]
    return {"before_header": f"{port} (reader)", "after_header": f"{port} (prepared file)",
            "before": "".join(f"{caption}: {before}\n" for caption, before, _ in lines),
            "after": "".join(f"{caption}: {after}\n" for caption, _, after in lines)}


def failure_line(port, path, record, errors):
    # One line that says what to do: the cause for a claim, the settings for a reader that
    # reads back different, the program's last word otherwise.
    line = f"{port}: {record['status_name']}"
    if record.get("cause"):
        return f"{line} ({record['cause']}): {record.get('cause_text') or ''}".rstrip(": ")
    if record.get("differences") and record["status"] == 5:
        return line + ": reads back " + "; ".join(
            f"{d['caption']} {shown(d['reader'])} (file {shown(d['file'])})" for d in record["differences"])
    last = [text for text in errors.splitlines() if text.strip()]
    about = f"{port} {path}: "  # the program names the run on each line; the line here says it
    return f"{line}: {last[-1].removeprefix(about)}" if last else line


def main():
    module = AnsibleModule(
        argument_spec=dict(port=dict(type="str", required=True), baud=dict(type="str", default="19200"),
                           content=dict(type="str", no_log=False), path=dict(type="path"),
                           work=dict(type="path", default="/var/lib/msrconfig"),
                           program=dict(type="str", default="msrconfig"), attempts=dict(type="int", default=10)),
        required_one_of=[("content", "path")], mutually_exclusive=[("content", "path")],
        supports_check_mode=True)
    port, attempts = module.params["port"], module.params["attempts"]
    if not 1 <= attempts <= 10:
        module.fail_json(msg=f"{port}: attempts must be 1 to 10")
    if "," in port or "," in module.params["baud"]:
        module.fail_json(msg=f"{port}: a port or baud rate holds no comma")
    # Check mode leaves nothing behind on the host, not even the work folder.
    folder = tempfile.mkdtemp(prefix="msrconfig-") if module.check_mode else module.params["work"]
    private_folder(module, folder)
    path = prepared_file(module, folder)
    verb = "--verify" if module.check_mode else "--ensure"
    try:
        status, output, errors = module.run_command(
            [module.params["program"], "--json", "--attempts", str(attempts), verb,
             f"{path},{port},{module.params['baud']}"])
    finally:
        if module.check_mode:
            shutil.rmtree(folder, ignore_errors=True)
    try:
        record = json.loads(output)
    except ValueError:
        last = [text for text in (errors or output).splitlines() if text.strip()]
        module.fail_json(msg=f"{port}: {module.params['program']} gave no record (status {status})"
                         + (f": {last[-1]}" if last else ""), status=status)
    result = dict(status=status, status_name=record.get("status_name"), cause=record.get("cause"),
                  firmware=record.get("firmware"), configuration=record.get("configuration"),
                  device=record.get("device"), differences=record.get("differences", []), record=record)
    would_write = module.check_mode and status == 5
    changed = bool(record.get("changed")) or would_write
    if module._diff and (changed or status == 5):
        result["diff"] = diff_of(port, record.get("differences", []))
    if status == 0 or would_write:
        module.exit_json(changed=changed, **result)
    module.fail_json(msg=failure_line(port, path, record, errors), changed=changed, **result)


if __name__ == "__main__":
    main()
