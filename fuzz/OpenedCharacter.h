#pragma once

#include "OpenedDocument.h"
#include "charmodel/PartsFile.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

namespace zandrel::fuzz {

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
    writesBack(model, &archivedPartsFile, &readPartsFile, target);
}

} // namespace zandrel::fuzz
