#include "CurveTestSupport.h"
#include "graphics/Curve.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "support/TestSupport.h"

namespace zandrel {
namespace {

using test::makeCurve;

class CurveArchivingTest : public ::testing::Test {
protected:
    void SetUp() override { ClassRegistry::shared().registerOnce(&registerCurveClasses); }

    static std::shared_ptr<Curve> roundTrip(const ObjectPtr& object)
    {
        const QByteArray data = KeyedArchiver::archivedDataWithRootObject(object);
        return KeyedUnarchiver::unarchive(data, { QStringLiteral("Curve") }).toObject<Curve>();
    }
};

// Writes chosen keys under a class name, to stand for files written by other versions or damaged.
class FakeArchived : public Object {
public:
    using Encoder = std::function<void(KeyedArchiver&)>;
    FakeArchived(QString name, Encoder encoder)
        : m_name(std::move(name))
        , m_encoder(std::move(encoder))
    {
    }
    QString className() const override { return m_name; }
    void encodeWithCoder(KeyedArchiver& coder) const override { m_encoder(coder); }

private:
    QString m_name;
    Encoder m_encoder;
};

TEST_F(CurveArchivingTest, CurvesReadBackEqualInSinglePrecision)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, false }, { 0, 10, true } }, true);
    // Geometry held in double reads back as the float nearest to it.
    curve->getPointAtIndex(1)->setPoint(QPointF(0.1, 1.0 / 3));
    auto read = roundTrip(curve);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->closed());
    ASSERT_EQ(read->numPoints(), 4);
    for (int i = 0; i < 4; ++i) {
        const CurvePoint& written = *curve->getPointAtIndex(i);
        const CurvePoint& p = *read->getPointAtIndex(i);
        EXPECT_EQ(p.point(), QPointF(written.x(), written.y())) << i;
        EXPECT_EQ(p.onCurve(), written.onCurve()) << i;
    }
    EXPECT_EQ(read->getPointAtIndex(1)->point().x(), double(0.1f));
    EXPECT_NE(read->getPointAtIndex(1)->point().x(), 0.1);
    EXPECT_EQ(read->getDrawCommands(), curve->getDrawCommands());

    auto open = roundTrip(makeCurve({ { 1, 2, false }, { 3, 4, true } }));
    ASSERT_NE(open, nullptr);
    EXPECT_FALSE(open->closed());
    EXPECT_FALSE(open->getPointAtIndex(0)->onCurve());
}

TEST_F(CurveArchivingTest, ArchiveHoldsThePartsKeysAndTypes)
{
    if (test::python3().isEmpty())
        GTEST_SKIP() << "no python3 to read the archive independently";
    auto curve = makeCurve({ { 0.1, -2, true }, { 3, 4.5, false } });
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(curve);
    const QString script = R"PY(
import plistlib, struct, sys
top = plistlib.load(open(sys.argv[1], 'rb'))
objs = top['$objects']
def obj(uid): return objs[uid.data]
def cls(o): return obj(o['$class'])['$classname']
root = obj(top['$top']['root'])
assert cls(root) == 'Curve', cls(root)
assert sorted(k for k in root if k != '$class') == ['closed', 'points'], list(root)
assert root['closed'] is False
points = obj(root['points'])
assert cls(points) in ('NSArray', 'NSMutableArray')
ps = [obj(u) for u in points['NS.objects']]
f = lambda v: struct.unpack('f', struct.pack('f', v))[0]
for p, (x, y, on) in zip(ps, [(0.1, -2, True), (3, 4.5, False)]):
    assert cls(p) == 'CurvePoint'
    assert sorted(k for k in p if k != '$class') == ['onCurve', 'x', 'y'], list(p)
    assert isinstance(p['x'], float) and p['x'] == f(x), p['x']
    assert p['y'] == f(y) and p['onCurve'] is on
print('ok')
)PY";
    QString output;
    EXPECT_EQ(test::runPython(script, data, &output), 0) << output.toStdString();
}

TEST_F(CurveArchivingTest, MissingAndRefusedKeys)
{
    // No keys at all: an empty, open, invalid curve.
    auto bare = roundTrip(std::make_shared<FakeArchived>("Curve", [](KeyedArchiver&) {}));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->numPoints(), 0);
    EXPECT_FALSE(bare->closed());
    EXPECT_FALSE(bare->validateData());

    // Points without keys are at the origin and off the curve.
    auto point = std::make_shared<FakeArchived>("CurvePoint", [](KeyedArchiver&) {});
    auto pointWithX = std::make_shared<FakeArchived>("CurvePoint", [](KeyedArchiver& c) {
        c.encodeFloat(7.5f, "x");
        c.encodeFloat(std::numeric_limits<float>::quiet_NaN(), "y");
    });
    auto defaults = roundTrip(std::make_shared<FakeArchived>("Curve", [&](KeyedArchiver& c) {
        c.encodeObject(Value(ValueList { Value(ObjectPtr(point)), Value(ObjectPtr(pointWithX)) }), "points");
    }));
    ASSERT_NE(defaults, nullptr);
    ASSERT_EQ(defaults->numPoints(), 2);
    EXPECT_EQ(defaults->getPointAtIndex(0)->point(), QPointF(0, 0));
    EXPECT_FALSE(defaults->getPointAtIndex(0)->onCurve());
    // A non-finite coordinate reads as 0.
    EXPECT_EQ(defaults->getPointAtIndex(1)->point(), QPointF(7.5, 0));
    EXPECT_FALSE(defaults->closed());

    // Anything but curve points in the list is dropped; the points stay.
    auto stranger = std::make_shared<FakeArchived>("Curve", [](KeyedArchiver&) {});
    auto refused = roundTrip(std::make_shared<FakeArchived>("Curve", [&](KeyedArchiver& c) {
        c.encodeObject(Value(ValueList { Value(ObjectPtr(point)), Value(ObjectPtr(stranger)) }), "points");
        c.encodeBool(true, "closed");
    }));
    ASSERT_NE(refused, nullptr);
    ASSERT_EQ(refused->numPoints(), 1);
    EXPECT_FALSE(refused->getPointAtIndex(0)->onCurve());
    EXPECT_TRUE(refused->closed());
    auto notAList = roundTrip(std::make_shared<FakeArchived>(
        "Curve", [&](KeyedArchiver& c) { c.encodeObject(ObjectPtr(point), "points"); }));
    ASSERT_NE(notAList, nullptr);
    EXPECT_EQ(notAList->numPoints(), 0);
}

TEST_F(CurveArchivingTest, APointNamedTwiceBecomesTwoPoints)
{
    auto shared = CurvePoint::curvePointAtX(1, 2, true);
    auto curve = roundTrip(std::make_shared<FakeArchived>("Curve", [&](KeyedArchiver& c) {
        c.encodeObject(Value(ValueList { Value(shared), Value(shared) }), "points");
    }));
    ASSERT_NE(curve, nullptr);
    ASSERT_EQ(curve->numPoints(), 2);
    EXPECT_NE(curve->getPointAtIndex(0), curve->getPointAtIndex(1));
    curve->getPointAtIndex(0)->offsetBy(QPointF(1, 1));
    EXPECT_EQ(curve->getPointAtIndex(1)->point(), QPointF(1, 2));
}

} // namespace
} // namespace zandrel
