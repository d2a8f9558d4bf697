#include "app/core/ZDLAppController.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Object.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A root model as the document formats have: it writes the version header first and checks it
// first when it is read, against the versions this reader supports.
class VersionedRoot : public Object {
public:
    QString className() const override { return QStringLiteral("TestVersionedRoot"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        if (writesHeader)
            appController()->encodeFileVersion(fileVersion, "1.0.200", losslessVersion, "1.0.190", coder);
        coder.encodeInt32(1, "other");
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        appController()->validateFileVersion(supportedFileVersion, supportedLosslessVersion, coder);
        return shared_from_this();
    }

    bool writesHeader = true;
    qint32 fileVersion = 10;
    qint32 losslessVersion = 9;
    static inline qint32 supportedFileVersion = 10;
    static inline qint32 supportedLosslessVersion = 9;
};

void registerTestClasses(ClassRegistry& registry)
{
    registry.registerClass<VersionedRoot>("TestVersionedRoot", "NSObject");
}

class VersionHeaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClassRegistry::shared().registerOnce(&registerTestClasses);
        controller = ZDLAppController::install(std::make_unique<ZDLAppController>());
        controller->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert);
            return answer;
        });
    }

    static QByteArray header(qint32 fileVersion, qint32 losslessVersion, bool writesHeader = true)
    {
        auto root = std::make_shared<VersionedRoot>();
        root->fileVersion = fileVersion;
        root->losslessVersion = losslessVersion;
        root->writesHeader = writesHeader;
        return KeyedArchiver::archivedDataWithRootObject(root);
    }

    // Reads the archive as a reader of the given versions; returns the name of the exception that
    // came out of the unarchiver, or "" when the root was read.
    QString validate(
        const QByteArray& data, qint32 fileVersion, qint32 losslessVersion, QString* reason = nullptr)
    {
        VersionedRoot::supportedFileVersion = fileVersion;
        VersionedRoot::supportedLosslessVersion = losslessVersion;
        try {
            const Value root = KeyedUnarchiver::unarchive(data, { QStringLiteral("TestVersionedRoot") });
            EXPECT_TRUE(root.toObject<VersionedRoot>());
        } catch (const Exception& exception) {
            if (reason)
                *reason = exception.reason();
            return exception.name();
        }
        return QString();
    }

    ZDLAppController* controller = nullptr;
    QList<ModalAlert> alerts;
    int answer = ModalAlert::kFirstButton;
};

TEST_F(VersionHeaderTest, HeaderIsWrittenWithTheFormatKeysAndTypes)
{
    const QString script = R"PY(
import plistlib, sys
archive = plistlib.load(open(sys.argv[1], 'rb'))
objects = archive['$objects']
top = objects[archive['$top']['root'].data]
assert sorted(k for k in top if k not in ('$class', 'other')) == ['fileVersion', 'losslessVersion', 'minimimAppVersion', 'minimimLosslessAppVersion'], list(top)
assert type(top['fileVersion']) is int and top['fileVersion'] == 10
assert type(top['losslessVersion']) is int and top['losslessVersion'] == 9
assert isinstance(top['minimimAppVersion'], plistlib.UID)
assert objects[top['minimimAppVersion'].data] == '1.0.200'
assert objects[top['minimimLosslessAppVersion'].data] == '1.0.190'
print('ok')
)PY";
    QString output;
    const int status = test::runPython(script, header(10, 9), &output);
    if (status == -1)
        GTEST_SKIP() << "python3 is not available";
    EXPECT_EQ(status, 0) << output.toStdString();
}

TEST_F(VersionHeaderTest, SupportedVersionsOpenWithoutQuestion)
{
    EXPECT_EQ(validate(header(10, 9), 10, 9), QString());
    EXPECT_EQ(validate(header(3, 1), 10, 9), QString());
    // An archive without the keys reads as version 0.
    EXPECT_EQ(validate(header(0, 0, false), 10, 9), QString());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(VersionHeaderTest, NewerFileVersionIsRefusedWithTheNeededVersion)
{
    QString reason;
    EXPECT_EQ(validate(header(11, 9), 10, 9, &reason), kFileTooNewException);
    EXPECT_EQ(reason, "Zandrel version 1.0.200 or newer is needed to open this file.");
    // Refused before the lossless version is looked at: nobody is asked.
    EXPECT_EQ(validate(header(11, 99), 10, 9), kFileTooNewException);
    EXPECT_TRUE(alerts.isEmpty());

    // A parts-file reader refuses a header a comic reader accepts.
    EXPECT_EQ(validate(header(8, 4), 7, 4), kFileTooNewException);
    EXPECT_EQ(validate(header(8, 4), 10, 9), QString());
}

TEST_F(VersionHeaderTest, NewerLosslessVersionAsksAndRefusalCancels)
{
    QString reason;
    answer = ModalAlert::kFirstButton;
    EXPECT_EQ(validate(header(10, 10), 10, 9, &reason), kUserCancelledException);
    EXPECT_EQ(reason, "The user cancelled opening the file.");
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].message,
        "This file was created by a newer version of Zandrel. This version "
        "can open it but may lose some data.");
    EXPECT_EQ(
        alerts[0].informativeText, "Zandrel version 1.0.190 or later can open this file without data loss.");
    EXPECT_EQ(alerts[0].buttons, (QStringList { "Cancel", "Continue" }));

    answer = ModalAlert::kSecondButton;
    EXPECT_EQ(validate(header(10, 10), 10, 9), QString());
    EXPECT_EQ(alerts.size(), 2);
}

TEST_F(VersionHeaderTest, WithoutAnyoneToAskALossyReadIsCancelled)
{
    controller->setModalAlertHandler({});
    EXPECT_EQ(validate(header(10, 10), 10, 9), kUserCancelledException);
}

} // namespace
} // namespace zandrel
