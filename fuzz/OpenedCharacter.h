#pragma once

#include "charmodel/PartsFile.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/OffscreenImage.h"

#include <cstdio>
#include <cstdlib>

namespace zandrel::fuzz {

[[noreturn]] inline void finding(const char* target, const char* what)
{
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

// What a document window does with a character it opened or imported: draws it, makes its
// thumbnail, finds the parts under the pointer and saves it. The saved file must read back, and
// writing what was read back must give the same bytes; anything else is a finding.
inline void useAsOpenedDocument(const CharacterModel& model, const char* target)
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
    try {
        const QByteArray written = archivedPartsFile(model);
        const CharacterModelPtr again = readPartsFile(written);
        if (archivedPartsFile(*again) != written)
            finding(target, "a written parts file does not write back to the same bytes");
        again->retire();
    } catch (const Exception& exception) {
        finding(target,
            qPrintable(QStringLiteral("a written parts file does not read: %1").arg(exception.name())));
    }
}

} // namespace zandrel::fuzz
