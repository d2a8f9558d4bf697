// The character document: pasted and dragged parts with the colour question, colour deletion, the
// tracing image and the validation of its menu items.
#include "app/core/CharacterDocument.h"

#include "CharacterFixtures.h"
#include "DocumentTestSupport.h"
#include "app/core/ActionNames.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/ZDLAppController.h"
#include "graphics/ZDLImage.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// The parts view as pasting sees it: the model as root, and the selection it was given.
class RootView : public InsertionView {
public:
    explicit RootView(ObjectPtr root)
        : m_root(std::move(root))
    {
    }
    ObjectPtr rootObject() const override { return m_root; }
    void undoableSetSelection(const ElementList& selection, bool) override { this->selection = selection; }
    ElementList selection;

private:
    ObjectPtr m_root;
};

class CharacterDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller = ZDLAppController::install(std::make_unique<ZDLAppController>());
        controller->setModalAlertHandler([this](const ModalAlert& alert) {
            alerts.append(alert);
            return answer;
        });
        document = std::make_unique<CharacterDocument>(test::makeCharacter(QStringLiteral("Bob"), 2, 1));
        model = document->model();
    }

    // A part of another character, drawn in its own "Coat" and a "Scarf" this one lacks.
    PartPtr foreignPart()
    {
        auto coat = ZDLColor::colorFromHexNamed(QStringLiteral("#3060A0"), QStringLiteral("Coat"));
        auto scarf = ZDLColor::colorFromHexNamed(QStringLiteral("#C02020"), QStringLiteral("Scarf"));
        auto part = std::make_shared<Part>();
        part->setChildren({ test::squarePath(QRectF(0, 0, 10, 10), coat, scarf) });
        part->setCharacterId(QStringLiteral("Alice\tSomeone"));
        return part;
    }

    static MenuItemValidation validate(CharacterDocument& document, const QString& action)
    {
        MenuItemValidation item;
        item.action = action;
        item.title = QStringLiteral("?");
        EXPECT_TRUE(document.validateMenuItem(item)) << action.toStdString();
        return item;
    }

    ZDLAppController* controller = nullptr;
    QList<ModalAlert> alerts;
    int answer = ModalAlert::kFirstButton;
    std::unique_ptr<CharacterDocument> document;
    CharacterModelPtr model;
};

TEST_F(CharacterDocumentTest, PartsOfThisCharacterArePastedAtOnceAsOneStep)
{
    RootView view(model);
    const ElementList before = model->children();
    auto copy
        = std::dynamic_pointer_cast<Part>(std::dynamic_pointer_cast<Part>(before.at(0))->initByCopying());
    copy->setCharacterId(model->characterId());
    document->undoableInsertFromScrap({ copy }, view, false);
    test::endEventPass();
    EXPECT_TRUE(alerts.isEmpty());
    ASSERT_EQ(model->numChildren(), before.size() + 1);
    EXPECT_EQ(view.selection, ElementList { model->children().last() });
    // Named here: after the question about foreign colours no caller is left to name it.
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Paste"));
    document->undoManager()->undo();
    EXPECT_EQ(model->children(), before);
}

TEST_F(CharacterDocumentTest, ForeignPartsAskBeforeTheirColoursAreMerged)
{
    struct Case {
        bool fromDrag;
        int answer;
        QString message;
        bool inserted;
        QString actionName;
    };
    const QList<Case> cases {
        { true, ModalAlert::kFirstButton,
            QStringLiteral("The drag contains parts from a different Parts file."), true,
            QStringLiteral("Drag Copy") },
        { false, ModalAlert::kFirstButton,
            QStringLiteral("The clipboard contains parts from a different Parts file."), true,
            QStringLiteral("Paste") },
        { true, ModalAlert::kSecondButton,
            QStringLiteral("The drag contains parts from a different Parts file."), false, QString() },
    };
    for (const Case& c : cases) {
        SetUp();
        alerts.clear();
        RootView view(model);
        const qsizetype colours = model->colors().size();
        answer = c.answer;
        document->undoableInsertFromScrap({ foreignPart() }, view, c.fromDrag);
        test::endEventPass();
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first().message, c.message);
        EXPECT_TRUE(
            alerts.first().informativeText.endsWith(QStringLiteral("merged into this file‘s colors.")));
        EXPECT_EQ(
            alerts.first().buttons, (QStringList { QStringLiteral("Paste"), QStringLiteral("Cancel") }));
        EXPECT_EQ(model->numChildren(), c.inserted ? 3u : 2u);
        EXPECT_EQ(document->undoManager()->undoActionName(), c.actionName);
        if (!c.inserted) {
            EXPECT_FALSE(document->undoManager()->canUndo());
            continue;
        }
        // "Coat" is this character's own colour now; "Scarf" joined the palette.
        auto path = std::dynamic_pointer_cast<PartPath>(
            std::dynamic_pointer_cast<Part>(model->children().last())->getChildAtIndex(0));
        EXPECT_EQ(path->lineColor(), model->getColorNamed(QStringLiteral("Coat")));
        EXPECT_TRUE(model->ownsColor(model->getColorNamed(QStringLiteral("Scarf")).get()));
        EXPECT_EQ(model->colors().size(), colours + 1);
    }
}

TEST_F(CharacterDocumentTest, DeletingAColourReplacesItsUsesAndUndoesAsOneStep)
{
    const ZDLColorPtr coat = model->getColorNamed(QStringLiteral("Coat"));
    const qsizetype index = model->colors().indexOf(coat);
    ASSERT_GT(index, 2);
    auto part = std::dynamic_pointer_cast<Part>(model->getChildAtIndex(0));
    auto group = std::dynamic_pointer_cast<PartGroup>(part->getChildAtIndex(1));
    auto square = std::dynamic_pointer_cast<PartPath>(group->getChildAtIndex(0));
    const auto fillColor = [&] { return std::dynamic_pointer_cast<ColorFill>(square->fill())->fillColor(); };
    ASSERT_EQ(fillColor(), coat);

    // Another document's model: nothing happens.
    CharacterDocument other(test::makeCharacter(QStringLiteral("Other"), 1, 1));
    document->undoableDeleteColor(coat, other.model(), model->whiteColor());
    EXPECT_TRUE(model->ownsColor(coat.get()));
    EXPECT_FALSE(document->undoManager()->canUndo());

    document->undoableDeleteColor(coat, model, model->whiteColor());
    test::endEventPass();
    EXPECT_FALSE(model->ownsColor(coat.get()));
    EXPECT_EQ(fillColor(), model->whiteColor());
    EXPECT_EQ(document->undoManager()->undoActionName(), QStringLiteral("Delete Color"));
    document->undoManager()->undo();
    EXPECT_EQ(model->colors().indexOf(coat), index);
    EXPECT_EQ(fillColor(), coat);
    EXPECT_FALSE(document->undoManager()->canUndo());
}

TEST_F(CharacterDocumentTest, TracingImageOpensUndoablyTogglesDirectlyAndRefusesUnreadableFiles)
{
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("trace.png"));
    QImage pixels(40, 30, QImage::Format_RGB32);
    pixels.fill(Qt::gray);
    ASSERT_TRUE(pixels.save(png));
    const QString text = dir.filePath(QStringLiteral("not-an-image.png"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not pixels");
    }

    EXPECT_FALSE(validate(*document, kClearTracingImageAction).enabled);
    EXPECT_FALSE(validate(*document, kToggleTracingImageAction).enabled);
    model->setTracingImageVisible(false);
    ASSERT_TRUE(document->openTracingImage(png));
    test::endEventPass();
    ASSERT_TRUE(model->tracingImage());
    EXPECT_TRUE(model->tracingImageVisible());
    EXPECT_EQ(model->getTracingImageBounds(), QRectF(0, 0, 40, 30));
    EXPECT_TRUE(validate(*document, kClearTracingImageAction).enabled);
    EXPECT_EQ(validate(*document, kToggleTracingImageAction).state, MenuItemValidation::State::On);

    // An unreadable file keeps the image there is.
    const auto image = model->tracingImage();
    EXPECT_FALSE(document->openTracingImage(text));
    EXPECT_EQ(model->tracingImage(), image);

    // Toggling records nothing to undo but counts as a change to save.
    const bool edited = document->isDocumentEdited();
    document->toggleTracingImage();
    EXPECT_FALSE(model->tracingImageVisible());
    EXPECT_EQ(validate(*document, kToggleTracingImageAction).state, MenuItemValidation::State::Off);
    EXPECT_TRUE(document->isDocumentEdited() || edited);
    document->toggleTracingImage();

    // Opening was two property changes in one step; undo takes both back.
    document->undoManager()->undo();
    EXPECT_FALSE(model->tracingImage());
    EXPECT_FALSE(model->tracingImageVisible());
    document->undoManager()->redo();
    EXPECT_EQ(model->tracingImage(), image);

    document->clearTracingImage();
    test::endEventPass();
    EXPECT_FALSE(model->tracingImage());
    document->undoManager()->undo();
    EXPECT_EQ(model->tracingImage(), image);
}

TEST_F(CharacterDocumentTest, SheetsOfOtherSubsystemsAreOfferedOnceInstalled)
{
    EXPECT_FALSE(validate(*document, kPropertiesDialogAction).enabled);
    EXPECT_FALSE(document->tryToPerform(kPropertiesDialogAction, {}));
    ZDLDocument* opened = nullptr;
    DocumentDialogs::install(kPropertiesDialogAction, [&opened](ZDLDocument& d, QObject*) { opened = &d; });
    EXPECT_TRUE(validate(*document, kPropertiesDialogAction).enabled);
    EXPECT_TRUE(document->tryToPerform(kPropertiesDialogAction, {}));
    EXPECT_EQ(opened, document.get());
    // The tracing-image sheet also needs an image to work on.
    DocumentDialogs::install(kTracingImageSettingsAction, [](ZDLDocument&, QObject*) {});
    EXPECT_FALSE(validate(*document, kTracingImageSettingsAction).enabled);
    DocumentDialogs::install(kPropertiesDialogAction, {});
    DocumentDialogs::install(kTracingImageSettingsAction, {});
    EXPECT_FALSE(validate(*document, kPropertiesDialogAction).enabled);
}

TEST_F(CharacterDocumentTest, SaveToCatalogFollowsThePartsKind)
{
    EXPECT_EQ(validate(*document, kSaveToCatalogAction).title, QStringLiteral("Save to Vivaviv Izazuda"));
    model->setPartsKind(1);
    EXPECT_EQ(validate(*document, kSaveToCatalogAction).title, QStringLiteral("Save to Scenery"));
    EXPECT_TRUE(validate(*document, kSaveToCatalogAction).enabled);
}

} // namespace
} // namespace zandrel
