#pragma once

#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Object.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <iostream>
#include <vector>

namespace zandrel::test {

// A colour-like object with shared instances: kind 0 always decodes to the one shared swatch.
class TestSwatch : public Object {
public:
    QString className() const override { return QStringLiteral("TestSwatch"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeInt(kind, QStringLiteral("kind"));
        coder.encodeObject(Value(color), QStringLiteral("color"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        kind = int(coder.decodeIntForKey(QStringLiteral("kind")));
        if (kind == 0)
            return shared();
        color = coder.decodeObjectOfClass(QStringLiteral("NSColor"), QStringLiteral("color")).toColor();
        return shared_from_this();
    }
    static std::shared_ptr<TestSwatch> shared()
    {
        static const auto instance = std::make_shared<TestSwatch>();
        return instance;
    }

    int kind = 0;
    RgbColor color;
};

// A document node: scalars of every typed encoder, children that link back to their parent
// through a raw pointer, and a swatch that nodes share.
class TestNode : public Object {
public:
    QString className() const override { return QStringLiteral("TestNode"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(Value(name), QStringLiteral("name"));
        coder.encodeObject(parent ? parent->shared_from_this() : nullptr, QStringLiteral("parent"));
        ValueList list;
        for (const auto& child : children)
            list.append(Value(child));
        coder.encodeObject(Value(list), QStringLiteral("children"));
        coder.encodeObject(swatch, QStringLiteral("swatch"));
        coder.encodeObject(extra, QStringLiteral("extra"));
        coder.encodeFloat(weight, QStringLiteral("weight"));
        coder.encodeInteger(count, QStringLiteral("count"));
        coder.encodeInt32(small, QStringLiteral("small"));
        coder.encodeBool(flag, QStringLiteral("flag"));
        coder.encodeDouble(precise, QStringLiteral("precise"));
        coder.encodePoint(origin, QStringLiteral("origin"));
        coder.encodeRect(frame, QStringLiteral("frame"));
        coder.encodeBytes(bytes, QStringLiteral("bytes"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        name = coder.decodeObjectOfClass(QStringLiteral("NSString"), QStringLiteral("name")).toString();
        parent = coder.decodeObjectOfClass<TestNode>(QStringLiteral("parent")).get();
        const ValueList list
            = coder
                  .decodeObjectOfClasses(
                      { QStringLiteral("NSArray"), QStringLiteral("TestNode") }, QStringLiteral("children"))
                  .toList();
        // Children are owned: one that is still being decoded is an ancestor, and owning it
        // would make a cycle.
        for (const Value& item : list) {
            if (!coder.isDecoding(item.toObject()))
                children.push_back(item.toObject<TestNode>());
        }
        swatch = coder.decodeObjectOfClass<TestSwatch>(QStringLiteral("swatch"));
        extra = coder.decodeObjectForKey(QStringLiteral("extra"));
        weight = coder.decodeFloatForKey(QStringLiteral("weight"));
        count = coder.decodeIntegerForKey(QStringLiteral("count"));
        small = coder.decodeInt32ForKey(QStringLiteral("small"));
        flag = coder.decodeBoolForKey(QStringLiteral("flag"));
        precise = coder.decodeDoubleForKey(QStringLiteral("precise"));
        origin = coder.decodePointForKey(QStringLiteral("origin"));
        frame = coder.decodeRectForKey(QStringLiteral("frame"));
        bytes = coder.decodeBytesForKey(QStringLiteral("bytes"));
        return shared_from_this();
    }

    QString name;
    TestNode* parent = nullptr;
    std::vector<std::shared_ptr<TestNode>> children;
    std::shared_ptr<TestSwatch> swatch;
    Value extra;
    float weight = 0;
    qint64 count = 0;
    qint32 small = 0;
    bool flag = false;
    double precise = 0;
    QPointF origin;
    QRectF frame;
    QByteArray bytes;
};

// A subclass, which restricted decoding of "TestNode" accepts.
class TestSpecialNode : public TestNode {
public:
    QString className() const override { return QStringLiteral("TestSpecialNode"); }
};

// A registered class that no key allows; counts how often it is made.
class TestIntruder : public Object {
public:
    TestIntruder() { ++made; }
    QString className() const override { return QStringLiteral("TestIntruder"); }
    static inline int made = 0;
};

// Raises from its decoder as a class does for a file from a newer version.
class TestThrower : public Object {
public:
    QString className() const override { return QStringLiteral("TestThrower"); }
    ObjectPtr initWithCoder(KeyedUnarchiver&) override
    {
        last = weak_from_this();
        Exception::raise(QStringLiteral("fileTooNew"), QStringLiteral("written by a newer version"));
    }
    static inline std::weak_ptr<Object> last;
};

// A linked chain, for nesting depth.
class TestLink : public Object {
public:
    QString className() const override { return QStringLiteral("TestLink"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(next, QStringLiteral("next"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        next = coder.decodeObjectOfClass<TestLink>(QStringLiteral("next"));
        // The next link is owned; one still being decoded would close a cycle.
        if (coder.isDecoding(next))
            next = nullptr;
        return shared_from_this();
    }
    std::shared_ptr<TestLink> next;
};

inline void registerArchiveTestClasses(ClassRegistry& registry)
{
    registry.registerClass<TestSwatch>(QStringLiteral("TestSwatch"), QStringLiteral("NSObject"));
    registry.registerClass<TestNode>(QStringLiteral("TestNode"), QStringLiteral("NSObject"));
    registry.registerClass<TestSpecialNode>(QStringLiteral("TestSpecialNode"), QStringLiteral("TestNode"));
    registry.registerClass<TestIntruder>(QStringLiteral("TestIntruder"), QStringLiteral("NSObject"));
    registry.registerClass<TestThrower>(QStringLiteral("TestThrower"), QStringLiteral("NSObject"));
    registry.registerClass<TestLink>(QStringLiteral("TestLink"), QStringLiteral("NSObject"));
}

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
