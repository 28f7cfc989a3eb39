#!/usr/bin/env python3
"""Gives the images of a HEIF file (the primary one and those that belong to it, such as its
alpha plane) a rotation (irot) and, optionally, a mirroring (imir) property, as a camera that
stores its pictures sideways does: heif-enc writes neither.

usage: heif-transform.py IN OUT QUARTER_TURNS [MIRROR_AXIS]

QUARTER_TURNS (0..3) counts anticlockwise quarter turns; MIRROR_AXIS is 0 (top and bottom
change places) or 1 (left and right). Both properties are appended to ipco and associated with
every item ipma lists, in that order; the sizes of the enclosing boxes grow accordingly and
iloc's file offsets of data behind the meta box move with them.
"""
import struct
import sys


def children(data, start, end):
    found = []
    at = start
    while at + 8 <= end:
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        if size == 0:
            size = end - at
        if size < 8:
            raise SystemExit("box size below 8 at %d" % at)
        found.append((kind.decode("latin-1"), at, size))
        at += size
    return found


def find(found, kind):
    for box in found:
        if box[0] == kind:
            return box
    raise SystemExit("no %s box" % kind)


def uint(data, at, size):
    return int.from_bytes(data[at:at + size], "big") if size else 0


def property_box(kind, value):
    return struct.pack(">I4sB", 9, kind.encode(), value)


def new_ipma(data, ipma, primary, indices):
    _, at, size = ipma
    version, flags = data[at + 8], uint(data, at + 9, 3)
    id_size = 2 if version < 1 else 4
    wide = flags & 1
    out = bytearray(data[at + 8:at + 12])
    count = uint(data, at + 12, 4)
    out += data[at + 12:at + 16]
    p = at + 16
    for _ in range(count):
        item = uint(data, p, id_size)
        n = data[p + id_size]
        body = data[p + id_size + 1:p + id_size + 1 + n * (2 if wide else 1)]
        p += id_size + 1 + len(body)
        if primary is not None:
            for index in indices:
                body += struct.pack(">H", 0x8000 | index) if wide else bytes([0x80 | index])
            n += len(indices)
        out += item.to_bytes(id_size, "big") + bytes([n]) + body
    return struct.pack(">I4s", 8 + len(out), b"ipma") + bytes(out)


def shift_iloc(data, iloc, delta):
    _, at, _ = iloc
    out = bytearray(data[at:at + iloc[2]])
    version = data[at + 8]
    p = 12
    offset_size, length_size = out[p] >> 4, out[p] & 15
    base_size, index_size = out[p + 1] >> 4, (out[p + 1] & 15) if version in (1, 2) else 0
    p += 2
    count_size = 2 if version < 2 else 4
    count = uint(out, p, count_size)
    p += count_size
    for _ in range(count):
        p += count_size
        method = 0
        if version in (1, 2):
            method = uint(out, p, 2) & 15
            p += 2
        p += 2
        base_at = p
        p += base_size
        extents = uint(out, p, 2)
        p += 2
        if method == 0 and base_size:
            value = uint(out, base_at, base_size) + delta
            out[base_at:base_at + base_size] = value.to_bytes(base_size, "big")
        for _ in range(extents):
            p += index_size
            if method == 0 and not base_size:
                value = uint(out, p, offset_size) + delta
                out[p:p + offset_size] = value.to_bytes(offset_size, "big")
            p += offset_size + length_size
    return bytes(out)


def main():
    source, target, turns = sys.argv[1], sys.argv[2], int(sys.argv[3])
    axis = int(sys.argv[4]) if len(sys.argv) > 4 else None
    data = open(source, "rb").read()
    top = children(data, 0, len(data))
    meta = find(top, "meta")
    inner = children(data, meta[1] + 12, meta[1] + meta[2])
    primary = uint(data, find(inner, "pitm")[1] + 12, 2)
    iprp = find(inner, "iprp")
    props = children(data, iprp[1] + 8, iprp[1] + iprp[2])
    ipco, ipma = find(props, "ipco"), find(props, "ipma")

    added = property_box("irot", turns & 3)
    indices = [len(children(data, ipco[1] + 8, ipco[1] + ipco[2])) + 1]
    if axis is not None:
        added += property_box("imir", axis & 1)
        indices.append(indices[0] + 1)
    ipco_bytes = (struct.pack(">I4s", ipco[2] + len(added), b"ipco") +
                  data[ipco[1] + 8:ipco[1] + ipco[2]] + added)
    ipma_bytes = new_ipma(data, ipma, primary, indices)
    iprp_body = b""
    for box in props:
        iprp_body += {"ipco": ipco_bytes, "ipma": ipma_bytes}.get(
            box[0], data[box[1]:box[1] + box[2]])
    iprp_bytes = struct.pack(">I4s", 8 + len(iprp_body), b"iprp") + iprp_body
    delta = len(iprp_bytes) - iprp[2]
    iloc = find(inner, "iloc")
    meta_body = data[meta[1] + 8:meta[1] + 12]
    for box in inner:
        if box[0] == "iprp":
            meta_body += iprp_bytes
        elif box[0] == "iloc":
            meta_body += shift_iloc(data, iloc, delta if iloc[1] < meta[1] + meta[2] else 0)
        else:
            meta_body += data[box[1]:box[1] + box[2]]
    out = b""
    for box in top:
        if box[0] == "meta":
            out += struct.pack(">I4s", 8 + len(meta_body), b"meta") + meta_body
        else:
            out += data[box[1]:box[1] + box[2]]
    open(target, "wb").write(out)


if __name__ == "__main__":
    main()
