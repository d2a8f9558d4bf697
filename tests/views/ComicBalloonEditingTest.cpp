// Lettering in a comic: new balloons go where the current panel puts them, text typed into the
// editor is one undo step on the comic file's bytes, pasted part elements come as one part, and the
// editor shows the text where the balloon draws it.
#include "app/core/ActionNames.h"
#include "app/core/CharacterFixtures.h"
#include "app/core/ComicDocument.h"
#include "app/core/PasteboardParent.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/UserDefaults.h"
#include "support/TestSupport.h"
#include "tools/SelectionTool.h"
#include "views/BalloonEditingView.h"
#include "views/BalloonTextEditor.h"
#include "views/ZDLScrollArea.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A comic view as far as lettering needs one: the current panel's edited layer is its root and
// the page is drawn as the model draws it.
class PanelLayerView : public BalloonEditingView {
public:
    explicit PanelLayerView(ComicDocument& document)
        : BalloonEditingView(&document)
    {
        setCurrentTool(std::make_shared<SelectionTool>());
        const auto panel = document.model()->currentPanel();
        setRootObject(panel ? panel->currentLayer() : nullptr);
    }

protected:
    void drawRect(const QRectF& dirtyRect) override
    {
        currentCanvas()->fillRect(dirtyRect, CanvasPaint(Qt::white));
        ZDLContext context(*this);
        comicDoc()->model()->drawIn(context, dirtyRect);
        BalloonEditingView::drawRect(dirtyRect);
    }
};

class ComicBalloonEditingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }
    void SetUp() override
    {
        comic->setupWithSize(QSizeF(600, 400), 1, 2);
        view = new PanelLayerView(document);
        auto* area = new ZDLScrollArea(view, &window);
        area->setGeometry(0, 0, 700, 500);
        window.resize(700, 500);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override
    {
        QApplication::processEvents();
        for (const QString& key : { Balloon::kDefaultFontKey, Balloon::kDefaultSizeKey,
                 Balloon::kDefaultTextColorKey, Balloon::kDefaultAlignmentKey })
            UserDefaults::standard().remove(key);
    }

    PanelLayerPtr layer() const { return std::dynamic_pointer_cast<PanelLayer>(view->rootObject()); }
    QByteArray bytes() const { return archivedComicFile(*comic); }
    static void endOfEvent() { QTest::qWait(1); }
    void undo()
    {
        document.undoManager()->undo();
        endOfEvent();
    }

    ComicDocument document;
    std::shared_ptr<ComicModel> comic = document.model();
    QWidget window;
    PanelLayerView* view = nullptr;
};

TEST_F(ComicBalloonEditingTest, NewLetteringIsPlacedByTheCurrentPanel)
{
    struct Case {
        TextObjectKind kind;
        QRectF corners;
        TextObjectPlacement expected;
    };
    // Speech balloons measure the panel's corners, boxes and blocks its frame (half the gutter in,
    // on pixel centres).
    const QList<Case> cases {
        { TextObjectKind::SpeechBalloon, QRectF(10, 20, 500, 350), { QPointF(185, 70), 150 } },
        { TextObjectKind::SpeechBalloon, QRectF(10, 20, 100, 70), { QPointF(30, 30), 60 } },
        { TextObjectKind::SpeechBalloon, QRectF(0, 0, 200, 140), { QPointF(60, 20), 80 } },
        { TextObjectKind::NarrationBox, QRectF(10, 20, 310, 350), { QPointF(17.5, 30.5), 200 } },
        { TextObjectKind::TextBlock, QRectF(10, 20, 310, 360), { QPointF(65.5, 75.5), 200 } },
    };
    const auto panel = comic->currentPanel();
    ASSERT_TRUE(panel);
    for (const Case& each : cases) {
        const QRectF& r = each.corners;
        panel->setTopLeft(r.topLeft());
        panel->setTopRight(r.topRight());
        panel->setBottomLeft(r.bottomLeft());
        panel->setBottomRight(r.bottomRight());
        const TextObjectPlacement placement = view->placementFor(each.kind);
        EXPECT_EQ(placement.width, each.expected.width) << r.width();
        EXPECT_NEAR(placement.origin.x(), each.expected.origin.x(), 1e-9) << r.width();
        EXPECT_NEAR(placement.origin.y(), each.expected.origin.y(), 1e-9) << r.width();
    }
    // Without a current panel the panel counts as an empty rectangle at (0, 0).
    const QList<std::pair<TextObjectKind, TextObjectPlacement>> withoutPanel {
        { TextObjectKind::SpeechBalloon, { QPointF(-30, 0), 60 } },
        { TextObjectKind::NarrationBox, { QPointF(2, 5), 0 } },
        { TextObjectKind::TextBlock, { QPointF(0, 0), 0 } },
    };
    for (const auto& [kind, expected] : withoutPanel) {
        const TextObjectPlacement placement = BalloonEditingView::placementInPanel(kind, nullptr);
        EXPECT_EQ(placement.origin, expected.origin);
        EXPECT_EQ(placement.width, expected.width);
    }
}

TEST_F(ComicBalloonEditingTest, TypingIntoANewBalloonIsOneStepOnTheFileBytes)
{
    const QByteArray original = bytes();
    ASSERT_TRUE(view->tryToPerform(kAddBalloonAction, {}));
    endOfEvent();
    const auto balloon = std::dynamic_pointer_cast<Balloon>(layer()->children().value(0));
    ASSERT_TRUE(balloon);
    EXPECT_EQ(balloon->parent(), layer().get());
    const QByteArray created = bytes();
    QTest::keyClicks(view->textEditingView(), QStringLiteral("Hello"));
    endOfEvent();
    QTest::keyClick(view->textEditingView(), Qt::Key_Escape);
    endOfEvent();
    const QByteArray edited = bytes();
    EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Edit Balloon Text"));

    // What the file holds, read by another reader.
    QString output;
    ASSERT_EQ(test::runPython(QStringLiteral("import plistlib, sys\n"
                                             "archive = plistlib.load(open(sys.argv[1], 'rb'))\n"
                                             "print('Hello' in archive['$objects'])\n"),
                  edited, &output),
        0)
        << output.toStdString();
    EXPECT_EQ(output.trimmed(), QStringLiteral("True"));

    undo();
    EXPECT_EQ(bytes(), created);
    EXPECT_EQ(view->selection(), ElementList { balloon });
    undo();
    EXPECT_EQ(bytes(), original);
    EXPECT_TRUE(view->selection().isEmpty());
}

TEST_F(ComicBalloonEditingTest, PastedPartElementsComeAsOnePartInsideThePanel)
{
    const auto character = test::makeCharacter(QStringLiteral("Bob"), 2);
    const auto first = std::dynamic_pointer_cast<Part>(character->getChildAtIndex(0));
    const auto second = std::dynamic_pointer_cast<Part>(character->getChildAtIndex(1));
    // The part's own group, and then all the elements of the other part, far off the page.
    const ElementList groupAlone { first->children().last() };
    const QList<std::pair<ElementList, int>> cases { { groupAlone, 2 }, { second->children(), 3 } };
    for (const auto& [copied, members] : cases) {
        const auto payload = PasteboardParent::initWithChildren(copied);
        payload->setCharacterId(character->characterId());
        for (const ObjectPtr& element : payload->children())
            asProtocol<GraphicElement>(element)->offsetBy(QPointF(5000, 5000), true);
        const QByteArray before = bytes();
        view->insertFromScrap(payload);
        endOfEvent();
        const auto part = std::dynamic_pointer_cast<Part>(layer()->children().last());
        ASSERT_TRUE(part);
        EXPECT_EQ(int(part->numChildren()), members) << "a single group gives its members";
        EXPECT_EQ(view->selection(), ElementList { part });
        EXPECT_EQ(part->model()->className(), CharacterModel::kClassName);
        EXPECT_TRUE(intersectsRect(part->getBounds(), comic->currentPanel()->bounds()))
            << "pulled into the panel";
        undo();
        EXPECT_EQ(bytes(), before);
    }
    // An empty payload inserts nothing.
    const QByteArray before = bytes();
    view->insertFromScrap(PasteboardParent::initWithChildren({}));
    EXPECT_EQ(bytes(), before);
}

TEST_F(ComicBalloonEditingTest, TheEditorShowsTheTextWhereTheBalloonDrawsIt)
{
    view->setViewScale(2.0f);
    const auto balloon = Balloon::initAt(QPointF(40, 30), 140);
    document.undoableSetChildren({ balloon }, layer());
    view->scrollPoint(QPointF(0, 0));
    view->doEditObject(balloon);
    QTest::keyClicks(view->textEditingView(), QStringLiteral("Hello there, how are you"));
    // The caret blinks; keep it out of the picture.
    view->textEditingView()->setCursorWidth(0);
    endOfEvent();
    const QRect area = view->viewTransform().mapRect(balloon->getBounds()).toAlignedRect();
    const QImage editing = view->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    view->exitTextEditing();
    view->deselectAll();
    endOfEvent();
    const QImage drawn = view->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(editing.size(), drawn.size());
    // The two text renderers may differ by a pixel at the edges of strokes; a pixel differs when no
    // pixel around it in the other picture comes close.
    const auto matchesNear = [](const QImage& image, int x, int y, int gray) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint at(x + dx, y + dy);
                if (image.rect().contains(at) && std::abs(qGray(image.pixel(at)) - gray) <= 96)
                    return true;
            }
        }
        return false;
    };
    int ink = 0;
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            ink += qGray(drawn.pixel(x, y)) < 128 ? 1 : 0;
            differing += matchesNear(editing, x, y, qGray(drawn.pixel(x, y))) ? 0 : 1;
        }
    }
    EXPECT_GT(ink, 400) << "the outline and the text are drawn";
    EXPECT_LT(differing, ink / 20) << "the editor's text lies on the balloon's own";
}

} // namespace
} // namespace zandrel
