#pragma once

#include "support/TestSupport.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <iostream>

namespace zandrel::test {

// Checks an archive with Python's plistlib: the header, every UID in range, class records, and
// the marker of every inline value of every record, printed as "uid key kind" lines for the
// caller's own assertions (kinds: bool int real4 real8 str data uid array dict null).
inline const char* kArchiveOracleScript = R"(
import plistlib, struct, sys
data = open(sys.argv[1], 'rb').read()
top = plistlib.loads(data)
assert top['$archiver'] == 'NSKeyedArchiver', top['$archiver']
assert top['$version'] == 100000
assert top['$top'] == {'root': plistlib.UID(1)}, top['$top']
objs = top['$objects']
assert objs[0] == '$null'
def walk(v):
    if isinstance(v, plistlib.UID):
        assert v.data < len(objs), v
    elif isinstance(v, dict):
        for x in v.values(): walk(x)
    elif isinstance(v, list):
        for x in v: walk(x)
walk(objs)
for o in objs:
    if isinstance(o, dict) and '$class' in o:
        c = objs[o['$class'].data]
        assert c['$classes'][0] == c['$classname'] and c['$classes'][-1] == 'NSObject', c
off_size, ref_size, count, top_index, table = struct.unpack('>6xBBQQQ', data[-32:])
offs = [int.from_bytes(data[table + i * off_size:table + (i + 1) * off_size], 'big') for i in range(count)]
def count_at(pos, low):
    if low != 15: return low, pos
    width = 1 << (data[pos] & 15)
    return int.from_bytes(data[pos + 1:pos + 1 + width], 'big'), pos + 1 + width
def refs(i):
    m = data[offs[i]]
    n, pos = count_at(offs[i] + 1, m & 15)
    total = 2 * n if m >> 4 == 13 else n
    return [int.from_bytes(data[pos + k * ref_size:pos + (k + 1) * ref_size], 'big') for k in range(total)]
def kind(i):
    m = data[offs[i]]
    named = {0x00: 'null', 0x08: 'bool', 0x09: 'bool', 0x22: 'real4', 0x23: 'real8'}
    return named.get(m) or {1: 'int', 8: 'uid', 5: 'str', 6: 'str', 4: 'data', 10: 'array', 13: 'dict'}[m >> 4]
def text(i):
    m = data[offs[i]]
    n, pos = count_at(offs[i] + 1, m & 15)
    return data[pos:pos + n].decode('ascii') if m >> 4 == 5 else data[pos:pos + 2 * n].decode('utf-16be')
r = refs(top_index)
half = len(r) // 2
objects_ref = [r[half + k] for k in range(half) if text(r[k]) == '$objects'][0]
for uid, ref in enumerate(refs(objects_ref)):
    if kind(ref) == 'dict':
        rr = refs(ref)
        h = len(rr) // 2
        for k in range(h):
            print(uid, text(rr[k]), kind(rr[h + k]))
)";

// Runs the plistlib oracle on an archive and returns its "uid key kind" lines.
inline QStringList checkWithPython(const QByteArray& archive)
{
    if (test::python3().isEmpty()) {
        std::cerr << "python3 is missing: archive not checked with plistlib\n";
        return {};
    }
    QString output;
    const int status = test::runPython(QString::fromLatin1(kArchiveOracleScript), archive, &output);
    EXPECT_EQ(status, 0) << output.toStdString();
    return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace zandrel::test
