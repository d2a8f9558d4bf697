// Feeds arbitrary bytes to the binary property list reader and the keyed unarchiver. Anything
// but the layer's exception is a finding, and so is a decoded graph that does not write and read
// back to the same bytes.
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Object.h"
#include "platform/PropertyList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

// The classes below mirror the key layout of the platform tests' archive classes, whose archives
// seed the corpus. The parent link is weak: a hostile file can aim it at an object nobody owns.

class FuzzSwatch : public Object {
public:
    QString className() const override { return QStringLiteral("TestSwatch"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeInt(kind, QStringLiteral("kind"));
        coder.encodeObject(Value(color), QStringLiteral("color"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        kind = coder.decodeIntForKey(QStringLiteral("kind"));
        if (kind == 0)
            return shared();
        color = coder.decodeObjectOfClass(QStringLiteral("NSColor"), QStringLiteral("color")).toColor();
        return shared_from_this();
    }
    static ObjectPtr shared()
    {
        static const ObjectPtr instance = std::make_shared<FuzzSwatch>();
        return instance;
    }

    qint64 kind = 0;
    RgbColor color;
};

// Drops objects still being decoded from a value the node owns, so that a hostile file cannot make
// an ownership cycle. The walk is bounded, since shared lists can fan out exponentially.
Value owned(const Value& value, const KeyedUnarchiver& coder, int& budget)
{
    if (--budget < 0)
        return {};
    switch (value.type()) {
    case Value::Type::Object:
        return coder.isDecoding(value.toObject()) ? Value() : value;
    case Value::Type::List: {
        ValueList items;
        for (const Value& item : value.toList())
            items.append(owned(item, coder, budget));
        return items;
    }
    case Value::Type::Map: {
        const ValueMap map = value.toMap();
        ValueMap items;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            items.insert(it.key(), owned(it.value(), coder, budget));
        return items;
    }
    default:
        return value;
    }
}

class FuzzNode : public Object {
public:
    QString className() const override { return QStringLiteral("TestNode"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(Value(name), QStringLiteral("name"));
        coder.encodeObject(parent.lock(), QStringLiteral("parent"));
        coder.encodeObject(children, QStringLiteral("children"));
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
        parent = coder.decodeObjectOfClass<FuzzNode>(QStringLiteral("parent"));
        int budget = 10000;
        children
            = owned(coder.decodeObjectOfClasses({ QStringLiteral("NSArray"), QStringLiteral("TestNode") },
                        QStringLiteral("children")),
                coder, budget);
        swatch = coder.decodeObjectOfClass(QStringLiteral("TestSwatch"), QStringLiteral("swatch"));
        extra = owned(coder.decodeObjectForKey(QStringLiteral("extra")), coder, budget);
        weight = coder.decodeFloatForKey(QStringLiteral("weight"));
        count = coder.decodeIntegerForKey(QStringLiteral("count"));
        small = coder.decodeInt32ForKey(QStringLiteral("small"));
        flag = coder.decodeBoolForKey(QStringLiteral("flag"));
        precise = coder.decodeDoubleForKey(QStringLiteral("precise"));
        origin = coder.decodePointForKey(QStringLiteral("origin"));
        frame = coder.decodeRectForKey(QStringLiteral("frame"));
        bytes = coder.decodeBytesForKey(QStringLiteral("bytes"));
        if (coder.containsValueForKey(QStringLiteral("size")))
            origin += QPointF(coder.decodeSizeForKey(QStringLiteral("size")).width(), 0);
        return shared_from_this();
    }

    QString name;
    std::weak_ptr<FuzzNode> parent;
    Value children;
    Value swatch;
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

class FuzzLink : public Object {
public:
    QString className() const override { return QStringLiteral("TestLink"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(next, QStringLiteral("next"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        next = coder.decodeObjectOfClass<FuzzLink>(QStringLiteral("next"));
        // The next link is owned; one still being decoded would close a cycle.
        if (coder.isDecoding(next))
            next = nullptr;
        return shared_from_this();
    }
    std::shared_ptr<FuzzLink> next;
};

void registerFuzzClasses(ClassRegistry& registry)
{
    registry.registerClass<FuzzSwatch>(QStringLiteral("TestSwatch"), QStringLiteral("NSObject"));
    registry.registerClass<FuzzNode>(QStringLiteral("TestNode"), QStringLiteral("NSObject"));
    registry.registerClass<FuzzNode>(QStringLiteral("TestSpecialNode"), QStringLiteral("TestNode"));
    registry.registerClass<FuzzLink>(QStringLiteral("TestLink"), QStringLiteral("NSObject"));
}

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_unarchiver: %s\n", what);
    std::abort();
}

// Reading, writing and reading again must reach a fixed point: the second write equals the first.
void checkContainer(const QByteArray& bytes)
{
    try {
        const PropertyList list = PropertyList::fromBinary(bytes);
        const QByteArray written = list.toBinary();
        const PropertyList again = PropertyList::fromBinary(written);
        if (again.toBinary() != written)
            finding("property list rewrite is not stable");
    } catch (const Exception& e) {
        if (e.name() != kInvalidArchiveException)
            finding("unexpected exception name from the property list reader");
    }
}

KeyedUnarchiver::Limits roundTripLimits()
{
    // Encoding recurses as deep as decoding went; keep that well inside a sanitizer's stack.
    KeyedUnarchiver::Limits limits;
    limits.maxDepth = 200;
    return limits;
}

void checkArchive(const QByteArray& bytes)
{
    try {
        KeyedUnarchiver restricted(bytes);
        restricted.decodeObjectOfClasses(
            { QStringLiteral("TestNode"), QStringLiteral("NSArray") }, QStringLiteral("root"));
        restricted.decodeRectForKey(QStringLiteral("root"));
    } catch (const Exception&) {
    }
    try {
        // Both unarchivers stay alive while their graphs are written, so that weak links resolve
        // the same way in both rounds.
        KeyedUnarchiver first(bytes, roundTripLimits());
        const Value root = first.decodeObjectForKey(QStringLiteral("root"));
        const QByteArray written = KeyedArchiver::archivedData(root);
        KeyedUnarchiver second(written, roundTripLimits());
        const Value again = second.decodeObjectForKey(QStringLiteral("root"));
        if (KeyedArchiver::archivedData(again) != written)
            finding("keyed archive round trip is not stable");
    } catch (const Exception& e) {
        if (e.name() != kInvalidArchiveException)
            finding("unexpected exception name from the unarchiver");
    }
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    ClassRegistry::shared().registerOnce(&registerFuzzClasses);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkContainer(bytes);
    checkArchive(bytes);
    return 0;
}
