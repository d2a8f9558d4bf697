#!/usr/bin/env python3
"""Writes exact-colours.parts: a parts file as another program would write it.

Its palette holds colours whose components 16-bit channels cannot keep (0.1, 0.3, 1/3, 0.25,
alpha 0.5), written as the shortest text that reads back as each double. The object graph is laid
out by hand here and written by the small binary property-list writer below, independently of the
application's own archiver, in the layout the reference writer uses: objects numbered depth-first
(a dictionary, its keys, then its values), equal scalars written once, the smallest widths.

Run it from this folder to rewrite the fixture: python3 make_exact_colours_parts.py
"""
import struct
import sys


class Uid(int):
    pass


class Float32(float):
    pass


def components(*values):
    # Shortest round-trip digits, without a ".0" on whole numbers; alpha only when it is not 1.
    if values[-1] == 1:
        values = values[:-1]
    return (' '.join(repr(float(v)).removesuffix('.0') for v in values) + '\0').encode('ascii')


def class_record(*names):
    return {'$classname': names[0], '$classes': list(names) + ['NSObject']}


def palette_colour(name_uid, colour_uid, kind):
    return {'name': Uid(name_uid), 'color': Uid(colour_uid), 'kind': kind, '$class': Uid(9)}


def ns_color(rgb):
    return {'NSRGB': rgb, 'NSColorSpace': 1, '$class': Uid(8)}


ARRAY = 28
objects = [
    '$null',
    {  # 1: the character
        'fileVersion': 7, 'losslessVersion': 4, 'minimimAppVersion': Uid(2),
        'minimimLosslessAppVersion': Uid(3), 'colors': Uid(4), 'parts': Uid(29), 'lineColor': Uid(22),
        'lineAlpha': Float32(1), 'fillColor': Uid(25), 'lineColorAdjust': Float32(0), 'dash': 0,
        'fill': Uid(30), 'fillAlpha': Float32(1), 'lineWeight': Float32(1), 'name': Uid(32),
        'creator': Uid(33), 'tracingImageScale': Float32(1), 'tracingImageAlpha': Float32(0.2),
        'tracingImageVisible': True, 'styles': Uid(34), 'partsKind': 0, 'thumbScale': Float32(1.5),
        'thumbLeft': Float32(10), 'thumbTop': Float32(10), 'docSettings': Uid(35), '$class': Uid(37),
    },
    '1.0.134',
    '1.0.113',
    {'NS.objects': [Uid(u) for u in (5, 10, 13, 16, 19, 22, 25)], '$class': Uid(ARRAY)},
    palette_colour(6, 7, 0), 'None', ns_color(components(1, 1, 1, 1)),
    class_record('NSColor'), class_record('ZDLColor'),
    palette_colour(11, 12, 1), 'Black', ns_color(components(0, 0, 0, 1)),
    palette_colour(14, 15, 2), 'White', ns_color(components(1, 1, 1, 1)),
    palette_colour(17, 18, 3), 'Shadow', ns_color(components(0, 0, 0, 0.25)),
    palette_colour(20, 21, 3), 'Highlight', ns_color(components(1, 1, 1, 0.25)),
    palette_colour(23, 24, 3), 'Mist', ns_color(components(0.1, 0.3, 0.5, 1)),
    palette_colour(26, 27, 3), 'Third', ns_color(components(1 / 3, 0.25, 0.5, 0.5)),
    class_record('NSMutableArray', 'NSArray'),  # 28
    {'NS.objects': [], '$class': Uid(ARRAY)},  # 29: parts
    {'color': Uid(25), 'adjust': Float32(0), '$class': Uid(31)},  # 30: the default fill
    class_record('ColorFill'),
    'Exact',
    'A. Producer',
    {'NS.objects': [], '$class': Uid(ARRAY)},  # 34: styles
    {'backStyle': 0, 'mainScale': Float32(1), 'partEdScale': Float32(4), '$class': Uid(36)},
    class_record('DocumentSettings'),
    class_record('CharacterModel'),
]
archive = {'$version': 100000, '$objects': objects, '$archiver': 'NSKeyedArchiver',
           '$top': {'root': Uid(1)}}


def width(value):
    return next(w for w in (1, 2, 4, 8) if value < 1 << (8 * w))


def scalar_key(value):
    if isinstance(value, str):
        return ('str', value)
    return (type(value).__name__, struct.pack('>d', value) if isinstance(value, float) else value)


def number_objects(root):
    order, numbers, unique = [], {}, {}
    stack = [root]
    while stack:
        value = stack.pop()
        if isinstance(value, (dict, list)):
            if id(value) in numbers:
                continue
            numbers[id(value)] = len(order)
            order.append(value)
            children = list(value) + list(value.values()) if isinstance(value, dict) else value
            stack.extend(reversed(children))
        elif scalar_key(value) not in unique:
            unique[scalar_key(value)] = len(order)
            order.append(value)
    return order, lambda v: numbers[id(v)] if isinstance(v, (dict, list)) else unique[scalar_key(v)]


def marker(kind, count):
    if count < 15:
        return bytes([kind | count])
    return bytes([kind | 0xF]) + encode_int(count)


def encode_int(value):
    if value < 0:
        return b'\x13' + struct.pack('>q', value)
    w = width(value)
    return bytes([0x10 | {1: 0, 2: 1, 4: 2, 8: 3}[w]]) + value.to_bytes(w, 'big')


def write_plist(root):
    order, number_of = number_objects(root)
    ref = width(len(order))
    out = bytearray(b'bplist00')
    offsets = []
    for value in order:
        offsets.append(len(out))
        if isinstance(value, bool):
            out += b'\x09' if value else b'\x08'
        elif isinstance(value, Uid):
            out += bytes([0x80 | (width(value) - 1)]) + int(value).to_bytes(width(value), 'big')
        elif isinstance(value, int):
            out += encode_int(value)
        elif isinstance(value, Float32):
            out += b'\x22' + struct.pack('>f', value)
        elif isinstance(value, float):
            out += b'\x23' + struct.pack('>d', value)
        elif isinstance(value, bytes):
            out += marker(0x40, len(value)) + value
        elif isinstance(value, str):
            out += marker(0x50, len(value)) + value.encode('ascii')
        else:
            items = list(value) + list(value.values()) if isinstance(value, dict) else value
            out += marker(0xD0 if isinstance(value, dict) else 0xA0, len(value))
            out += b''.join(number_of(item).to_bytes(ref, 'big') for item in items)
    table = len(out)
    size = width(table)
    out += b''.join(offset.to_bytes(size, 'big') for offset in offsets)
    out += bytes(6) + bytes([size, ref]) + struct.pack('>QQQ', len(order), 0, table)
    return bytes(out)


if __name__ == '__main__':
    target = sys.argv[1] if len(sys.argv) > 1 else 'exact-colours.parts'
    with open(target, 'wb') as f:
        f.write(write_plist(archive))
