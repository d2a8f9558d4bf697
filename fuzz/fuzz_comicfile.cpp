// Feeds arbitrary bytes to the comic-file reader. A comic that reads is used as the program would:
// its pages rendered small (as thumbnails and exports are), drawn as a screen draws them (focus mode
// and background editing included), hit-tested, and written back: the file written must read
// again and write the same bytes. Any exception but the archive layer's and the two version
// refusals is a finding.
#include "FuzzApplication.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/ComicFile.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/OffscreenImage.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

// Renderings stay small, whatever size a file claims, so that runs stay fast.
constexpr double kLargestSide = 96.0;

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_comicfile: %s\n", what);
    std::abort();
}

bool expected(const Exception& exception)
{
    return exception.name() == kInvalidArchiveException || exception.name() == kFileTooNewException
        || exception.name() == kUserCancelledException;
}

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
    // Go on with lossy reads, so that the rest of such a file is explored too.
    static const bool answering = [] {
        appController()->setModalAlertHandler([](const ModalAlert&) { return ModalAlert::kSecondButton; });
        return true;
    }();
    (void)answering;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ComicModelPtr comic;
    try {
        comic = readComicFile(bytes);
    } catch (const Exception& exception) {
        if (!expected(exception))
            finding(qPrintable(QStringLiteral("unexpected exception %1").arg(exception.name())));
        return 0;
    }
    if (!comic)
        finding("no comic and no exception");
    exercise(*comic);
    try {
        const QByteArray written = archivedComicFile(*comic);
        const ComicModelPtr again = readComicFile(written);
        if (archivedComicFile(*again) != written)
            finding("a written comic file does not write back to the same bytes");
        again->retire();
    } catch (const Exception& exception) {
        finding(qPrintable(QStringLiteral("a written comic file does not read: %1").arg(exception.name())));
    }
    comic->retire();
    return 0;
}
