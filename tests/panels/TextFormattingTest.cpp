// Faces of a family that names its slanted faces "Oblique": the family menu's sample is upright and
// plain, and the italic button finds the slanted face and back.
#include "panels/TextFormatting.h"

#include "platform/FontRegistry.h"

#include <QFontDatabase>
#include <QSet>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

const QString kObliqueFamily = QStringLiteral("DejaVu Sans");

bool slanted(const QFont& font)
{
    return font.style() != QFont::StyleNormal;
}

TEST(TextFormattingTest, ALightFamilyIsSampledUpright)
{
    // The lettering face's light family has no face at normal weight.
    const QString light = QStringLiteral("Comic Neue Light");
    if (QFontDatabase::styles(light).size() < 2)
        GTEST_SKIP() << "the light family is not registered";
    const std::optional<QFont> sample = TextFormatting::sampleFont(light);
    ASSERT_TRUE(sample);
    EXPECT_FALSE(slanted(*sample)) << sample->styleName().toStdString();
}

TEST(TextFormattingTest, ObliqueFacesCountAsItalic)
{
    const QStringList styles = QFontDatabase::styles(kObliqueFamily);
    if (!styles.contains(QStringLiteral("Oblique")) || !styles.contains(QStringLiteral("Book")))
        GTEST_SKIP() << "the family is not installed with its oblique face";

    const std::optional<QFont> sample = TextFormatting::sampleFont(kObliqueFamily);
    ASSERT_TRUE(sample);
    EXPECT_FALSE(slanted(*sample)) << sample->styleName().toStdString();
    EXPECT_EQ(sample->styleName(), QStringLiteral("Book")) << "the plain face, not a condensed one";

    const FontRegistry::Face book { kObliqueFamily, QStringLiteral("Book") };
    const FontRegistry::Face oblique = TextFormatting::convertItalic(book, true);
    EXPECT_EQ(oblique.style, QStringLiteral("Oblique"));
    EXPECT_EQ(TextFormatting::convertItalic(oblique, false).style, QStringLiteral("Book"));
    EXPECT_EQ(TextFormatting::convertBold(oblique, true).style, QStringLiteral("Bold Oblique"));
    EXPECT_EQ(TextFormatting::convertToFamily(oblique, kObliqueFamily).style, QStringLiteral("Oblique"));
}

// Every installed family is offered once, by a name whose faces the text can be set in, and a
// symbol font, whose letters are pictures, is offered in the interface font.
TEST(TextFormattingTest, EachFamilyIsListedOnceByAUsableNameAndSymbolFontsUnsampled)
{
    const QStringList families = TextFormatting::sortedFamilies();
    ASSERT_FALSE(families.isEmpty());
    QSet<QString> seen;
    for (const QString& family : families) {
        EXPECT_FALSE(seen.contains(family.toLower())) << family.toStdString();
        seen.insert(family.toLower());
        const QStringList styles = QFontDatabase::styles(family);
        ASSERT_FALSE(styles.isEmpty()) << family.toStdString();
        for (const QString& style : styles)
            EXPECT_TRUE(FontRegistry::shared().hasFont(FontRegistry::fontName({ family, style })))
                << family.toStdString() << ' ' << style.toStdString();
        const bool symbols = QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol);
        EXPECT_EQ(TextFormatting::showsItsName(family), !symbols) << family.toStdString();
        EXPECT_EQ(TextFormatting::sampleFont(family).has_value(), !symbols) << family.toStdString();
    }
    // Families that several foundries install are each one of the list.
    for (const QString& listed : QFontDatabase::families())
        EXPECT_TRUE(seen.contains(listed.section(QStringLiteral(" ["), 0, 0).toLower()))
            << listed.toStdString();
}

} // namespace

} // namespace zandrel::test
