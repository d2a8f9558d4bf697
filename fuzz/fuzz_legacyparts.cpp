// Feeds arbitrary bytes to the legacy parts-file import, CharacterModel::initWithParts86Data.
// The only acceptable failure is the reader's "BigEndianReaderException" (short or refused
// records). A model that comes back must hold image elements only, each one parented to the
// model and sized like its bitmap; its bounds and drawing are exercised as an opened document
// would. Any other exception is a finding.
#include "charmodel/CharacterModel.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/ImageElement.h"
#include "graphics/BigEndianReader.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/OffscreenImage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_legacyparts: %s\n", what);
    std::abort();
}

void exercise(const CharacterModelPtr& model)
{
    OffscreenImage offscreen(QSize(48, 32));
    ZDLContext context(1.0f);
    context.setCanvas(offscreen.canvas());
    for (size_t i = 0; i < model->numChildren(); ++i) {
        const auto element = std::dynamic_pointer_cast<ImageElement>(model->getChildAtIndex(i));
        if (!element)
            finding("a part that is not an image element");
        if (element->parent() != model.get())
            finding("an element not parented to the model");
        if (const ZDLImagePtr& image = element->image()) {
            const QSizeF size = image->pixelSize();
            if (!(size.width() >= 1 && size.height() >= 1))
                finding("a legacy image without pixels");
        }
        element->getBounds();
        element->drawIn(context);
        element->containsPt(QPointF(2, 2), 1.0f);
    }
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CharacterModelPtr model;
    try {
        model = CharacterModel::initWithParts86Data(bytes);
    } catch (const Exception& e) {
        if (e.name() != kBigEndianReaderException)
            finding("unexpected exception from the import");
        return 0;
    }
    if (!model)
        finding("no model and no exception");
    exercise(model);
    return 0;
}
