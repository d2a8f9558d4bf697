// A document saved over and over by a process that is killed at random moments: the file on disk is
// always the old version or the new one, whole, and it opens. The same holds for the timed autosave
// of a comic, whatever thread writes it.
#include "CharacterFixtures.h"
#include "DocumentTestSupport.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/TestComics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

const char* const kChildFileVariable = "ZANDREL_CRASH_CHILD_FILE";
const char* const kChildKindVariable = "ZANDREL_CRASH_CHILD_KIND";
constexpr int kKills = 60;

// One kind of document file: two large versions and how to open the file.
struct FileKind {
    QString name;
    QString extension;
    std::function<QByteArray(const QString& name)> makeVersion;
    std::function<std::unique_ptr<ZDLDocument>()> makeDocument;
    std::function<bool(const QByteArray&)> opens;
};

// The rich comic with copies of its first page until its file is large.
QByteArray largeComic(const QString& name)
{
    const ComicModelPtr comic = test::richComic();
    comic->setName(name);
    ComicStructureList pages = comic->contents();
    const auto first = std::dynamic_pointer_cast<ComicPage>(pages.front());
    for (int copy = 0; copy < 24; ++copy)
        pages.push_back(std::dynamic_pointer_cast<ComicStructureElement>(first->initByCopying()));
    comic->setContents(pages);
    comic->fixParents();
    return archivedComicFile(*comic);
}

QList<FileKind> fileKinds()
{
    return {
        { QStringLiteral("parts"), QStringLiteral("parts"),
            [](const QString& name) { return archivedPartsFile(*test::makeCharacter(name, 80, 6, 12)); },
            [] { return std::make_unique<CharacterDocument>(); },
            [](const QByteArray& data) {
                try {
                    return readPartsFile(data) != nullptr;
                } catch (...) {
                    return false;
                }
            } },
        { QStringLiteral("comic"), QStringLiteral("comic"), &largeComic,
            [] { return std::make_unique<ComicDocument>(); },
            [](const QByteArray& data) {
                try {
                    return readComicFile(data) != nullptr;
                } catch (...) {
                    return false;
                }
            } },
    };
}

const FileKind* kindNamed(const QString& name)
{
    static const QList<FileKind> kinds = fileKinds();
    for (const FileKind& kind : kinds) {
        if (kind.name == name)
            return &kind;
    }
    return nullptr;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString versionPath(const QString& target, int version)
{
    return target + QStringLiteral(".version%1").arg(version);
}

// The child: two documents, one of each version (read from the files the parent wrote beside the
// target), save in turn into the same file until killed, telling the parent after each save.
TEST(CrashSafetyTest, SaveLoopChild)
{
    const QString path = qEnvironmentVariable(kChildFileVariable);
    const FileKind* kind = kindNamed(qEnvironmentVariable(kChildKindVariable));
    if (path.isEmpty() || !kind)
        GTEST_SKIP() << "runs only as the child of SavesSurviveKills";
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    registerStandardFileFormats();
    const FileFormatPtr format = FileFormatRegistry::shared().formatForExtension(kind->extension);
    ASSERT_TRUE(format);
    std::unique_ptr<ZDLDocument> documents[2] = { kind->makeDocument(), kind->makeDocument() };
    for (int i = 0; i < 2; ++i) {
        DocumentError error;
        ASSERT_TRUE(documents[i]->readFromData(readAll(versionPath(path, i)), *format, &error));
        documents[i]->setFileType(format->typeName());
    }
    std::puts("ready");
    std::fflush(stdout);
    // Children start with either version, so that kills land in the writing of both.
    for (quint64 round = QCoreApplication::applicationPid() % 2;; ++round) {
        DocumentError error;
        if (!documents[round % 2]->saveToFile(path, SaveOperation::Save, &error)) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(error.failureReason));
            std::exit(3);
        }
        std::puts("saved");
        std::fflush(stdout);
    }
}

// Starts a child and waits until it has made its documents (and, when asked, saved some times).
void startChild(QProcess& child, const FileKind& kind, const QString& path, int saves = 0)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildFileVariable), path);
    environment.insert(QString::fromLatin1(kChildKindVariable), kind.name);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--gtest_filter=CrashSafetyTest.SaveLoopChild") });
    ASSERT_TRUE(child.waitForStarted());
    QByteArray output;
    const auto count = [&output](const char* word) { return output.count(word); };
    while (!count("ready") || count("saved") < saves) {
        ASSERT_TRUE(child.waitForReadyRead(60000)) << child.readAllStandardError().toStdString();
        output += child.readAllStandardOutput();
    }
}

TEST(CrashSafetyTest, SavesSurviveKills)
{
    for (const FileKind& kind : fileKinds()) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("large.") + kind.extension);
        const QByteArray versions[2]
            = { kind.makeVersion(QStringLiteral("Old")), kind.makeVersion(QStringLiteral("New")) };
        ASSERT_NE(versions[0], versions[1]);
        ASSERT_GT(versions[0].size(), 200 * 1024) << "large enough for a save to take a while";
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(versions[0]);
        }
        for (int i = 0; i < 2; ++i) {
            QFile file(versionPath(path, i));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(versions[i]);
        }
        // How long a save takes here (a sanitizer build is several times slower): kills are spread
        // over a few saves.
        qint64 saveMs = 0;
        {
            QProcess child;
            startChild(child, kind, path);
            QElapsedTimer clock;
            clock.start();
            QByteArray output;
            while (output.count("saved") < 4) {
                ASSERT_TRUE(child.waitForReadyRead(60000));
                output += child.readAllStandardOutput();
            }
            saveMs = std::max<qint64>(1, clock.elapsed() / 4);
            child.kill();
            child.waitForFinished(30000);
        }
        QRandomGenerator random(20261207);
        int sawOld = 0;
        int sawNew = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            QProcess child;
            startChild(child, kind, path);
            QThread::usleep(random.bounded(quint64(1000), quint64(saveMs * 3000)));
            child.kill();
            ASSERT_TRUE(child.waitForFinished(30000));
            ASSERT_EQ(child.exitStatus(), QProcess::CrashExit)
                << "the child stopped by itself: " << child.readAllStandardError().toStdString();
            const QByteArray onDisk = readAll(path);
            const bool isOld = onDisk == versions[0];
            const bool isNew = onDisk == versions[1];
            ASSERT_TRUE(isOld || isNew)
                << kind.name.toStdString() << ": kill " << kill << " left " << onDisk.size() << " bytes";
            ASSERT_TRUE(kind.opens(onDisk));
            sawOld += isOld;
            sawNew += isNew;
        }
        // Both versions were on disk at some kill: the kills did land while saves were going on.
        EXPECT_GT(sawOld, 0);
        EXPECT_GT(sawNew, 0);
    }
}

// The child: a comic opened from the file is renamed in turn "Old" and "New" and left to its timed
// autosave, telling the parent after each write, until killed.
TEST(CrashSafetyTest, AutosaveLoopChild)
{
    const QString path = qEnvironmentVariable(kChildFileVariable);
    if (path.isEmpty() || qEnvironmentVariable(kChildKindVariable) != QStringLiteral("autosave"))
        GTEST_SKIP() << "runs only as the child of AutosavesSurviveKills";
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    registerStandardFileFormats();
    ZDLDocument::setAutosaveDelayMs(0);
    ComicDocument document;
    DocumentError error;
    ASSERT_TRUE(document.readFromFile(path, &error)) << error.failureReason.toStdString();
    ASSERT_TRUE(document.autosavesInPlace());
    std::puts("ready");
    std::fflush(stdout);
    for (quint64 round = QCoreApplication::applicationPid() % 2;; ++round) {
        document.model()->setName(round % 2 ? QStringLiteral("New") : QStringLiteral("Old"));
        document.updateChangeCount();
        test::endEventPass([&] { return !document.isDocumentEdited() && !document.isWritingInBackground(); });
        if (document.isDocumentEdited()) {
            std::fprintf(stderr, "the autosave did not write\n");
            std::exit(3);
        }
        std::puts("saved");
        std::fflush(stdout);
    }
}

TEST(CrashSafetyTest, AutosavesSurviveKills)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("large.comic"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(largeComic(QStringLiteral("Old")));
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildFileVariable), path);
    environment.insert(QString::fromLatin1(kChildKindVariable), QStringLiteral("autosave"));
    const auto start = [&](QProcess& child, int saves) {
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--gtest_filter=CrashSafetyTest.AutosaveLoopChild") });
        ASSERT_TRUE(child.waitForStarted());
        QByteArray output;
        while (!output.count("ready") || output.count("saved") < saves) {
            ASSERT_TRUE(child.waitForReadyRead(60000)) << child.readAllStandardError().toStdString();
            output += child.readAllStandardOutput();
        }
    };
    // How long an autosave takes here: kills are spread over a few of them.
    qint64 saveMs = 0;
    {
        QProcess child;
        start(child, 0);
        QElapsedTimer clock;
        clock.start();
        QByteArray output;
        while (output.count("saved") < 4) {
            ASSERT_TRUE(child.waitForReadyRead(60000)) << child.readAllStandardError().toStdString();
            output += child.readAllStandardOutput();
        }
        saveMs = std::max<qint64>(1, clock.elapsed() / 4);
        child.kill();
        child.waitForFinished(30000);
    }
    QRandomGenerator random(20261208);
    QSet<QString> names;
    for (int kill = 0; kill < kKills / 2; ++kill) {
        QProcess child;
        start(child, 0);
        QThread::usleep(random.bounded(quint64(1000), quint64(saveMs * 3000)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(30000));
        ASSERT_EQ(child.exitStatus(), QProcess::CrashExit)
            << "the child stopped by itself: " << child.readAllStandardError().toStdString();
        // Whole: it opens, as one of the versions written.
        ComicModelPtr onDisk;
        try {
            onDisk = readComicFile(readAll(path));
        } catch (...) {
        }
        ASSERT_TRUE(onDisk) << "kill " << kill << " left a file that does not open";
        ASSERT_TRUE(onDisk->name() == QStringLiteral("Old") || onDisk->name() == QStringLiteral("New"))
            << onDisk->name().toStdString();
        names.insert(onDisk->name());
    }
    // Both versions were on disk at some kill: the kills did land while autosaves were going on.
    EXPECT_EQ(names.size(), 2);
}

} // namespace
} // namespace zandrel
