#include "platform/Log.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Each test uses keys of its own: the store is shared by the whole test run.
class UserDefaultsTest : public testing::Test {
protected:
    QString key(const char* name) const
    {
        return QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_"
            + QLatin1String(name);
    }
    UserDefaults defaults;
};

TEST_F(UserDefaultsTest, registrationIsAFallbackThatRemoveRevertsTo)
{
    defaults.registerDefaults(QVariantMap {
        { key("units"), 0 },
        { key("description"), QStringLiteral("My latest comic from Zandrel.") },
        { key("date"), QDateTime::fromString("2016-04-05T12:00:00-06:00", Qt::ISODate) },
    });
    defaults.registerDefaults(ValueMap {
        { key("corner"), 1 },
        { key("fonts"), ValueList { "A", "B" } },
        { key("textColor"), RgbColor(1, 0, 0, 128 / 255.0) },
    });
    EXPECT_EQ(defaults.integer(key("corner")), 1);
    EXPECT_EQ(defaults.string(key("description")), "My latest comic from Zandrel.");
    EXPECT_EQ(defaults.stringArray(key("fonts")), (QStringList { "A", "B" }));
    EXPECT_EQ(defaults.date(key("date")).toSecsSinceEpoch(), 1459879200);
    EXPECT_EQ(defaults.color(key("textColor")), QColor(255, 0, 0, 128));

    defaults.set(key("corner"), 4);
    EXPECT_EQ(defaults.integer(key("corner")), 4);
    // Another instance over the same store sees the value; registrations are not persisted.
    UserDefaults other;
    EXPECT_EQ(other.integer(key("corner")), 4);
    EXPECT_FALSE(other.contains(key("units")));
    defaults.remove(key("corner"));
    EXPECT_EQ(defaults.integer(key("corner")), 1);
    defaults.set(key("corner"), QVariant()); // setting nothing removes as well
    EXPECT_EQ(defaults.integer(key("corner")), 1);

    // Objects cannot be registered: logged, not stored.
    Log::Capture log;
    defaults.registerDefaults(ValueMap { { key("object"), QTransform() } });
    EXPECT_FALSE(defaults.contains(key("object")));
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(UserDefaultsTest, typedGettersGiveZeroOrEmptyWhenAbsentOrOfAnotherKind)
{
    defaults.set(key("text"), QStringLiteral("hello"));
    defaults.set(key("data"), QByteArray("\x01\x02", 2));
    defaults.set(key("list"), QStringList { "a", "b" });
    for (const char* absentOrWrong : { "absent", "text", "data", "list" }) {
        SCOPED_TRACE(absentOrWrong);
        EXPECT_EQ(defaults.integer(key(absentOrWrong)), 0);
        EXPECT_FALSE(defaults.boolean(key(absentOrWrong)));
        EXPECT_EQ(defaults.floating(key(absentOrWrong)), 0.0f);
        EXPECT_EQ(defaults.doubleValue(key(absentOrWrong)), 0.0);
        EXPECT_FALSE(defaults.date(key(absentOrWrong)).isValid());
        EXPECT_FALSE(defaults.color(key(absentOrWrong)).has_value());
    }
    EXPECT_TRUE(defaults.string(key("data")).isEmpty());
    EXPECT_TRUE(defaults.string(key("list")).isEmpty());
    EXPECT_TRUE(defaults.data(key("text")).isEmpty());
    EXPECT_TRUE(defaults.stringArray(key("data")).isEmpty());
    EXPECT_EQ(defaults.data(key("data")), QByteArray("\x01\x02", 2));
    EXPECT_FALSE(defaults.object(key("absent")).isValid());
}

TEST_F(UserDefaultsTest, numbersReadBackFromTextAsTheSettingsFileKeepsThem)
{
    // Between runs the settings file gives numbers and flags back as text.
    QSettings settings;
    settings.setValue(key("size"), QStringLiteral("14.5"));
    settings.setValue(key("flag"), QStringLiteral("true"));
    settings.setValue(key("off"), QStringLiteral("false"));
    settings.setValue(key("huge"), QStringLiteral("1e30"));
    settings.setValue(key("one"), QStringLiteral("Comic Font"));
    settings.setValue(key("empty"), QStringList());
    settings.sync();
    UserDefaults fresh;
    EXPECT_EQ(fresh.floating(key("size")), 14.5f);
    EXPECT_EQ(fresh.integer(key("size")), 14);
    EXPECT_TRUE(fresh.boolean(key("flag")));
    EXPECT_EQ(fresh.integer(key("flag")), 1);
    EXPECT_FALSE(fresh.boolean(key("off")));
    EXPECT_EQ(fresh.integer(key("huge")), 2147483647);
    EXPECT_EQ(fresh.string(key("size")), "14.5");
    // A one-item list comes back as text; an empty list as a stored empty value.
    EXPECT_EQ(fresh.stringArray(key("one")), QStringList { "Comic Font" });
    EXPECT_TRUE(fresh.stringArray(key("empty")).isEmpty());
    EXPECT_TRUE(fresh.contains(key("empty")));

    fresh.set(key("number"), 3.25);
    EXPECT_EQ(fresh.string(key("number")), "3.25");
    EXPECT_TRUE(fresh.boolean(key("number")));
}

TEST_F(UserDefaultsTest, everyKindReadsBackFromTheFileOfAnEarlierRun)
{
    defaults.set(key("units"), 3);
    defaults.set(key("negative"), -7);
    defaults.set(key("flag"), true);
    defaults.set(key("off"), false);
    defaults.set(key("size"), 14.5f);
    defaults.set(key("fonts"), QStringList { "A, B", "C" });
    defaults.set(key("one"), QStringList { "Comic Font" });
    defaults.set(key("none"), QStringList());
    defaults.set(key("visited"), QDateTime::fromSecsSinceEpoch(1459879200));
    defaults.set(key("bytes"), QByteArray("\0\1xyz", 5));
    defaults.setColor(key("hair"), QColor(1, 2, 3, 4));
    defaults.set(key("description"), QStringLiteral("#zandrel; a = b, c"));
    defaults.synchronize();

    // The next run parses the file: copy it to where a fresh store looks, out of reach of the
    // settings objects of this run, which keep what they wrote.
    const QFileInfo written(QSettings().fileName());
    const QString inFolder = written.dir().dirName() + "/" + written.fileName();
    QTemporaryDir next;
    ASSERT_TRUE(QDir(next.path()).mkpath(written.dir().dirName()));
    ASSERT_TRUE(QFile::copy(written.filePath(), next.path() + "/" + inFolder));
    const QString thisRun = written.dir().absolutePath().section('/', 0, -2);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, next.path());
    {
        UserDefaults later;
        EXPECT_EQ(QSettings().fileName(), next.path() + "/" + inFolder);
        EXPECT_EQ(later.integer(key("units")), 3);
        EXPECT_EQ(later.integer(key("negative")), -7);
        EXPECT_TRUE(later.boolean(key("flag")));
        EXPECT_FALSE(later.boolean(key("off")));
        EXPECT_TRUE(later.contains(key("off")));
        EXPECT_EQ(later.floating(key("size")), 14.5f);
        EXPECT_EQ(later.stringArray(key("fonts")), (QStringList { "A, B", "C" }));
        EXPECT_EQ(later.stringArray(key("one")), QStringList { "Comic Font" });
        EXPECT_TRUE(later.stringArray(key("none")).isEmpty());
        EXPECT_EQ(later.date(key("visited")).toSecsSinceEpoch(), 1459879200);
        EXPECT_EQ(later.data(key("bytes")), QByteArray("\0\1xyz", 5));
        EXPECT_EQ(later.color(key("hair")), QColor(1, 2, 3, 4));
        EXPECT_EQ(later.string(key("description")), "#zandrel; a = b, c");
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, thisRun);
    EXPECT_EQ(QSettings().fileName(), written.filePath());
}

TEST_F(UserDefaultsTest, coloursAreStoredAsHexTextWithAlpha)
{
    defaults.setColor(key("hair"), QColor(0x12, 0xAB, 0x00, 0x80));
    EXPECT_EQ(QSettings().value(key("hair")).toString(), "#12AB0080");
    EXPECT_EQ(defaults.color(key("hair")), QColor(0x12, 0xAB, 0x00, 0x80));
    defaults.set(key("skin"), QColor(Qt::white));
    EXPECT_EQ(QSettings().value(key("skin")).toString(), "#FFFFFFFF");

    struct Case {
        const char* text;
        std::optional<QColor> color;
    };
    const Case cases[] = {
        { "#000000FF", QColor(0, 0, 0) },
        { "#ff000000", QColor(255, 0, 0, 0) },
        { "#336699", QColor(0x33, 0x66, 0x99) }, // hand-edited, opaque
        { "#12345", std::nullopt },
        { "#0x123456", std::nullopt },
        { "#-1234567", std::nullopt },
        { "12345678", std::nullopt },
        { "#GG000000", std::nullopt },
        { "", std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UserDefaults::colorFromText(QString::fromLatin1(c.text)), c.color);
    }
    defaults.setColor(key("hair"), QColor()); // an invalid colour removes the key
    EXPECT_FALSE(defaults.color(key("hair")).has_value());
}

// The store of the test run, which holds the settings file in a folder of the organisation's name.
QString store()
{
    return QFileInfo(QFileInfo(QSettings().fileName()).path()).path();
}

TEST(TestSettingsStore, ChildTellsItsStore)
{
    std::printf("\nstore %s\n", qPrintable(store()));
}

// A copy of the test program that a test starts keeps its store inside the store of the one that
// started it, which removes both when it ends, even when the test killed the copy.
TEST(TestSettingsStore, AChildsStoreIsInsideItsParents)
{
    QProcess child;
    child.start(
        QCoreApplication::applicationFilePath(), { QStringLiteral("--gtest_filter=*ChildTellsItsStore") });
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAllStandardOutput();
    const QString childStore
        = QString::fromLocal8Bit(output.mid(output.indexOf("\nstore ") + 7)).section(u'\n', 0, 0);
    EXPECT_TRUE(childStore.startsWith(store() + u'/')) << childStore.toStdString();
}

} // namespace
} // namespace zandrel
