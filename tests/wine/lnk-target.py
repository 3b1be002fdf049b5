#!/usr/bin/env python3
"""Prints the target path a Windows shortcut (.lnk) names: the LinkInfo's
local base path and common path suffix, as the shell link format lays
them out (header of 0x4C bytes, then the ID list if flagged, then
LinkInfo)."""
import struct
import sys

HAS_ID_LIST = 0x1
HAS_LINK_INFO = 0x2


def target(data):
    if len(data) < 0x4C or struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    at = 0x4C
    if flags & HAS_ID_LIST:
        at += 2 + struct.unpack_from("<H", data, at)[0]
    if not flags & HAS_LINK_INFO:
        raise ValueError("no LinkInfo")
    info = at
    base_offset = struct.unpack_from("<I", data, info + 16)[0]
    suffix_offset = struct.unpack_from("<I", data, info + 24)[0]

    def text(offset):
        end = data.index(b"\0", info + offset)
        return data[info + offset:end].decode("cp1252")

    base = text(base_offset) if base_offset else ""
    suffix = text(suffix_offset) if suffix_offset else ""
    return base + suffix


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as link:
        print(target(link.read()))
