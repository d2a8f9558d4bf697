#include "ComicSheetCase.h"
#include "app/core/EditorContainer.h"
#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicPage.h"
#include "graphics/ArrayUtils.h"
#include "graphics/GraphicUtils.h"
#include "panels/MeasurementFormatter.h"
#include "panels/PopupButton.h"
#include "platform/Geometry.h"
#include "views/BalloonTextEditor.h"

#include <QLabel>

namespace zandrel::test {

namespace {

void nothing(QDialog*)
{
}

} // namespace

TEST_F(ComicSheetTest, ComicPropertiesAndSize)
{
    const QSizeF size = model().size();
    const QSizeF minimum = model().minimumSize();
    ASSERT_LT(minimum.width(), 200.0);
    const std::string sizeMessage = DialogController::lengthRangeMessage(1, 20000).toStdString();
    run({
        { "untouched properties", kPropertiesDialogAction, "ComicPropertiesDialog", nothing },
        { "hashtags only", kPropertiesDialogAction, "ComicPropertiesDialog",
            [](QDialog* sheet) {
                // The defaults show as placeholders and are not stored.
                auto* hashtags = sheet->findChild<QLineEdit*>(QStringLiteral("hashtags"));
                EXPECT_EQ(hashtags->placeholderText(), QStringLiteral("#zandrel"));
                typeInSheet(sheet, "hashtags", "#cats #dogs");
            },
            nullptr, "Set Comic Properties",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.hashtags(), QStringLiteral("#cats #dogs"));
                EXPECT_EQ(comic.comicDescription(), QString());
                EXPECT_EQ(comic.creator(), QStringLiteral("Test"));
            } },
        { "all four", kPropertiesDialogAction, "ComicPropertiesDialog",
            [](QDialog* sheet) {
                typeInSheet(sheet, "name", "Sunday");
                typeInSheet(sheet, "creator", "Ann É");
                typeInSheet(sheet, "comicDescription", "A walk");
                typeInSheet(sheet, "hashtags", "#walk");
            },
            nullptr, "Set Comic Properties",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.name(), QStringLiteral("Sunday"));
                EXPECT_EQ(comic.creator(), QStringLiteral("Ann É"));
                EXPECT_EQ(comic.comicDescription(), QStringLiteral("A walk"));
            } },
        { "resize to the present size", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) {
                EXPECT_EQ(sheet->findChild<QLabel*>(QStringLiteral("currentSize"))->text(),
                    QStringLiteral("240 px × 160 px"));
                typeInSheet(sheet, "widthToSet", "240");
            } },
        { "resize wider and taller", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) {
                typeInSheet(sheet, "widthToSet", "480");
                typeInSheet(sheet, "heightToSet", "200");
            },
            nullptr, "Resize Comic",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.size(), QSizeF(480, 200));
                EXPECT_EQ(comic.currentPage()->bounds(), QRectF(0, 0, 480, 200));
            } },
        { "resize in inches", kResizeComicAction, "ResizeComicDialog",
            [this](QDialog* sheet) {
                auto* units = sheet->findChild<MeasurementPopup*>();
                units->setFocus();
                QTest::keyClick(units, Qt::Key_Down);
                EXPECT_EQ(units->selectedTag(), int(ZDLAppController::Inches));
                EXPECT_EQ(sheet->findChild<QLineEdit*>(QStringLiteral("widthToSet"))->text(),
                    QStringLiteral("3.33"));
                typeInSheet(sheet, "widthToSet", "5");
                QTest::keyClick(sheet->findChild<QLineEdit*>(QStringLiteral("widthToSet")), Qt::Key_Tab);
                controller->setMeasurementUnits(ZDLAppController::Pixels);
            },
            nullptr, "Resize Comic",
            [this] {
                ComicModel& comic = model();
                EXPECT_EQ(comic.size().width(), 360.0);
            } },
        { "resize below the panels' minimum", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "widthToSet", "2"); },
            "These size settings would make existing panels too small." },
        { "an absurd width", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "widthToSet", "1e30"); }, sizeMessage.c_str() },
        { "a new part for the cast's character", kCreateNewPartAction, "NewPartDialog",
            [](QDialog* sheet) {
                auto* popup = sheet->findChild<PopupButton*>(QStringLiteral("characterPopup"));
                ASSERT_EQ(popup->items().size(), 1);
                EXPECT_EQ(popup->title(), QStringLiteral("Styled"));
            },
            nullptr, nullptr,
            [this] {
                // The part waits in its editor for its first element; the comic holds nothing new yet.
                ASSERT_TRUE(document->currentEditor());
                const auto* part = dynamic_cast<const Part*>(document->currentEditor()->rootObject().get());
                ASSERT_TRUE(part);
                EXPECT_EQ(part->model(), model().characters().at(1).get());
                EXPECT_EQ(document->currentCharacter(), model().characters().at(1));
                document->popEditor();
            } },
        { "a width that is no number", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "heightToSet", "tall"); }, sizeMessage.c_str() },
        { "a negative width", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "widthToSet", "-240"); }, sizeMessage.c_str() },
        { "no height at all", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "heightToSet", "0"); }, sizeMessage.c_str() },
        { "an endless width", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "widthToSet", "inf"); }, sizeMessage.c_str() },
        { "a height that is not a number", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "heightToSet", "nan"); }, sizeMessage.c_str() },
    });
    EXPECT_EQ(model().size(), size);
}

// A narration box made and typed in as a person would, across its panel: when the comic is made
// half as wide, the box keeps its width and moves with the other elements in the comic's colours,
// by the move of their centre in the panel; undo gives its width and place back.
TEST_F(ComicSheetTest, ComicSizeKeepsANarrationBoxWidthAndMovesItWithItsBlock)
{
    const auto first = panel(0);
    ASSERT_EQ(model().currentPanel(), first);
    choose(kAddNarrativeBoxAction);
    ASSERT_TRUE(view->textEditingView());
    QTest::keyClicks(view->textEditingView(), QStringLiteral("Meanwhile, far away, the night went on"));
    QTest::keyClick(view->textEditingView(), Qt::Key_Escape);
    endOfEvent();
    const auto box = std::dynamic_pointer_cast<Balloon>(first->frontLayer()->children().back());
    ASSERT_TRUE(box);
    ASSERT_EQ(box->shape(), int(BalloonShape::Rect));
    const float width = box->width();
    const QPointF origin = box->origin();
    const QPointF centre = ArrayUtils::getElementsCenter(first->toplevelContentsFromCharacter(box->model()));
    const QRectF corners = first->bounds();
    run({
        { "half as wide", kResizeComicAction, "ResizeComicDialog",
            [](QDialog* sheet) { typeInSheet(sheet, "widthToSet", "120"); }, nullptr, "Resize Comic",
            [&] {
                const QPointF moved = mapPointFromRectToRect(centre, corners, first->bounds()) - centre;
                EXPECT_EQ(box->width(), width);
                EXPECT_NEAR(box->origin().x(), origin.x() + moved.x(), 1e-3);
                EXPECT_NEAR(box->origin().y(), origin.y() + moved.y(), 1e-3);
                EXPECT_TRUE(intersectsRect(box->getBounds(), first->getBounds()));
            } },
    });
    EXPECT_EQ(box->width(), width);
    EXPECT_EQ(box->origin(), origin);
}

} // namespace zandrel::test
