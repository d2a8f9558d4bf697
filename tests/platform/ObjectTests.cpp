#include "platform/Exception.h"
#include "platform/Log.h"
#include "platform/Object.h"

#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class Swatch : public Object {
public:
    ZDL_PROPERTIES

    QString className() const override { return QStringLiteral("Swatch"); }

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    float weight() const { return m_weight; }
    void setWeight(float weight) { m_weight = weight; }
    RgbColor color() const { return m_color; }
    void setColor(const RgbColor& color) { m_color = color; }
    int area() const { return 42; }

    // A setter that notifies by itself and changes two observable keys.
    void resize(int width)
    {
        willChangeValueForKey(QStringLiteral("width"));
        m_width = width;
        didChangeValueForKey(QStringLiteral("width"));
    }

    QString m_name;
    float m_weight = 1;
    RgbColor m_color;
    int m_width = 0;
    bool m_flag = false;
    QRectF m_frame;
    std::shared_ptr<Swatch> m_link;
    std::vector<std::shared_ptr<Swatch>> m_children;
    ValueList m_extra;
};

const PropertyTable& Swatch::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<Swatch>("name", &Swatch::name, &Swatch::setName),
            property<Swatch>("weight", &Swatch::weight, &Swatch::setWeight),
            property<Swatch>("color", &Swatch::color, &Swatch::setColor),
            property<Swatch>("width", &Swatch::m_width),
            property<Swatch>("flag", &Swatch::m_flag),
            property<Swatch>("frame", &Swatch::m_frame),
            property<Swatch>("link", &Swatch::m_link),
            property<Swatch>("children", &Swatch::m_children),
            property<Swatch>("extra", &Swatch::m_extra),
            readOnlyProperty<Swatch>("area", &Swatch::area),
        });
    return table;
}

// A subclass that gives nil a meaning for one scalar and adds a property of its own.
class TintedSwatch : public Swatch {
public:
    ZDL_PROPERTIES

    void setNilValueForKey(const QString& key) override
    {
        if (key == QLatin1String("weight"))
            setValueForKey(0.5f, key);
        else
            Swatch::setNilValueForKey(key);
    }

    double m_tint = 0;
};

const PropertyTable& TintedSwatch::staticPropertyTable()
{
    static const PropertyTable table(&Swatch::staticPropertyTable(),
        {
            property<TintedSwatch>("tint", &TintedSwatch::m_tint),
        });
    return table;
}

QString exceptionName(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.name();
    }
    return QString();
}

TEST(ObjectProperties, convertBetweenValuesAndMemberTypes)
{
    auto s = std::make_shared<TintedSwatch>();
    auto child = std::make_shared<Swatch>();

    s->setValueForKey(QStringLiteral("Skin"), QStringLiteral("name"));
    s->setValueForKey(3, QStringLiteral("weight")); // an integer for a float property
    s->setValueForKey(2.75, QStringLiteral("width")); // a double for an int property truncates
    s->setValueForKey(1, QStringLiteral("flag"));
    s->setValueForKey(QRectF(1, 2, 3, 4), QStringLiteral("frame"));
    s->setValueForKey(RgbColor(0.1, 0.2, 0.3), QStringLiteral("color"));
    s->setValueForKey(child, QStringLiteral("link"));
    s->setValueForKey(ValueList { child, child }, QStringLiteral("children"));
    s->setValueForKey(0.25, QStringLiteral("tint"));

    EXPECT_EQ(s->m_name, "Skin");
    EXPECT_EQ(s->m_weight, 3.0f);
    EXPECT_EQ(s->m_width, 2);
    EXPECT_TRUE(s->m_flag);
    EXPECT_EQ(s->m_frame, QRectF(1, 2, 3, 4));
    EXPECT_EQ(s->m_link, child);
    ASSERT_EQ(s->m_children.size(), 2u);
    EXPECT_EQ(s->m_children[1], child);
    EXPECT_EQ(s->m_tint, 0.25);

    EXPECT_EQ(s->valueForKey(QStringLiteral("weight")).type(), Value::Type::Float);
    EXPECT_EQ(s->valueForKey(QStringLiteral("width")), Value(2));
    EXPECT_EQ(s->valueForKey(QStringLiteral("area")), Value(42));
    EXPECT_EQ(s->valueForKey(QStringLiteral("children")), Value(ValueList { child, child }));
    EXPECT_EQ(s->valueForKey(QStringLiteral("link")).toObject<Swatch>(), child);

    EXPECT_TRUE(s->respondsToKey(QStringLiteral("tint")));
    EXPECT_TRUE(s->respondsToKey(QStringLiteral("name")));
    EXPECT_FALSE(child->respondsToKey(QStringLiteral("tint")));
    EXPECT_EQ(child->propertyKeys().first(), "name");
    EXPECT_EQ(s->propertyKeys().last(), "tint");

    // Object links are null for nil; non-scalar types take their empty value.
    s->setValueForKey(Value(), QStringLiteral("link"));
    s->setValueForKey(Value(), QStringLiteral("name"));
    EXPECT_EQ(s->m_link, nullptr);
    EXPECT_TRUE(s->m_name.isNull());
}

TEST(ObjectProperties, badKeysAndValuesRaiseAndLeaveTheObjectAlone)
{
    auto s = std::make_shared<TintedSwatch>();
    s->m_width = 7;
    EXPECT_EQ(exceptionName([&] { s->valueForKey(QStringLiteral("nope")); }), "undefinedKey");
    EXPECT_EQ(exceptionName([&] { s->setValueForKey(1, QStringLiteral("nope")); }), "undefinedKey");
    EXPECT_EQ(exceptionName([&] { s->setValueForKey(1, QStringLiteral("area")); }), "undefinedKey");
    EXPECT_EQ(exceptionName([&] { s->setValueForKey("wide", QStringLiteral("width")); }), "invalidArgument");
    EXPECT_EQ(exceptionName([&] { s->setValueForKey(3, QStringLiteral("name")); }), "invalidArgument");
    EXPECT_EQ(exceptionName([&] { s->setValueForKey(ValueList { 1 }, QStringLiteral("children")); }),
        "invalidArgument");
    // A nil scalar goes to setNilValueForKey: refused by default, given a meaning by the subclass.
    EXPECT_EQ(exceptionName([&] { s->setValueForKey(Value(), QStringLiteral("width")); }), "invalidArgument");
    EXPECT_EQ(s->m_width, 7);
    s->setValueForKey(Value(), QStringLiteral("weight"));
    EXPECT_EQ(s->m_weight, 0.5f);
}

TEST(ObjectProperties, keyPathsFollowObjectLinksAndNilSwallowsWrites)
{
    auto s = std::make_shared<Swatch>();
    s->m_link = std::make_shared<Swatch>();
    s->setValueForKeyPath(QStringLiteral("Hair"), QStringLiteral("link.name"));
    EXPECT_EQ(s->m_link->m_name, "Hair");
    EXPECT_EQ(s->valueForKeyPath(QStringLiteral("link.name")), Value("Hair"));
    EXPECT_TRUE(s->valueForKeyPath(QStringLiteral("link.link.name")).isNull());
    s->setValueForKeyPath(QStringLiteral("x"), QStringLiteral("link.link.name"));
}

struct Change {
    QString key;
    Value oldValue;
    Value newValue;
};

TEST(ObjectObservation, observersGetOldAndNewValuesAndNestedPairsNotifyOnce)
{
    auto s = std::make_shared<Swatch>();
    std::vector<Change> changes;
    int owner = 0;
    s->addObserver(
        QStringLiteral("width"), &owner, [&](Object&, const QString& key, const Value& o, const Value& n) {
            changes.push_back({ key, o, n });
        });
    s->setValueForKey(3, QStringLiteral("width"));
    s->resize(5);
    s->setValueForKey(QStringLiteral("ignored"), QStringLiteral("name"));
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].oldValue, Value(0));
    EXPECT_EQ(changes[0].newValue, Value(3));
    EXPECT_EQ(changes[1].oldValue, Value(3));
    EXPECT_EQ(changes[1].newValue, Value(5));

    // An outer change around the setter makes one change from the first old to the last new value.
    changes.clear();
    s->changeValueForKey(QStringLiteral("width"), [&] {
        s->resize(6);
        s->setValueForKey(8, QStringLiteral("width"));
        EXPECT_TRUE(changes.empty());
    });
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].oldValue, Value(5));
    EXPECT_EQ(changes[0].newValue, Value(8));

    // A setter that fails notifies nothing and leaves later changes notifying normally.
    changes.clear();
    EXPECT_ANY_THROW(s->setValueForKey("x", QStringLiteral("width")));
    s->setValueForKey(9, QStringLiteral("width"));
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].oldValue, Value(8));

    // A copy has the values but not the observers.
    Swatch copy(*s);
    copy.setValueForKey(1, QStringLiteral("width"));
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_FALSE(copy.hasObservers(QStringLiteral("width")));
}

TEST(ObjectObservation, anObserverThatThrowsStopsTheSetterAndLaterChangesStillNotify)
{
    // What an observer raises reaches the caller of the setter; the change itself is made, and
    // the next change of the key is told as usual.
    auto s = std::make_shared<Swatch>();
    int calls = 0;
    s->addObserver(
        QStringLiteral("width"), nullptr, [&](Object&, const QString&, const Value&, const Value& n) {
            ++calls;
            if (n.toInt() == 1)
                Exception::raise(QStringLiteral("observerFailed"), QStringLiteral("refused"));
        });
    EXPECT_EQ(exceptionName([&] { s->setValueForKey(1, QStringLiteral("width")); }), "observerFailed");
    EXPECT_EQ(s->m_width, 1);
    // A change that fails is abandoned: its observers hear nothing and the exception goes on.
    EXPECT_EQ(exceptionName([&] {
        s->changeValueForKey(QStringLiteral("width"), [&] {
            s->m_width = 2;
            Exception::raise(QStringLiteral("changeFailed"), QStringLiteral("abandoned"));
        });
    }),
        "changeFailed");
    s->setValueForKey(3, QStringLiteral("width"));
    EXPECT_EQ(calls, 2);
}

TEST(ObjectObservation, reentrantSetFromCallbackNotifiesTooAndTerminates)
{
    // A palette renames a colour to a unique name from inside the observer, as a library would.
    auto s = std::make_shared<Swatch>();
    const QStringList taken { QStringLiteral("Red"), QStringLiteral("Red 2") };
    std::vector<Change> seen;
    int owner = 0;
    s->addObserver(
        QStringLiteral("name"), &owner, [&](Object& o, const QString& key, const Value& old, const Value& n) {
            seen.push_back({ key, old, n });
            QString name = n.toString();
            if (!taken.contains(name))
                return;
            for (int i = 2;; ++i) {
                const QString candidate = QStringLiteral("Red %1").arg(i);
                if (!taken.contains(candidate)) {
                    o.setValueForKey(candidate, key);
                    return;
                }
            }
        });
    // A second observer registered after the renamer sees both changes in order.
    std::vector<QString> second;
    s->addObserver(QStringLiteral("name"), &owner,
        [&](Object&, const QString&, const Value&, const Value& n) { second.push_back(n.toString()); });

    s->setValueForKey(QStringLiteral("Red"), QStringLiteral("name"));
    EXPECT_EQ(s->m_name, "Red 3");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].newValue, Value("Red"));
    EXPECT_EQ(seen[1].oldValue, Value("Red"));
    EXPECT_EQ(seen[1].newValue, Value("Red 3"));
    // The inner change reached the second observer first; the outer one then reports its own values.
    EXPECT_EQ(second, (std::vector<QString> { QStringLiteral("Red 3"), QStringLiteral("Red") }));
}

TEST(ObjectObservation, anObserverThatAlwaysResetsIsCutOffAndLogged)
{
    auto s = std::make_shared<Swatch>();
    int calls = 0;
    s->addObserver(
        QStringLiteral("width"), nullptr, [&](Object& o, const QString& key, const Value&, const Value& n) {
            ++calls;
            o.setValueForKey(n.toInt() + 1, key);
        });
    Log::Capture log;
    s->setValueForKey(0, QStringLiteral("width"));
    EXPECT_GT(calls, 10);
    EXPECT_LT(calls, 1000);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_EQ(log.lines()[0], "Observers of \"width\" on Swatch keep changing it; notification dropped");
}

TEST(ObjectObservation, removalDuringCallbackIsSafe)
{
    auto s = std::make_shared<Swatch>();
    int ownerA = 0;
    int ownerB = 0;
    std::vector<QString> calls;
    ObserverToken second = 0;
    s->addObserver(QString(), &ownerA, [&](Object& o, const QString& key, const Value&, const Value&) {
        calls.push_back(QStringLiteral("first ") + key);
        o.removeObserver(second); // not called for this change any more
        o.removeObservers(&ownerA); // removes this very callback while it runs
    });
    second = s->addObserver(
        QStringLiteral("flag"), &ownerB, [&](Object&, const QString&, const Value&, const Value&) {
            calls.push_back(QStringLiteral("second"));
        });
    s->addObserver(QStringLiteral("flag"), &ownerB, [&](Object&, const QString&, const Value&, const Value&) {
        calls.push_back(QStringLiteral("third"));
    });

    s->setValueForKey(true, QStringLiteral("flag"));
    s->setValueForKey(false, QStringLiteral("flag"));
    EXPECT_EQ(calls, (std::vector<QString> { "first flag", "third", "third" }));

    // An observer may drop the last owner of the object it observes.
    auto held = std::make_shared<Swatch>();
    std::weak_ptr<Swatch> weak = held;
    held->addObserver(QStringLiteral("width"), nullptr,
        [&](Object&, const QString&, const Value&, const Value&) { held.reset(); });
    held->setValueForKey(1, QStringLiteral("width"));
    EXPECT_TRUE(weak.expired());
}

} // namespace
} // namespace zandrel
