#!/usr/bin/env python3
"""Checks the resources linked into a Windows executable against what Quorvex needs at run time:
the two strings it loads, the two icon groups, the version resource and the manifest.

usage: rescheck.py EXE

Prints one line per fact, "ok" or "FAIL" with what was found instead. Exits 0 when every fact
holds, 1 when any fails, 2 when the file cannot be read as a PE image. Standard library only.
"""

import re
import struct
import sys
import xml.etree.ElementTree as ET
from dataclasses import dataclass

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 14, 16, 24
TYPE_NAMES = {RT_ICON: "RT_ICON", RT_STRING: "RT_STRING", RT_GROUP_ICON: "RT_GROUP_ICON",
              RT_VERSION: "RT_VERSION", RT_MANIFEST: "RT_MANIFEST"}
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
VS_VERSION_INFO = 1

VERSION = "1.0.0.1"
STRING_BLOCK = "041104b0"
VERSION_STRINGS = {
    "FileVersion": VERSION,
    "ProductVersion": VERSION,
    "ProductName": "Quorvex",
    "OriginalFilename": "quorvex.exe",
}
# (width, height, bits per pixel) of the images each icon group holds.
ICON_IMAGES = [
    (16, 16, 4), (16, 16, 8), (16, 16, 32),
    (32, 32, 4), (32, 32, 8), (32, 32, 32),
    (48, 48, 8), (48, 48, 32),
]
C_RUNTIME = re.compile(r"Microsoft\.VC\d+\.CRT", re.IGNORECASE)


class Fault(Exception):
    """A fact that does not hold, or data too damaged to tell."""


def unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise Fault(f"{size} bytes needed at offset {offset}, data has {len(data)}")
    return struct.unpack_from(fmt, data, offset)


def utf16(data, offset, chars):
    raw = data[offset : offset + 2 * chars]
    if len(raw) != 2 * chars:
        raise Fault(f"text of {chars} characters at offset {offset} runs past the data")
    try:
        return raw.decode("utf-16-le")
    except UnicodeDecodeError as error:
        raise Fault(f"text at offset {offset} is not UTF-16: {error}") from None


# PE image and resource directory


def read_resources(image):
    """Maps (type, name) to the data of each language version, from the image's resource tree."""
    if image[:2] != b"MZ":
        raise Fault("no MZ header")
    (pe,) = unpack("<I", image, 0x3C)
    if image[pe : pe + 4] != b"PE\0\0":
        raise Fault("no PE signature")
    _, section_count, _, _, _, optional_size, _ = unpack("<HHIIIHH", image, pe + 4)
    optional = pe + 24
    (magic,) = unpack("<H", image, optional)
    if magic not in (0x10B, 0x20B):
        raise Fault(f"unknown optional header magic {magic:#x}")
    directories = optional + (96 if magic == 0x10B else 112)
    (directory_count,) = unpack("<I", image, directories - 4)
    resource_rva = unpack("<I", image, directories + 2 * 8)[0] if directory_count > 2 else 0
    if resource_rva == 0:
        return {}

    sections = [unpack("<IIII", image, optional + optional_size + 40 * i + 8) for i in range(section_count)]

    def file_range(rva):
        """File offset of an address and where its section's data ends in the file."""
        for virtual_size, address, raw_size, raw_offset in sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw_offset + rva - address, raw_offset + raw_size
        raise Fault(f"address {rva:#x} lies in no section")

    start, end = file_range(resource_rva)
    tree = image[start:end]

    def entries(offset, subdirectories):
        _, _, _, _, named, numbered = unpack("<IIHHHH", tree, offset)
        for i in range(named + numbered):
            key, target = unpack("<II", tree, offset + 16 + 8 * i)
            if key & 0x80000000:
                (length,) = unpack("<H", tree, key & 0x7FFFFFFF)
                key = utf16(tree, (key & 0x7FFFFFFF) + 2, length)
            if bool(target & 0x80000000) != subdirectories:
                raise Fault(f"resource tree entry {key!r} is at the wrong level")
            yield key, target & 0x7FFFFFFF

    resources = {}
    for kind, names in entries(0, True):
        for name, languages in entries(names, True):
            for _, leaf in entries(languages, False):
                rva, size, _, _ = unpack("<IIII", tree, leaf)
                offset, limit = file_range(rva)
                if offset + size > limit:
                    raise Fault(f"resource {kind}/{name} runs past its section")
                resources.setdefault((kind, name), []).append(image[offset : offset + size])
    return resources


def resource(resources, kind, name):
    found = resources.get((kind, name), [])
    if len(found) != 1:
        where = f"{TYPE_NAMES[kind]} {name}"
        raise Fault(f"{where} absent" if not found else f"{where} in {len(found)} languages")
    return found[0]


# String table: block n holds strings 16(n-1) to 16n-1, each a length and that many UTF-16 units.


def string(resources, sid):
    block = resource(resources, RT_STRING, sid // 16 + 1)
    offset = 0
    for _ in range(sid % 16):
        (length,) = unpack("<H", block, offset)
        offset += 2 + 2 * length
    (length,) = unpack("<H", block, offset)
    return utf16(block, offset + 2, length)


# Icon groups: a directory of images, each image an RT_ICON resource holding a DIB.


def describe(images):
    """The images as "16x16 at 4, 8, 32 bits; ..." in size order, duplicates kept."""
    sizes = {}
    for width, height, bits in sorted(images):
        sizes.setdefault((width, height), []).append(str(bits))
    return "; ".join(f"{w}x{h} at {', '.join(bits)} bits" for (w, h), bits in sizes.items())


def icon_image(resources, iid, width, height, bits, size):
    """Checks that the image matches its directory entry and is whole; returns its shape."""
    data = resource(resources, RT_ICON, iid)
    if len(data) != size:
        raise Fault(f"icon {iid} has {len(data)} bytes, its group says {size}")
    header_size, dib_width, dib_height, planes, dib_bits = unpack("<IiiHH", data, 0)
    if header_size != 40:
        raise Fault(f"icon {iid} is not a BITMAPINFOHEADER image (header size {header_size})")
    if (dib_width, dib_height, planes, dib_bits) != (width, 2 * height, 1, bits):
        raise Fault(
            f"icon {iid} header: {dib_width}x{dib_height}, {planes} plane(s), {dib_bits} bits; "
            f"its group entry needs {width}x{2 * height} (XOR and AND), 1 plane, {bits} bits"
        )
    (colours_used,) = unpack("<I", data, 32)
    palette = 4 * (colours_used or 2**bits) if bits <= 8 else 0
    pixels = (width * bits + 31) // 32 * 4 * height
    mask = (width + 31) // 32 * 4 * height
    if len(data) < 40 + palette + pixels + mask:
        raise Fault(f"icon {iid} is truncated: {len(data)} bytes, {40 + palette + pixels + mask} needed")
    return width, height, bits


def icon_group(resources, gid):
    data = resource(resources, RT_GROUP_ICON, gid)
    _, kind, count = unpack("<HHH", data, 0)
    if kind != 1:
        raise Fault(f"group {gid} has type {kind}, not 1 (icons)")
    images = []
    for i in range(count):
        width, height, _, _, _, bits, size, iid = unpack("<BBBBHHIH", data, 6 + 14 * i)
        images.append(icon_image(resources, iid, width or 256, height or 256, bits, size))
    return describe(images)


# Version resource: a tree of nodes, each a length, a value length, a type, a key and a value.


@dataclass
class Node:
    key: str
    value: bytes
    text: bool
    children: list

    def child(self, key):
        found = [c for c in self.children if c.key == key]
        if len(found) != 1:
            raise Fault(f"{len(found)} {key!r} entries under {self.key!r}")
        return found[0]


def align4(offset):
    return (offset + 3) & ~3


def version_node(data, offset):
    """Returns the node at offset and where its next sibling starts."""
    length, value_length, kind = unpack("<HHH", data, offset)
    end = offset + length
    if length < 6 or end > len(data):
        raise Fault(f"version node at offset {offset} has length {length}")
    key_end = offset + 6
    while unpack("<H", data, key_end) != (0,):
        key_end += 2
    key = utf16(data, offset + 6, (key_end - offset - 6) // 2)
    start = align4(key_end + 2)
    # Text values count UTF-16 units, binary ones bytes.
    value = data[start : min(start + (2 * value_length if kind == 1 else value_length), end)]
    children = []
    position = align4(start + len(value))
    while position < end:
        child, position = version_node(data, position)
        children.append(child)
    return Node(key, value, kind == 1, children), align4(end)


def version_info(resources):
    root, _ = version_node(resource(resources, RT_VERSION, VS_VERSION_INFO), 0)
    if root.key != "VS_VERSION_INFO":
        raise Fault(f"version resource starts with {root.key!r}, not 'VS_VERSION_INFO'")
    return root


def fixed_version(resources, product):
    """The file or product version of VS_FIXEDFILEINFO as "a.b.c.d"."""
    signature, _, file_ms, file_ls, product_ms, product_ls = unpack("<6I", version_info(resources).value, 0)
    if signature != 0xFEEF04BD:
        raise Fault(f"VS_FIXEDFILEINFO signature is {signature:#x}")
    ms, ls = (product_ms, product_ls) if product else (file_ms, file_ls)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def string_blocks(resources):
    return [block.key for block in version_info(resources).child("StringFileInfo").children]


def version_string(resources, key):
    entry = version_info(resources).child("StringFileInfo").child(STRING_BLOCK).child(key)
    if not entry.text:
        raise Fault(f"{key} is binary, not text")
    return utf16(entry.value, 0, len(entry.value) // 2).split("\0")[0]


def translations(resources):
    value = version_info(resources).child("VarFileInfo").child("Translation").value
    pairs = struct.unpack(f"<{len(value) // 2}H", value[: len(value) // 2 * 2])
    return [(f"{language:#06x}", code_page) for language, code_page in zip(pairs[::2], pairs[1::2])]


# Manifest


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def manifest(resources):
    try:
        return ET.fromstring(resource(resources, RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID))
    except ET.ParseError as error:
        raise Fault(f"manifest is not well-formed XML: {error}") from None


def execution_level(resources):
    levels = [e for e in manifest(resources).iter() if local_name(e.tag) == "requestedExecutionLevel"]
    if len(levels) != 1:
        raise Fault(f"{len(levels)} requestedExecutionLevel elements")
    return levels[0].attrib


def dependencies_besides_c_runtime(resources):
    names = [
        identity.get("name", "")
        for dependency in manifest(resources).iter()
        if local_name(dependency.tag) == "dependentAssembly"
        for identity in dependency
        if local_name(identity.tag) == "assemblyIdentity"
    ]
    return [name for name in names if not C_RUNTIME.fullmatch(name)]


# Each fact: what it states, how to read the value from the resources, and the value it needs.
FACTS = [
    ('string 103 is "Quorvex"', lambda r: string(r, 103), "Quorvex"),
    ('string 109 is "QUORVEX"', lambda r: string(r, 109), "QUORVEX"),
    *[
        (f"icon group {gid} holds {describe(ICON_IMAGES)}", lambda r, gid=gid: icon_group(r, gid),
         describe(ICON_IMAGES))
        for gid in (107, 108)
    ],
    (f"version: fixed file version is {VERSION}", lambda r: fixed_version(r, product=False), VERSION),
    (f"version: fixed product version is {VERSION}", lambda r: fixed_version(r, product=True), VERSION),
    (f'version: the only string block is "{STRING_BLOCK}"', string_blocks, [STRING_BLOCK]),
    *[
        (f'version: {key} is "{text}"', lambda r, key=key: version_string(r, key), text)
        for key, text in VERSION_STRINGS.items()
    ],
    ("version: translation is 0x0411, 1200", translations, [("0x0411", 1200)]),
    ("manifest: execution level asInvoker", lambda r: execution_level(r).get("level"), "asInvoker"),
    # Windows reads a missing uiAccess as false.
    ("manifest: uiAccess false", lambda r: execution_level(r).get("uiAccess", "false"), "false"),
    ("manifest: no side-by-side dependency but the C runtime", dependencies_besides_c_runtime, []),
]


def main(argv):
    if len(argv) != 2:
        print("usage: rescheck.py EXE", file=sys.stderr)
        return 2
    try:
        with open(argv[1], "rb") as file:
            resources = read_resources(file.read())
    except (OSError, Fault) as error:
        print(f"rescheck: {argv[1]}: {error}", file=sys.stderr)
        return 2
    failures = 0
    for label, read, wanted in FACTS:
        try:
            found = read(resources)
            if found != wanted:
                raise Fault(f"found {found!r}")
            print(f"ok   {label}")
        except Fault as fault:
            failures += 1
            print(f"FAIL {label}: {fault}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
