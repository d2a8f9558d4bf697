// Feeds arbitrary bytes to the parts-file reader. A file that reads is drawn, thumbnailed and
// hit-tested as an opened document would be; it must write and read back, and a second write must
// give the bytes of the first. Any exception but the archive layer's and the two version refusals
// is a finding, and so is a file whose reading is refused under its own budget but accepted once
// written (that cannot happen) or one that is written but not read back.
//
// Run with inputs of up to a megabyte, as hand-made attacks are: -max_len=1048576.
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/OffscreenImage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_partsfile: %s\n", what);
    std::abort();
}

bool expected(const Exception& exception)
{
    return exception.name() == kInvalidArchiveException || exception.name() == kFileTooNewException
        || exception.name() == kUserCancelledException;
}

// What a document window does with a character it opened: draws it, makes its thumbnail and
// finds the parts under the pointer.
void exercise(const CharacterModel& model)
{
    const QRectF bounds = model.getBounds();
    OffscreenImage offscreen(QSize(64, 48));
    if (Canvas* canvas = offscreen.canvas()) {
        const CanvasScope scope(canvas);
        ZDLContext context(1.0f);
        context.setCanvas(canvas);
        model.drawTracingImageIn(*canvas);
        model.drawIn(context, bounds);
    }
    (void)model.getThumbnail();
    for (const QPointF& point : { bounds.center(), bounds.topLeft(), QPointF(10, 10) })
        (void)model.getChildAt(point, 1.0f);
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    // Go on with lossy reads, so that the rest of such a file is explored too.
    static const bool answering = [] {
        appController()->setModalAlertHandler([](const ModalAlert&) { return ModalAlert::kSecondButton; });
        return true;
    }();
    (void)answering;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CharacterModelPtr model;
    try {
        model = readPartsFile(bytes);
    } catch (const Exception& exception) {
        if (!expected(exception))
            finding(qPrintable(QStringLiteral("unexpected exception %1").arg(exception.name())));
        return 0;
    }
    if (!model)
        finding("no model and no exception");
    exercise(*model);
    try {
        const QByteArray written = archivedPartsFile(*model);
        const CharacterModelPtr again = readPartsFile(written);
        if (archivedPartsFile(*again) != written)
            finding("a written parts file does not write back to the same bytes");
        again->retire();
    } catch (const Exception& exception) {
        finding(qPrintable(QStringLiteral("a written parts file does not read: %1").arg(exception.name())));
    }
    model->retire();
    return 0;
}
