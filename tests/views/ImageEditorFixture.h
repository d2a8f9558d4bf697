#pragma once

#include "CharacterWindowFixture.h"
#include "app/ImageEditingView.h"
#include "charmodel/ImageElement.h"
#include "charmodel/MaskingPath.h"
#include "panels/HelpComicView.h"
#include "views/ImageMasksView.h"
#include "views/PartElementsView.h"

#include <QAbstractButton>
#include <QImage>
#include <QPainter>

namespace zandrel::test {

// A picture of four flat quadrants (red, green, blue, yellow), 200 by 100 pixels, kept as PNG so
// that its pixels come back exactly.
inline QImage quadrantPicture()
{
    QImage picture(200, 100, QImage::Format_ARGB32);
    QPainter painter(&picture);
    painter.fillRect(0, 0, 100, 50, Qt::red);
    painter.fillRect(100, 0, 100, 50, Qt::green);
    painter.fillRect(0, 50, 100, 50, Qt::blue);
    painter.fillRect(100, 50, 100, 50, Qt::yellow);
    return picture;
}

inline MaskingPathPtr rectMask(const QRectF& rect)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& point : { rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft() })
        curve->addPoint(point, true);
    curve->setClosed(true);
    auto mask = std::make_shared<MaskingPath>();
    mask->setSegments({ curve });
    return mask;
}

// A character whose first part holds a star and the picture at half size with its top-left corner
// at (300, 40), clipped by two masks: one over the top-left quadrant, one in the bottom-right one.
// With shared set, the second part holds another element of the same picture at (40, 300).
inline CharacterModelPtr makePictureCharacter(bool shared)
{
    CharacterModelPtr model = makeCharacter(QStringLiteral("Pics"), shared ? 2 : 1, 1);
    const ImageElementPtr image = ImageElement::initFromImage(quadrantPicture());
    image->setTransform(QTransform(0.5, 0, 0, 0.5, 300, 40));
    image->setChildren({ rectMask(QRectF(10, 10, 50, 50)), rectMask(QRectF(150, 70, 40, 25)) });
    auto first = std::dynamic_pointer_cast<Part>(model->getChildAtIndex(0));
    first->setChildren(first->children() + ElementList { image });
    if (shared) {
        auto other = std::make_shared<ImageElement>(*image);
        other->setTransform(QTransform(1, 0, 0, 1, 40, 300));
        auto second = std::dynamic_pointer_cast<Part>(model->getChildAtIndex(1));
        second->setChildren(second->children() + ElementList { other });
    }
    return model;
}

// A character with a picture opened in its window, the picture's part in the part editor.
class ImageEditorTest : public CharacterWindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        openPictures(sharedPicture());
    }
    // The second part holds an element of the same picture.
    virtual bool sharedPicture() const { return false; }

    void openPictures(bool shared)
    {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Pics.parts"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(*makePictureCharacter(shared)));
        file.close();
        DocumentError error;
        ZDLDocument* opened = documents().openDocument(path, &error);
        window = opened ? documents().windowFor(opened) : nullptr;
        ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        QTest::qWaitForWindowActive(window);
        document = dynamic_cast<CharacterDocument*>(window->document());
        view = viewOf(window);
        ASSERT_TRUE(document && view);
        editor = window->findChild<ImageEditingView*>(QStringLiteral("imageEditor"));
        ASSERT_TRUE(editor);
        masks = editor->masksView();
    }

    std::shared_ptr<ImageElement> imageIn(int partIndex) const
    {
        const auto* container = asProtocol<Parent>(part(partIndex));
        for (const ObjectPtr& child : container->children()) {
            if (auto image = std::dynamic_pointer_cast<ImageElement>(child))
                return image;
        }
        return nullptr;
    }

    // The image editor on the first part's picture, reached from the menu as a person would.
    void openImageEditor()
    {
        view->setSelection({ part(0) });
        choose(kEditObjectAction);
        endOfEvent();
        auto* elements = window->findChild<PartElementsView*>();
        ASSERT_TRUE(elements);
        elements->setSelection({ imageIn(0) });
        choose(kEditObjectAction);
        endOfEvent();
        ASSERT_EQ(document->currentEditor(), editor);
        ASSERT_EQ(masks->editImage(), imageIn(0));
        closeHelp();
    }
    // The help comic the editor offers on its first entry lies over the picture: it goes before
    // the clicks and drags of a test.
    void closeHelp()
    {
        if (HelpComicView* help = HelpComicView::getOpenHelp(QStringLiteral("image_view"), document))
            help->closeAndRemove();
        endOfEvent();
    }

    // Where an image pixel lies on the masks view's widget.
    QPoint pixelAt(const QPointF& pixel) const { return masks->viewTransform().map(pixel).toPoint(); }
    // A drag as a person makes it over the masks view, from pixel to pixel.
    void dragPixels(const QPointF& from, const QPointF& to)
    {
        const QPoint start = pixelAt(from);
        const QPoint end = pixelAt(to);
        QTest::mousePress(masks, Qt::LeftButton, {}, start);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(masks, start + (end - start) * step / 4);
        QTest::mouseRelease(masks, Qt::LeftButton, {}, end);
        endOfEvent();
    }
    void clickButton(QAbstractButton* button)
    {
        ASSERT_TRUE(button && button->isVisible() && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        endOfEvent();
    }
    // The pixel size of the edited picture.
    QSizeF pictureSize() const { return masks->editImage()->image()->pixelSize(); }

    ImageEditingView* editor = nullptr;
    ImageMasksView* masks = nullptr;
};

} // namespace zandrel::test
