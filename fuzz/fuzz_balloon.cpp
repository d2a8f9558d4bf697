// Feeds arbitrary bytes to the reader of balloons and groups (the lettering of a comic file or of a
// pasteboard payload): what decodes is validated, measured, hit-tested, moved, copied and drawn as
// a view and an export would, then written and read back, and a second write must give the bytes
// of the first. Any exception but the archive layer's is a finding.
#include "FuzzApplication.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/Group.h"
#include "graphics/ZDLContext.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_balloon: %s\n", what);
    std::abort();
}

const QStringList& rootClasses()
{
    static const QStringList classes { Balloon::kClassName, Group::kClassName };
    return classes;
}

void draw(GraphicElement& element, bool exporting)
{
    OffscreenImage offscreen(QSize(64, 48), 1.5);
    CanvasScope current(offscreen.canvas());
    ZDLContext context(1.5f);
    context.setExporting(exporting);
    element.drawIn(context);
}

void exercise(GraphicElement& element)
{
    element.validateData();
    const QRectF bounds = element.getBounds();
    element.getVisualBounds();
    element.getGeometryBounds();
    element.getInvalidationBounds();
    element.getBoundsOfPaths();
    for (const QPointF& point : { bounds.center(), bounds.topLeft(), QPointF(10, 10) })
        element.containsPt(point, 1.0f);
    if (auto* container = dynamic_cast<Parent*>(&element))
        container->getChildAt(bounds.center(), 1.0f);
    draw(element, false);
    draw(element, true);
    const ObjectPtr copy = element.initByCopying();
    if (auto* copied = asProtocol<GraphicElement>(copy)) {
        copied->offsetBy(QPointF(3, -2), true);
        copied->transformBy(QTransform::fromScale(2, 0.5));
        copied->getBounds();
    }
    if (auto* group = dynamic_cast<Group*>(&element))
        group->convertToPartGroup();
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    fuzz::startOffscreenApplication("fuzz_balloon");
    ClassRegistry::shared().registerOnce(&registerComicModelClasses);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ObjectPtr root;
    try {
        root = KeyedUnarchiver::unarchive(bytes, rootClasses()).toObject();
    } catch (const Exception& exception) {
        if (exception.name() != kInvalidArchiveException && exception.name() != kBeyondLimitsException)
            finding(qPrintable(QStringLiteral("unexpected exception %1").arg(exception.name())));
        return 0;
    }
    auto* element = asProtocol<GraphicElement>(root);
    if (!element)
        return 0;
    exercise(*element);
    try {
        const QByteArray written = KeyedArchiver::archivedDataWithRootObject(root);
        const ObjectPtr again = KeyedUnarchiver::unarchive(written, rootClasses()).toObject();
        if (!again)
            finding("a written balloon or group does not read");
        if (KeyedArchiver::archivedDataWithRootObject(again) != written)
            finding("a written balloon or group does not write back to the same bytes");
    } catch (const Exception& exception) {
        finding(
            qPrintable(QStringLiteral("a written balloon or group does not read: %1").arg(exception.name())));
    }
    return 0;
}
