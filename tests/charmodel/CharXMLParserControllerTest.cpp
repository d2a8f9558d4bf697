#include "charmodel/CharXMLParserController.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartsFile.h"
#include "graphics/Curve.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class CharXMLParserControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }

    static PartPath* pathAt(const ObjectPtr& container, qsizetype index)
    {
        auto* parent = dynamic_cast<Parent*>(container.get());
        return parent ? dynamic_cast<PartPath*>(parent->children().value(index).get()) : nullptr;
    }

    static CharacterModelPtr import(const QByteArray& xml, QString* error = nullptr)
    {
        return importCharacterXML(xml, error);
    }
};

TEST_F(CharXMLParserControllerTest, SampleFileImportsPartsColoursPathsAndTracingImage)
{
    const QString file = test::sourcePath(QStringLiteral("tests/charmodel/data/sample.char"));
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    QString error;
    const CharacterModelPtr model = importCharacterXML(in.readAll(), &error, file);
    ASSERT_TRUE(model) << error.toStdString();

    EXPECT_EQ(model->characterName(), QStringLiteral("Pip"));
    EXPECT_EQ(model->creator(), QStringLiteral("Ada"));
    // The relative path is found beside the XML file.
    ASSERT_TRUE(model->tracingImage());
    EXPECT_FLOAT_EQ(model->tracingImageScale(), 0.5f);
    EXPECT_FLOAT_EQ(model->tracingImageAlpha(), 0.3f);

    const QList<ZDLColorPtr> colors = model->colors();
    EXPECT_EQ(colors.value(0), ZDLColor::noneColor());
    EXPECT_EQ(colors.value(1), ZDLColor::blackColor());
    EXPECT_EQ(colors.value(2), ZDLColor::whiteColor());
    const ZDLColorPtr skin = model->getColorNamed(QStringLiteral("Skin"));
    const ZDLColorPtr hair = model->getColorNamed(QStringLiteral("Hair"));
    ASSERT_TRUE(skin && hair);

    // The unknown "Layer" is skipped but the part inside it is read.
    const ElementList parts = model->getParts();
    ASSERT_EQ(parts.size(), 2);
    auto* first = dynamic_cast<Part*>(parts.at(0).get());
    ASSERT_TRUE(first);
    ASSERT_EQ(first->children().size(), 2);

    PartPath* outer = pathAt(parts.at(0), 0);
    ASSERT_TRUE(outer);
    ASSERT_EQ(outer->numSegments(), 2u);
    EXPECT_EQ(outer->segments().at(0)->numPoints(), 3);
    EXPECT_TRUE(outer->segments().at(0)->closed());
    EXPECT_TRUE(outer->segments().at(1)->closed());
    EXPECT_EQ(outer->fillColor(), skin);
    EXPECT_FLOAT_EQ(outer->fillColorAdjust(), 0.5f);
    EXPECT_FLOAT_EQ(outer->blur(), 1.35f);
    EXPECT_FLOAT_EQ(outer->lineWeight(), 2.5f);
    EXPECT_FLOAT_EQ(outer->fillAlpha(), 0.75f);
    // A colour given by value ends as a palette entry of that value.
    ASSERT_TRUE(outer->lineColor());
    EXPECT_TRUE(model->colors().contains(outer->lineColor()));
    EXPECT_EQ(outer->lineColor()->color(), RgbColor(0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0));

    // Both curves inside the outer one are its children; the next one goes to the part again.
    ASSERT_EQ(outer->children().size(), 2);
    PartPath* child = dynamic_cast<PartPath*>(outer->children().at(0).get());
    ASSERT_TRUE(child);
    EXPECT_EQ(child->fillColor(), hair);
    EXPECT_FALSE(child->segments().at(0)->closed());
    PartPath* after = pathAt(parts.at(0), 1);
    ASSERT_TRUE(after);
    EXPECT_FLOAT_EQ(after->lineColorAdjust(), -0.25f);
    EXPECT_EQ(after->segments().at(0)->points().size(), 2u);

    // A hex value that a palette colour already has is matched, not added again.
    PartPath* second = pathAt(parts.at(1), 0);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->fillColor(), skin);
}

// Colours given by value come without names; each joins the palette under a name of its own, so
// that the character saves as a file that reads back as it was.
TEST_F(CharXMLParserControllerTest, ColoursGivenByValueJoinThePaletteUnderNamesOfTheirOwn)
{
    const CharacterModelPtr model
        = import("<CharacterDocument><Color name=\"Skin\" color=\"#F1C8A0\"/><Part>"
                 "<Curve lineColor=\"#102030\" color=\"#405060\" curveData=\"p 0 0 p 9 9\"/>"
                 "<Curve lineColor=\"#708090\" color=\"Skin\" curveData=\"p 1 1 p 5 5\"/>"
                 "</Part></CharacterDocument>");
    ASSERT_TRUE(model);
    QStringList names;
    for (const ZDLColorPtr& color : model->colors())
        names.append(color->name());
    EXPECT_EQ(names,
        (QStringList { QStringLiteral("None"), QStringLiteral("Black"), QStringLiteral("White"),
            QStringLiteral("Shadow"), QStringLiteral("Highlight"), QStringLiteral("Skin"),
            QStringLiteral(" 1"), QStringLiteral(" 2"), QString() }));
    // The last colour of a name keeps it, as the reader of parts files has it.
    EXPECT_EQ(pathAt(model->getParts().at(0), 1)->lineColor(), model->colors().at(8));

    const QByteArray saved = archivedPartsFile(*model);
    const CharacterModelPtr again = readPartsFile(saved);
    ASSERT_TRUE(again);
    EXPECT_EQ(archivedPartsFile(*again), saved);
    again->retire();
    model->retire();
}

TEST_F(CharXMLParserControllerTest, ElementsOutsideTheirPlaceChangeNothing)
{
    QString error;
    const CharacterModelPtr model = import(R"(<Root>
        <Color name="Early" color="#112233"/><Part/>
        <CharacterDocument>
          <Curve curveData="p 0 0 p 1 1"><Curve curveData="p 2 2 p 3 3"/></Curve>
          <Color name="Odd" color="#12345"/><Color name="Wide" color="#FFFFFFFF"/>
          <Color name="Twin" color="#010101"/><Color name="Twin" color="#020202"/>
          <CharacterDocument characterName="Second"><Part/></CharacterDocument>
          <Part><Part/><Curve curveData="p 0 0 p 1 1"/></Part>
          <TracingFile path="/dev/zero" scale="x" alpha="nan"/>
        </CharacterDocument></Root>)",
        &error);
    ASSERT_TRUE(model) << error.toStdString();
    EXPECT_FALSE(model->getColorNamed(QStringLiteral("Early")));
    // Colours that are not "#" and six hex digits are skipped; a repeated name is made unique.
    EXPECT_FALSE(model->getColorNamed(QStringLiteral("Odd")));
    EXPECT_FALSE(model->getColorNamed(QStringLiteral("Wide")));
    const ZDLColorPtr twin = model->getColorNamed(QStringLiteral("Twin"));
    ASSERT_TRUE(twin);
    EXPECT_EQ(twin->color(), RgbColor(1 / 255.0, 1 / 255.0, 1 / 255.0));
    int twins = 0;
    for (const ZDLColorPtr& color : model->colors())
        twins += color->name().startsWith(QStringLiteral("Twin")) ? 1 : 0;
    EXPECT_EQ(twins, 2);
    // The second character is ignored but its part is read into the first; the nested part ends
    // the outer one, so the curve after it belongs to nothing.
    EXPECT_TRUE(model->characterName() != QStringLiteral("Second"));
    ASSERT_EQ(model->getParts().size(), 3);
    for (const ObjectPtr& part : model->getParts())
        EXPECT_EQ(dynamic_cast<Parent*>(part.get())->children().size(), 0);
    EXPECT_FALSE(model->tracingImage());
    EXPECT_FLOAT_EQ(model->tracingImageScale(), 0.0f);
    EXPECT_FLOAT_EQ(model->tracingImageAlpha(), 0.0f);
}

TEST_F(CharXMLParserControllerTest, HostileOrBrokenFilesFailWithAReason)
{
    QString error;
    EXPECT_FALSE(import("<CharacterDocument><Part></CharacterDocument>", &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Line 1"))) << error.toStdString();
    EXPECT_FALSE(import("<Other/>", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("CharacterDocument")));
    EXPECT_FALSE(import("", &error));

    // Entity expansion stays capped by the reader.
    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">";
    for (char c = 'b'; c <= 'j'; ++c)
        laughs += QByteArray("<!ENTITY ") + c + " \""
            + QByteArray(10, '&').replace("&", QByteArray("&") + char(c - 1) + ";") + "\">";
    laughs += "]><CharacterDocument characterName=\"&j;\"/>";
    EXPECT_FALSE(import(laughs, &error));

    const auto repeated = [](const QByteArray& element, qsizetype count) {
        QByteArray xml = "<CharacterDocument>";
        for (qsizetype i = 0; i < count; ++i)
            xml += element;
        return xml + "</CharacterDocument>";
    };
    EXPECT_FALSE(import(
        repeated("<Color name=\"c\" color=\"#000000\"/>", CharXMLParserController::kMaxColors + 1), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Too many colors"))) << error.toStdString();
    // Colours that paths bring by value join the palette as well, so they count too.
    QByteArray byValue;
    for (int i = 0; i <= CharXMLParserController::kMaxColors; ++i)
        byValue += QStringLiteral("<Curve color=\"#%1\"/>").arg(i, 6, 16, QLatin1Char('0')).toLatin1();
    EXPECT_FALSE(import(repeated("<Part>" + byValue + "</Part>", 1), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Too many colors"))) << error.toStdString();
    EXPECT_FALSE(import(repeated("<Curve>", CharXMLParserController::kMaxDepth), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("nested too deeply"))) << error.toStdString();
    EXPECT_FALSE(import(QByteArray(CharXMLParserController::kMaxBytes + 1, ' '), &error));
    const QByteArray points = "p 0 0 " + QByteArray("c 1 1|").repeated(CharXMLParserController::kMaxPoints);
    EXPECT_FALSE(import(repeated("<Part><Curve curveData=\"" + points + "\"/></Part>", 1), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("Too many curve points"))) << error.toStdString();
}

TEST_F(CharXMLParserControllerTest, ExternalEntitiesAreNeverRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile secret(dir.filePath(QStringLiteral("secret.txt")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("TOPSECRET");
    secret.close();
    const QByteArray url = "file://" + secret.fileName().toUtf8();
    QString error;
    const CharacterModelPtr model = import("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"" + url
            + "\">]><CharacterDocument creator=\"a\"><Part>&x;</Part><Color name=\"n\" color=\"#000000\"/>"
              "</CharacterDocument>",
        &error);
    if (model) {
        EXPECT_FALSE(model->creator().contains(QStringLiteral("TOPSECRET")));
        EXPECT_EQ(model->getParts().size(), 1);
    } else {
        EXPECT_FALSE(error.contains(QStringLiteral("TOPSECRET")));
    }
}

} // namespace
} // namespace zandrel
