#pragma once

#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Object.h"

#include <vector>

// Archivable classes for the archive tests and the unarchiver's fuzz target, which share them: the
// tests write the fuzz target's seed corpus with them. They are safe to decode from hostile files,
// as model classes must be: nothing still being decoded is owned (a file could make an ownership
// cycle), back links are weak (a file can aim them at an object nobody owns), and values taken as
// they are stay within a budget (shared lists could otherwise fan out exponentially).
namespace zandrel::test {

// A colour-like object with shared instances: kind 0 always decodes to the one shared swatch.
class TestSwatch : public Object {
public:
    static inline const QString kClassName = QStringLiteral("TestSwatch");
    QString className() const override { return kClassName; }
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
        color = coder.decodeObjectOfClass(PlatformClass::kColor, QStringLiteral("color")).toColor();
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

// The value with every object still being decoded dropped, walking at most budget items.
inline Value ownedValue(const Value& value, const KeyedUnarchiver& coder, int& budget)
{
    if (--budget < 0)
        return {};
    switch (value.type()) {
    case Value::Type::Object:
        return coder.isDecoding(value.toObject()) ? Value() : value;
    case Value::Type::List: {
        ValueList items;
        for (const Value& item : value.toList())
            items.append(ownedValue(item, coder, budget));
        return items;
    }
    case Value::Type::Map: {
        const ValueMap map = value.toMap();
        ValueMap items;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            items.insert(it.key(), ownedValue(it.value(), coder, budget));
        return items;
    }
    default:
        return value;
    }
}

// A document node: scalars of every typed encoder, children that link back to their parent,
// a swatch that nodes share and an extra value of any kind.
class TestNode : public Object {
public:
    static inline const QString kClassName = QStringLiteral("TestNode");
    // How many items of the extra value a node takes from a file.
    static constexpr int kValueBudget = 10000;

    QString className() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(Value(name), QStringLiteral("name"));
        coder.encodeObject(parent.lock(), QStringLiteral("parent"));
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
        name = coder.decodeObjectOfClass(PlatformClass::kString, QStringLiteral("name")).toString();
        parent = coder.decodeObjectOfClass<TestNode>(QStringLiteral("parent"));
        const ValueList list
            = coder.decodeObjectOfClasses({ PlatformClass::kArray, kClassName }, QStringLiteral("children"))
                  .toList();
        // Children are owned: one that is still being decoded is an ancestor, and owning it
        // would make a cycle.
        for (const Value& item : list) {
            if (!coder.isDecoding(item.toObject()))
                children.push_back(item.toObject<TestNode>());
        }
        swatch = coder.decodeObjectOfClass<TestSwatch>(QStringLiteral("swatch"));
        int budget = kValueBudget;
        extra = ownedValue(coder.decodeObjectForKey(QStringLiteral("extra")), coder, budget);
        weight = coder.decodeFloatForKey(QStringLiteral("weight"));
        count = coder.decodeIntegerForKey(QStringLiteral("count"));
        small = coder.decodeInt32ForKey(QStringLiteral("small"));
        flag = coder.decodeBoolForKey(QStringLiteral("flag"));
        precise = coder.decodeDoubleForKey(QStringLiteral("precise"));
        origin = coder.decodePointForKey(QStringLiteral("origin"));
        frame = coder.decodeRectForKey(QStringLiteral("frame"));
        bytes = coder.decodeBytesForKey(QStringLiteral("bytes"));
        // Never written by the tests; it lets the fuzz target reach the size decoder.
        if (coder.containsValueForKey(QStringLiteral("size")))
            origin += QPointF(coder.decodeSizeForKey(QStringLiteral("size")).width(), 0);
        return shared_from_this();
    }

    QString name;
    std::weak_ptr<TestNode> parent;
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
    static inline const QString kClassName = QStringLiteral("TestSpecialNode");
    QString className() const override { return kClassName; }
};

// A registered class that no key allows; counts how often it is made.
class TestIntruder : public Object {
public:
    static inline const QString kClassName = QStringLiteral("TestIntruder");
    TestIntruder() { ++made; }
    QString className() const override { return kClassName; }
    static inline int made = 0;
};

// Raises from its decoder as a class does for a file from a newer version.
class TestThrower : public Object {
public:
    static inline const QString kClassName = QStringLiteral("TestThrower");
    static inline const QString kExceptionName = QStringLiteral("fileTooNew");
    QString className() const override { return kClassName; }
    ObjectPtr initWithCoder(KeyedUnarchiver&) override
    {
        last = weak_from_this();
        Exception::raise(kExceptionName, QStringLiteral("written by a newer version"));
    }
    static inline std::weak_ptr<Object> last;
};

// A linked chain, for nesting depth.
class TestLink : public Object {
public:
    static inline const QString kClassName = QStringLiteral("TestLink");
    QString className() const override { return kClassName; }
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

// The classes a file may hold and that decode without raising: what the fuzz target reads.
inline void registerDecodableArchiveTestClasses(ClassRegistry& registry)
{
    registry.registerClass<TestSwatch>(TestSwatch::kClassName, PlatformClass::kObject);
    registry.registerClass<TestNode>(TestNode::kClassName, PlatformClass::kObject);
    registry.registerClass<TestSpecialNode>(TestSpecialNode::kClassName, TestNode::kClassName);
    registry.registerClass<TestLink>(TestLink::kClassName, PlatformClass::kObject);
}

inline void registerArchiveTestClasses(ClassRegistry& registry)
{
    registerDecodableArchiveTestClasses(registry);
    registry.registerClass<TestIntruder>(TestIntruder::kClassName, PlatformClass::kObject);
    registry.registerClass<TestThrower>(TestThrower::kClassName, PlatformClass::kObject);
}

} // namespace zandrel::test
