// The bytes the character model writes, compared with reference files written by an earlier
// version of the code: a refactoring of the model must leave every archive as it was. Run this
// executable with ZANDREL_WRITE_ARCHIVE_REFERENCES=1 to record the references anew, and only when
// a change of the format is meant.
#include "support/ArchiveReference.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/CharXMLParserController.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartsFile.h"
#include "charmodel/TestCharacters.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/UserName.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

const QString kReferences = QStringLiteral("tests/charmodel/data/archives/");

QByteArray readSource(const QString& relativePath)
{
    QFile in(test::sourcePath(relativePath));
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// The files of a fuzz corpus, by name.
QStringList corpus(const QString& target)
{
    return QDir(test::sourcePath(QStringLiteral("fuzz/corpus/") + target)).entryList(QDir::Files, QDir::Name);
}

// The file written, and what reading it and writing again gives: the second reference guards
// reading too. (Reading validates, so an imported character may lose what it cannot use.)
void expectWrittenAndReadBack(const CharacterModel& model, const QString& name)
{
    const QByteArray written = archivedPartsFile(model);
    test::expectSameAsReference(written, kReferences + name + QStringLiteral(".parts"));
    const CharacterModelPtr read = readPartsFile(written);
    test::expectSecondWriteAsReference(
        archivedPartsFile(*read), written, kReferences + name + QStringLiteral("-reread.parts"));
    read->retire();
}

class ArchiveReferenceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }
    void TearDown() override
    {
        appController()->setWritingPasteboard(false);
        appController()->setModalAlertHandler(nullptr);
    }
};

TEST_F(ArchiveReferenceTest, BuiltCharacters)
{
    auto fresh = std::make_shared<CharacterModel>();
    fresh->setCreator(QStringLiteral("Test"));
    expectWrittenAndReadBack(*fresh, QStringLiteral("new-character"));
    expectWrittenAndReadBack(*test::richCharacter(), QStringLiteral("rich-character"));
    expectWrittenAndReadBack(*test::styledCharacter(), QStringLiteral("styled-character"));
}

TEST_F(ArchiveReferenceTest, PasteboardArchivesCarryTheCharacter)
{
    const CharacterModelPtr model = test::styledCharacter();
    appController()->setWritingPasteboard(true);
    test::expectSameAsReference(KeyedArchiver::archivedDataWithRootObject(model->getParts().first()),
        kReferences + QStringLiteral("styled-part-pasteboard.archive"));
    test::expectSameAsReference(KeyedArchiver::archivedDataWithRootObject(model),
        kReferences + QStringLiteral("styled-character-pasteboard.archive"));
    appController()->setWritingPasteboard(false);
    auto alias = std::make_shared<PartAlias>(model->getParts().first());
    alias->offsetBy(QPointF(100, 50), true);
    test::expectSameAsReference(KeyedArchiver::archivedDataWithRootObject(alias),
        kReferences + QStringLiteral("styled-part-alias.archive"));
}

TEST_F(ArchiveReferenceTest, PartsFilesOfTheCorpusReadAndWritten)
{
    appController()->setModalAlertHandler([](const ModalAlert&) { return ModalAlert::kSecondButton; });
    for (const QString& file : corpus(QStringLiteral("fuzz_partsfile"))) {
        SCOPED_TRACE(file.toStdString());
        const CharacterModelPtr model
            = readPartsFile(readSource(QStringLiteral("fuzz/corpus/fuzz_partsfile/") + file));
        expectWrittenAndReadBack(*model, QStringLiteral("corpus-") + file.section(u'.', 0, 0));
        model->retire();
    }
}

TEST_F(ArchiveReferenceTest, ImportedCharactersWritten)
{
    QStringList sources { QStringLiteral("tests/charmodel/data/sample.char") };
    for (const QString& file : corpus(QStringLiteral("fuzz_charxml")))
        sources.append(QStringLiteral("fuzz/corpus/fuzz_charxml/") + file);
    for (const QString& source : sources) {
        SCOPED_TRACE(source.toStdString());
        QString error;
        const CharacterModelPtr model
            = importCharacterXML(readSource(source), &error, test::sourcePath(source));
        // Some of the corpus is refused on purpose (external entities).
        if (!model && source.startsWith(QStringLiteral("fuzz")))
            continue;
        ASSERT_TRUE(model) << error.toStdString();
        // A file that names no creator gets the user's name, which differs from machine to machine.
        if (model->creator() == fullUserName())
            model->setCreator(QStringLiteral("Test"));
        const QString name = source.section(u'/', -1).section(u'.', 0, 0);
        const QString prefix = source.startsWith(QStringLiteral("fuzz")) ? QStringLiteral("xml-corpus-")
                                                                         : QStringLiteral("xml-");
        expectWrittenAndReadBack(*model, prefix + name);
        model->retire();
    }
    for (const QString& file : corpus(QStringLiteral("fuzz_legacyparts"))) {
        SCOPED_TRACE(file.toStdString());
        CharacterModelPtr model;
        try {
            model = CharacterModel::initWithParts86Data(
                readSource(QStringLiteral("fuzz/corpus/fuzz_legacyparts/") + file));
        } catch (const Exception&) {
            continue;
        }
        model->setCreator(QStringLiteral("Test"));
        expectWrittenAndReadBack(*model, QStringLiteral("legacy-corpus-") + file);
        model->retire();
    }
}

} // namespace
} // namespace zandrel
