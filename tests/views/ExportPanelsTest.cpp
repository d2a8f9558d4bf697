// The exports of a character window through their real save panels: each panel says what it is
// for and proposes a name that Return accepts, and a thick outline's sharp corners come out whole
// in the PNG (at both sizes), the PDF and the EPS written.
#include "CharacterWindowFixture.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <poppler-qt6.h>

namespace zandrel::test {
namespace {

class ExportPanelsTest : public CharacterWindowTest {
protected:
    void SetUp() override
    {
        CharacterWindowTest::SetUp();
        spike = openSpike();
        ASSERT_TRUE(spike);
        elements = dynamic_cast<CharacterDocument*>(spike->document())->model()->children();
    }

    // "Spike": one part, a tall narrow triangle outlined 24 wide, whose apex's miter reaches some
    // 90 units above the apex, and its base corners' further than half the width.
    DocumentWindow* openSpike()
    {
        auto character = makeCharacter(QStringLiteral("Spike"), 0);
        auto path = polygonPath({ QPointF(0, 300), QPointF(40, 0), QPointF(80, 300) },
            character->blackColor(), character->whiteColor());
        path->setLineWeight(24);
        auto part = std::make_shared<Part>();
        part->setChildren({ path });
        part->setModel(character);
        character->setChildren({ part });
        const QString path_ = dir.filePath(QStringLiteral("Spike.parts"));
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly))
            return nullptr;
        file.write(archivedPartsFile(*character));
        file.close();
        DocumentError error;
        ZDLDocument* opened = documents().openDocument(path_, &error);
        DocumentWindow* shown = opened ? documents().windowFor(opened) : nullptr;
        return shown && QTest::qWaitForWindowExposed(shown) ? shown : nullptr;
    }

    struct Answered {
        QString title;
        QString proposed;
    };
    // Presses Return in the name field of the save panel on show over the window.
    Answered pressReturnInPanel()
    {
        QFileDialog* panel = nullptr;
        for (auto* candidate : spike->findChildren<QFileDialog*>()) {
            if (candidate->isVisible())
                panel = candidate;
        }
        auto* name = panel ? panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name)
            return {};
        const Answered answered { panel->windowTitle(), name->text() };
        QTest::keyClick(name, Qt::Key_Return);
        QApplication::processEvents();
        return answered;
    }
    void chooseInSpike(const QString& action)
    {
        QAction* item = showMenuItem(spike, action);
        ASSERT_TRUE(item && item->isEnabled()) << action.toStdString();
        item->trigger();
        QApplication::processEvents();
    }

    // The part drawn at the scale into an image with ample room around it: nothing can be cut.
    QImage drawnWithRoom(float scale) const
    {
        const QRectF room
            = integralRect(ArrayUtils::getElementsBounds(elements)).adjusted(-200, -200, 200, 200);
        OffscreenImage image(OffscreenImage::pixelSizeFor(room.size(), scale));
        Canvas* canvas = image.canvas();
        CanvasScope current(canvas);
        ZDLContext context(scale);
        context.setBlurThreshold(0);
        context.setExporting(true);
        context.saveState();
        canvas->scale(scale, scale);
        canvas->translate(-room.x(), -room.y());
        for (const ObjectPtr& element : elements)
            asProtocol<GraphicElement>(element)->drawIn(context);
        context.restoreState();
        return image.takeImage();
    }
    // The ink of an image: its coverage over transparency, or its darkness over white.
    static double inkOf(const QImage& image)
    {
        double ink = 0;
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            for (int x = 0; x < argb.width(); ++x) {
                const QRgb p = argb.pixel(x, y);
                ink += image.hasAlphaChannel() ? qAlpha(p) : 255 - qGray(p);
            }
        }
        return ink;
    }

    DocumentWindow* spike = nullptr;
    ElementList elements;
};

// The PNG menu item asks twice, and says which file each panel is for: the second proposes the
// first's name with "@2x". Both images hold every pixel of the outline the part draws.
TEST_F(ExportPanelsTest, PngAtBothSizesHoldsTheWholeOutline)
{
    chooseInSpike(kExportPNGAction);
    const Answered first = pressReturnInPanel();
    EXPECT_EQ(first.title, QStringLiteral("Export PNG"));
    EXPECT_EQ(first.proposed, QStringLiteral("Spike.png"));
    const Answered second = pressReturnInPanel();
    EXPECT_EQ(second.title, QStringLiteral("Export PNG at Twice the Size (@2x)"));
    EXPECT_EQ(second.proposed, QStringLiteral("Spike@2x.png"));
    EXPECT_TRUE(alerts.isEmpty());

    for (const auto& [name, scale] :
        { std::pair { "Spike.png", 1.0f }, std::pair { "Spike@2x.png", 2.0f } }) {
        const QImage written(dir.filePath(QString::fromLatin1(name)));
        ASSERT_FALSE(written.isNull()) << name;
        const double whole = inkOf(drawnWithRoom(scale));
        EXPECT_NEAR(inkOf(written), whole, whole * 1e-3) << name << ": nothing of the outline is cut";
        // The apex's miter tip reaches into the top row, and is no flat cut there: a pixel or two
        // of it, where a cut would leave a band some 20 units wide.
        int covered = 0;
        for (int x = 0; x < written.width(); ++x)
            covered += qAlpha(written.pixel(x, 0)) > 0;
        EXPECT_GE(covered, 1) << name;
        EXPECT_LE(covered, 2) << name;
        if (!qEnvironmentVariableIsEmpty("ZANDREL_SCREENSHOT")) {
            const QString shots = qEnvironmentVariable("ZANDREL_SCREENSHOT");
            written.save(shots + QStringLiteral("/export-") + name);
            QFile::copy(dir.filePath(QStringLiteral("Spike.parts")), shots + QStringLiteral("/Spike.parts"));
        }
    }
}

// The PDF's page and the EPS's bounding box hold the miter tips too; the panels propose the
// document's name with their extension, so that Return writes it.
TEST_F(ExportPanelsTest, PdfAndEpsHoldTheWholeOutline)
{
    const QRectF reach = ArrayUtils::getElementsFilteredBounds(elements);
    EXPECT_LT(reach.top(), -80) << "the apex's miter tip";
    EXPECT_LT(reach.left(), -12.5) << "a base corner's miter tip";

    chooseInSpike(kExportPDFAction);
    const Answered pdfPanel = pressReturnInPanel();
    EXPECT_EQ(pdfPanel.title, QStringLiteral("Export PDF"));
    EXPECT_EQ(pdfPanel.proposed, QStringLiteral("Spike.pdf"));
    const auto pdf = Poppler::Document::load(dir.filePath(QStringLiteral("Spike.pdf")));
    ASSERT_TRUE(pdf && pdf->numPages() == 1);
    EXPECT_EQ(pdf->info(QStringLiteral("Title")), QStringLiteral("Spike"));
    // Pages have whole points: the page holds the content, rounded up.
    const QSizeF page = pdf->page(0)->pageSizeF();
    EXPECT_EQ(page.width(), std::ceil(reach.width()));
    EXPECT_EQ(page.height(), std::ceil(reach.height()));
    pdf->setRenderHint(Poppler::Document::Antialiasing);
    constexpr float kScale = 2.0f;
    const QImage sheet
        = pdf->page(0)->renderToImage(72 * kScale, 72 * kScale).convertToFormat(QImage::Format_RGB32);
    QImage onWhite(drawnWithRoom(kScale).size(), QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    {
        QPainter painter(&onWhite);
        painter.drawImage(0, 0, drawnWithRoom(kScale));
    }
    const double whole = inkOf(onWhite);
    EXPECT_NEAR(inkOf(sheet), whole, whole * 0.01) << "poppler's edges differ a little, a cut spike a lot";

    chooseInSpike(kExportEPSAction);
    const Answered epsPanel = pressReturnInPanel();
    EXPECT_EQ(epsPanel.title, QStringLiteral("Export EPS"));
    EXPECT_EQ(epsPanel.proposed, QStringLiteral("Spike.eps"));
    QFile eps(dir.filePath(QStringLiteral("Spike.eps")));
    ASSERT_TRUE(eps.open(QIODevice::ReadOnly));
    const QString header = QString::fromLatin1(eps.read(1000));
    EXPECT_TRUE(header.contains(QStringLiteral("%%Title: Spike\n")));
    const auto box
        = QRegularExpression(QStringLiteral("%%HiResBoundingBox: 0 0 ([0-9.]+) ([0-9.]+)")).match(header);
    ASSERT_TRUE(box.hasMatch());
    EXPECT_NEAR(box.captured(1).toDouble(), reach.width(), 0.01);
    EXPECT_NEAR(box.captured(2).toDouble(), reach.height(), 0.01);
    EXPECT_TRUE(alerts.isEmpty());
}

// A character with nothing drawn says so at once, from the export sheet and from every export
// item it offers, before any save panel asks for a file name.
TEST_F(ExportPanelsTest, AnEmptyCharacterSaysThereIsNothingToExportBeforeAskingForAFile)
{
    DocumentWindow* empty = openCharacter(QStringLiteral("Empty"), 0);
    ASSERT_TRUE(empty && QTest::qWaitForWindowExposed(empty));
    const auto panelShown = [&] {
        const auto panels = empty->findChildren<QFileDialog*>();
        return std::any_of(
            panels.cbegin(), panels.cend(), [](QFileDialog* panel) { return panel->isVisible(); });
    };
    int offered = 0;
    for (const QString& action :
        { kExportDialogAction, kExportPNGAction, kExportJPEGAction, kExportPDFAction, kExportEPSAction }) {
        SCOPED_TRACE(action.toStdString());
        alerts.clear();
        QAction* item = showMenuItem(empty, action);
        if (!item || !item->isEnabled())
            continue;
        ++offered;
        item->trigger();
        QApplication::processEvents();
        if (action == kExportDialogAction) {
            auto* sheet = empty->findChild<QDialog*>(QStringLiteral("ExportDialog"));
            ASSERT_TRUE(sheet && sheet->isVisible());
            QTest::mouseClick(
                sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            QApplication::processEvents();
        }
        EXPECT_FALSE(panelShown());
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts.first().message, QStringLiteral("There is nothing to export."));
    }
    EXPECT_GE(offered, 1);
}

} // namespace
} // namespace zandrel::test
