#!/usr/bin/python3
# Packs the suite's reference decodes (json/<name>.json: flat [r, g, b, a, ...] arrays, 16-bit
# values for 16-bit files) into reference.bin.gz, which the PNG reader's tests read with zlib.
#
# Record per picture, all little-endian: name (16 bytes, NUL-padded), width (u32), height
# (u32), bytes per sample (u8: 1 or 2), then width * height * 4 samples (u16 when 2).
# Usage: make-reference.py <pngsuite folder with png/ and json/> <output file>
import gzip, json, os, struct, sys

suite, output = sys.argv[1], sys.argv[2]
records = []
for name in sorted(os.listdir(os.path.join(suite, 'png'))):
    stem = name[:-4]
    if stem.startswith('x'):  # the corrupted files have no reference
        continue
    data = open(os.path.join(suite, 'png', name), 'rb').read()
    width, height, depth = struct.unpack('>IIB', data[16:25])
    values = json.load(open(os.path.join(suite, 'json', stem + '.json')))
    assert len(values) == width * height * 4, name
    size = 2 if depth == 16 else 1
    record = stem.encode().ljust(16, b'\0') + struct.pack('<IIB', width, height, size)
    record += struct.pack('<%d%s' % (len(values), 'H' if size == 2 else 'B'), *values)
    records.append(record)
with gzip.GzipFile(output, 'wb', mtime=0) as out:
    out.write(b''.join(records))
print(len(records), 'pictures')
