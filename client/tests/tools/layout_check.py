#!/usr/bin/env python3
"""Computes the layout check value of the client library's message set.

Reads a message list (message_layouts.txt: "<id> <version> <fields>" per line),
turns every field list into the layout codes that the protocol library uses
and computes the check value of each protocol version: the XOR of the checks
of all layouts whose version is at most that version. The value of the
highest version is the one exchanged with the server.

This is a second computation, independent of the C++ tables and of the codec:
the CTest test runs it with the expected figures that the C++ test freezes.
The fingerprint covers the check values of all 150 versions, so that the
versions of the two transcriptions are compared too.

  layout_check.py LIST [--expect-count N] [--expect-version V]
                       [--expect-check 0xHHHH] [--expect-fingerprint 0xHHHHHHHH]
                       [--dump]
"""

import argparse
import re
import sys

BYTE, INT16, INT32, CHAR, INT64 = 1, 2, 4, 7, 8
SCALARS = {"byte": BYTE, "char": CHAR, "int16": INT16, "int32": INT32, "int64": INT64}
VERSION_COUNT = 150


class ListError(Exception):
    pass


def split_top(text):
    """Splits a field list at the commas that are not inside braces."""
    parts, depth, current = [], 0, []
    for ch in text:
        if ch == "{":
            depth += 1
        elif ch == "}":
            depth -= 1
            if depth < 0:
                raise ListError("unbalanced braces")
        if ch == "," and depth == 0:
            parts.append("".join(current).strip())
            current = []
        else:
            current.append(ch)
    if depth != 0:
        raise ListError("unbalanced braces")
    parts.append("".join(current).strip())
    return parts


# A layout is a list of fields; a field is ("scalar", code), ("nested", layout),
# ("array", n, element) or ("counted", capacity, element).
def parse_element(text):
    text = text.strip()
    if text in SCALARS:
        return ("scalar", SCALARS[text])
    if text.startswith("{") and text.endswith("}"):
        return ("nested", parse_fields(text[1:-1]))
    raise ListError("unknown element %r" % text)


def parse_field(text):
    match = re.fullmatch(r"counted\s+(.+)\[up to (\d+)\]", text)
    if match:
        capacity = int(match.group(2))
        if not 0 <= capacity <= 999:
            raise ListError("capacity out of range in %r" % text)
        return ("counted", capacity, parse_element(match.group(1)))
    match = re.fullmatch(r"(.+)\[(\d+)\]", text)
    if match:
        count = int(match.group(2))
        if not 1 <= count <= 999:
            raise ListError("array size out of range in %r" % text)
        return ("array", count, parse_element(match.group(1)))
    return parse_element(text)


def parse_fields(text):
    text = text.strip()
    if text == "(empty)":
        return []
    return [parse_field(part) for part in split_top(text)]


def mix(running, value):
    rotated = ((running << 2) | (running >> 14)) & 0xFFFF
    return rotated ^ (value & 0xFFFF)


def element_check(running, element):
    if element[0] == "nested":
        running = mix(running, 0x0A)
        running = layout_check(running, element[1])
        return mix(running, 0x0F)
    return mix(running, element[1])


def layout_check(running, fields):
    running = mix(running, 0x0B)
    for field in fields:
        if field[0] == "array":
            running = mix(running, -field[1])
            running = element_check(running, field[2])
        elif field[0] == "counted":
            running = mix(running, -1000 - field[1])
            running = element_check(running, field[2])
        else:
            running = element_check(running, field)
    return mix(running, 0x0D)


def read_list(path):
    entries = {}
    with open(path, encoding="utf-8") as stream:
        for number, line in enumerate(stream, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            try:
                ident, version, fields = line.split(None, 2)
                ident, version = int(ident, 16), int(version)
                if not 0 < ident <= 0xFFFF:
                    raise ListError("id out of range")
                if not 0 <= version < VERSION_COUNT:
                    raise ListError("version out of range")
                if ident in entries:
                    raise ListError("id 0x%04X listed twice" % ident)
                entries[ident] = (version, parse_fields(fields))
            except (ValueError, ListError) as error:
                raise SystemExit("%s:%d: %s" % (path, number, error))
    return entries


def version_checks(entries):
    highest = max((version for version, _ in entries.values()), default=0)
    checks = [0] * VERSION_COUNT
    for version, fields in entries.values():
        value = layout_check(0, fields)
        for v in range(version, highest + 1):
            checks[v] ^= value
    return highest, checks


def fingerprint(checks):
    """FNV-1a (32-bit) over the 150 check values, each as two bytes, low first."""
    value = 0x811C9DC5
    for check in checks:
        for byte in (check & 0xFF, check >> 8):
            value = ((value ^ byte) * 0x01000193) & 0xFFFFFFFF
    return value


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("list")
    parser.add_argument("--expect-count", type=int)
    parser.add_argument("--expect-version", type=int)
    parser.add_argument("--expect-check", type=lambda text: int(text, 0))
    parser.add_argument("--expect-fingerprint", type=lambda text: int(text, 0))
    parser.add_argument("--dump", action="store_true", help="print each layout's check")
    args = parser.parse_args()

    entries = read_list(args.list)
    highest, checks = version_checks(entries)
    if args.dump:
        for ident in sorted(entries):
            version, fields = entries[ident]
            print("0x%04X %3d 0x%04X" % (ident, version, layout_check(0, fields)))
    print("messages %d, highest version %d, check value 0x%04X, check word 0x%05X, "
          "fingerprint of all versions 0x%08X"
          % (len(entries), highest, checks[highest], checks[highest] | 0x20000, fingerprint(checks)))

    failures = []
    if args.expect_count is not None and len(entries) != args.expect_count:
        failures.append("expected %d messages" % args.expect_count)
    if args.expect_version is not None and highest != args.expect_version:
        failures.append("expected highest version %d" % args.expect_version)
    if args.expect_check is not None and checks[highest] != args.expect_check:
        failures.append("expected check value 0x%04X" % args.expect_check)
    if args.expect_fingerprint is not None and fingerprint(checks) != args.expect_fingerprint:
        failures.append("expected fingerprint 0x%08X" % args.expect_fingerprint)
    for failure in failures:
        print("FAILED: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
