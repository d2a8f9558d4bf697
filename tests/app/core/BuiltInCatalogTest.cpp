// The built-in catalog that the build writes beside the program: read through the real controller
// as the catalog browser reads it, each parts file opened, its thumbnail decoded, its parts of the
// types the library browses by and painted in the character's own palette; the manifest read back
// by Python's own reader.
#include "app/core/CatalogManifest.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartTypes.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ArrayUtils.h"
#include "graphics/NamedShapeStyle.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

const QString kCatalogFolder = QStringLiteral(ZANDREL_BUILT_IN_CATALOG);

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BuiltInCatalogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(support.isValid());
        controller = ZDLAppController::install(std::make_unique<ZDLAppController>());
        controller->setAppSupportFolder(support.path());
        controller->setBuiltInCatalogFolder(kCatalogFolder);
        controller->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert);
            return ModalAlert::kFirstButton;
        });
    }

    std::shared_ptr<CharacterLibraryItem> item(const QString& name)
    {
        for (const auto& each : controller->characterCatalog()) {
            if (each->characterName() == name)
                return each;
        }
        ADD_FAILURE() << "no catalog item " << name.toStdString();
        return nullptr;
    }

    // Every path of the model, inside groups and inside other paths' contents.
    static QList<PartPath*> allPaths(const CharacterModel& model)
    {
        QList<PartPath*> paths;
        for (const ObjectPtr& element : model.children()) {
            auto* part = dynamic_cast<Part*>(element.get());
            if (!part)
                continue;
            for (const ObjectPtr& each : ArrayUtils::flattenContainedPathsArray(part->children())) {
                if (auto* path = dynamic_cast<PartPath*>(each.get()))
                    paths.append(path);
            }
        }
        return paths;
    }

    QTemporaryDir support;
    ZDLAppController* controller = nullptr;
    QList<ModalAlert> alerts;
};

TEST_F(BuiltInCatalogTest, ListsEveryManifestEntryAsABuiltInItemInNameOrder)
{
    const auto& catalog = controller->characterCatalog();
    QStringList names;
    for (const auto& each : catalog) {
        names.append(each->characterName());
        EXPECT_EQ(each->fromCatalog(), CharacterLibraryItem::BuiltInCatalog);
    }
    EXPECT_EQ(names, (QStringList { "Bruno", "Living Room", "Marta", "Outdoors", "Pip", "Things" }));
    EXPECT_EQ(controller->getCatalogFolderURL(CharacterLibraryItem::BuiltInCatalog), kCatalogFolder);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(BuiltInCatalogTest, EveryItemOpensWithItsThumbnailAndKind)
{
    const struct {
        const char* name;
        int kind;
    } expected[] = { { "Pip", 0 }, { "Marta", 0 }, { "Bruno", 0 }, { "Outdoors", 1 }, { "Living Room", 1 },
        { "Things", 1 } };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.name);
        auto entry = item(QString::fromUtf8(row.name));
        ASSERT_TRUE(entry);
        CharacterModelPtr model = entry->character();
        ASSERT_TRUE(model);
        EXPECT_EQ(model->characterName(), QString::fromUtf8(row.name));
        EXPECT_EQ(model->partsKind(), row.kind);
        EXPECT_EQ(entry->partsKind(), row.kind);
        EXPECT_EQ(model->creator(), QStringLiteral("Zandrel"));
        EXPECT_GE(model->numChildren(), 6);

        // The thumbnail is the model's own, framed on drawn parts: mostly white, not blank.
        const QImage thumbnail(entry->thumbnailFileURL());
        ASSERT_FALSE(thumbnail.isNull());
        EXPECT_EQ(thumbnail.size(), QSize(280, 200));
        int inked = 0;
        for (int y = 0; y < thumbnail.height(); y += 2) {
            for (int x = 0; x < thumbnail.width(); x += 2)
                inked += qGray(thumbnail.pixel(x, y)) < 200;
        }
        EXPECT_GT(inked, 280 * 200 / 4 / 20) << "thumbnail nearly empty";
        EXPECT_FALSE(entry->thumbnailImage().isNull());
    }
}

TEST_F(BuiltInCatalogTest, PartsCarryTheTypesTheLibraryBrowsesBy)
{
    const auto types = [&](const char* name) {
        QList<int> sorted;
        if (auto entry = item(QString::fromUtf8(name)); entry && entry->character())
            sorted = entry->character()->getPartTypesSorted();
        return sorted;
    };
    EXPECT_EQ(types("Pip"),
        (QList<int> { PartTypeHead, PartTypeHair, PartTypeHat, PartTypeTorso, PartTypeArm, PartTypeHips,
            PartTypeLeg, PartTypeFoot }));
    EXPECT_EQ(types("Marta"),
        (QList<int> { PartTypeHead, PartTypeHair, PartTypeTorso, PartTypeArm, PartTypeHips, PartTypeLeg,
            PartTypeFoot }));
    EXPECT_EQ(types("Bruno"),
        (QList<int> { PartTypeHead, PartTypeHair, PartTypeHat, PartTypeTorso, PartTypeArm, PartTypeHips,
            PartTypeLeg, PartTypeFoot, PartTypeCostume }));
    EXPECT_EQ(PartTypes::sortedTypes(types("Outdoors")),
        PartTypes::sortedTypes({ PartTypeSky, PartTypeGround, PartTypeFoliage, PartTypeStructure }));
    EXPECT_EQ(PartTypes::sortedTypes(types("Things")),
        PartTypes::sortedTypes({ PartTypeProp, PartTypeAnimal, PartTypeVehicle }));
    EXPECT_EQ(PartTypes::sortedTypes(types("Living Room")),
        PartTypes::sortedTypes({ PartTypeFurniture, PartTypeInterior, PartTypeFoliage }));

    // Every expression is a head of its own, with its pivot at the neck; a blank head, eyes and
    // mouths to make more, the features turning about their own centres.
    auto pip = item(QStringLiteral("Pip"));
    ASSERT_TRUE(pip && pip->character());
    EXPECT_EQ(pip->character()->getPartAliasesOfType(PartTypeHead).size(), 8 + 1 + 5 + 5);
    int heads = 0;
    int features = 0;
    for (const ObjectPtr& element : pip->character()->children()) {
        auto* part = dynamic_cast<Part*>(element.get());
        if (!part || part->partType() != PartTypeHead)
            continue;
        if (part->hasOrigin()) {
            ++heads;
            EXPECT_GT(part->origin().y(), part->getBounds().center().y());
        } else {
            ++features;
            EXPECT_LT(part->getBounds().height(), 40);
        }
    }
    EXPECT_EQ(heads, 9);
    EXPECT_EQ(features, 10);
}

TEST_F(BuiltInCatalogTest, EveryPathIsPaintedFromThePalette)
{
    for (const auto& entry : controller->characterCatalog()) {
        SCOPED_TRACE(entry->characterName().toStdString());
        CharacterModelPtr model = entry->character();
        ASSERT_TRUE(model);
        const QList<PartPath*> paths = allPaths(*model);
        EXPECT_GT(paths.size(), 40);
        int outOfPalette = 0;
        for (PartPath* path : paths) {
            outOfPalette += path->lineColor() && !model->ownsColor(path->lineColor().get());
            outOfPalette += path->fillColor() && !model->ownsColor(path->fillColor().get());
        }
        EXPECT_EQ(outOfPalette, 0);
    }
    // The characters have the named colours of a new character, and the styles made from them.
    for (const char* name : { "Pip", "Marta", "Bruno" }) {
        auto entry = item(QString::fromUtf8(name));
        ASSERT_TRUE(entry && entry->character());
        for (const char* color : { "Skin", "Hair", "Top", "Bottom", "Shoes" })
            EXPECT_TRUE(entry->character()->getColorNamed(QString::fromUtf8(color))) << name << " " << color;
        QStringList styles;
        for (const auto& style : entry->character()->styles())
            styles.append(style->name());
        EXPECT_EQ(styles, (QStringList { "Skin", "Shadow", "Highlight" }));
    }
}

TEST_F(BuiltInCatalogTest, RecolouringAPaletteEntryRecoloursTheCharacter)
{
    auto entry = item(QStringLiteral("Pip"));
    ASSERT_TRUE(entry && entry->character());
    CharacterModelPtr model = entry->character();
    model->setThumbnailOrigin(model->getBounds().topLeft());
    const QImage before = model->getThumbnail();
    const ZDLColorPtr top = model->getColorNamed(QStringLiteral("Top"));
    ASSERT_TRUE(top);
    top->setColor(RgbColor(0.9, 0.1, 0.1, 1));
    model->flushAllCachesUsingColor();
    const QImage after = model->getThumbnail();
    int reddened = 0;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            const QColor was = before.pixelColor(x, y);
            const QColor now = after.pixelColor(x, y);
            reddened += now.red() > was.red() + 60 && was.blue() > was.red();
        }
    }
    // The shirt and sleeves, outlines included, turn red.
    EXPECT_GT(reddened, 400);
}

TEST_F(BuiltInCatalogTest, ManifestReadsBackWithPythonsPlistReader)
{
    QFile file(QDir(kCatalogFolder).filePath(CatalogManifest::kFileName));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const char* const script = R"(
import plistlib, sys
raw = open(sys.argv[1], 'rb').read()
m = plistlib.loads(raw, fmt=plistlib.FMT_XML)
assert list(m) == ['catalogItems'], list(m)
assert plistlib.loads(plistlib.dumps(m, fmt=plistlib.FMT_XML)) == m
for e in m['catalogItems']:
    assert isinstance(e['partsKind'], int)
    print(e['partsFilename'], e['thumbnailFileName'], e['characterName'], e['creatorName'], e['partsKind'], sep='|')
)";
    QString output;
    if (test::python3().isEmpty())
        GTEST_SKIP() << "no python3";
    ASSERT_EQ(test::runPython(QString::fromUtf8(script), file.readAll(), &output), 0) << output.toStdString();
    EXPECT_EQ(output,
        QStringLiteral("Pip.parts|Pip.jpg|Pip|Zandrel|0\n"
                       "Marta.parts|Marta.jpg|Marta|Zandrel|0\n"
                       "Bruno.parts|Bruno.jpg|Bruno|Zandrel|0\n"
                       "Outdoors.parts|Outdoors.jpg|Outdoors|Zandrel|1\n"
                       "Living Room.parts|Living Room.jpg|Living Room|Zandrel|1\n"
                       "Things.parts|Things.jpg|Things|Zandrel|1\n"));
    // Nothing in the folder that the manifest does not name.
    QStringList files = QDir(kCatalogFolder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files,
        (QStringList { "Bruno.jpg", "Bruno.parts", "Living Room.jpg", "Living Room.parts", "Marta.jpg",
            "Marta.parts", "Outdoors.jpg", "Outdoors.parts", "Pip.jpg", "Pip.parts", "Things.jpg",
            "Things.parts", "manifest.plist" }));
}

TEST_F(BuiltInCatalogTest, CatalogCharactersCopyIntoTheUserCatalogAndStayReadOnly)
{
    auto entry = item(QStringLiteral("Marta"));
    ASSERT_TRUE(entry);
    const QString built = entry->characterFileURL();
    const QByteArray original = contents(built);
    controller->copyCharacterLibraryItem(entry, nullptr);
    const QString copied = QDir(controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog))
                               .filePath(QStringLiteral("Marta.parts"));
    ASSERT_TRUE(QFileInfo::exists(copied));
    CharacterModelPtr copy = readPartsFile(contents(copied));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->numChildren(), entry->character()->numChildren());
    // The built-in item cannot be deleted, and its file is as the build wrote it.
    controller->deleteCharacter(entry, false);
    EXPECT_TRUE(QFileInfo::exists(built));
    EXPECT_EQ(contents(built), original);
}

} // namespace
} // namespace zandrel
