// Feeds arbitrary bytes to the comic-file reader. A comic that reads is used as the program would:
// its pages rendered small (as thumbnails and exports are), drawn as a screen draws them (focus mode
// and background editing included), hit-tested, and written back: the file written must read
// again and write the same bytes. Any exception but the archive layer's and the two version
// refusals is a finding.
//
// Run with inputs of up to a megabyte, as hand-made attacks are: -max_len=1048576.
#include "FuzzApplication.h"
#include "OpenedDocument.h"
#include "comicmodel/ComicFile.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <algorithm>
#include <cstdint>

namespace zandrel {
namespace {

// Renderings stay small, whatever size a file claims, so that runs stay fast.
constexpr double kLargestSide = 96.0;

float smallScale(const QRectF& r)
{
    const double side = std::max(r.width(), r.height());
    return side > kLargestSide ? float(kLargestSide / side) : 1.0f;
}

void drawAsAScreen(ComicModel& comic)
{
    const QRectF r = comic.bounds();
    const float scale = smallScale(r);
    OffscreenImage screen { QSize(int(kLargestSide), int(kLargestSide)) };
    CanvasScope current(screen.canvas());
    screen.canvas()->scale(scale, scale);
    for (const bool focus : { false, true }) {
        comic.setEditBackground(!focus);
        comic.setFocusOnPanel(focus);
        ZDLContext context(scale);
        comic.drawIn(context, r);
    }
    comic.setEditBackground(false);
}

void hitTest(ComicModel& comic)
{
    const QRectF r = comic.bounds();
    for (const QPointF& p : { r.center(), r.topLeft() + QPointF(12, 12), r.bottomRight() - QPointF(3, 40) }) {
        if (const auto panel = comic.getPanelAt(p)) {
            panel->getFramePart(p);
            panel->currentPanelFrameContains(p);
            panel->overlappingFloatingElements();
        }
        if (const auto page = comic.currentPage())
            page->getChildAt(p, 1.0f);
    }
}

void exercise(ComicModel& comic)
{
    for (qsizetype i = 0; i < std::min<qsizetype>(comic.numPages(), 3); ++i)
        comic.getImageOfPage(i, smallScale(comic.bounds()));
    if (const auto panel = comic.currentPanel())
        comic.getImageOfPanel(panel, true, smallScale(panel->getBounds()));
    drawAsAScreen(comic);
    hitTest(comic);
    comic.minimumSize();
    comic.allComicElementsOfClass(QStringLiteral("ImageElement"));
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    fuzz::startOffscreenApplication("fuzz_comicfile");
    if (const ComicModelPtr comic = fuzz::opened(data, size, &readComicFile, "fuzz_comicfile")) {
        exercise(*comic);
        fuzz::writesBack(*comic, &archivedComicFile, &readComicFile, "fuzz_comicfile");
        comic->retire();
    }
    return 0;
}
