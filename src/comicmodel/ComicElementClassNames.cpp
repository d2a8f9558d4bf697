#include "comicmodel/ComicElementClassNames.h"

#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"

namespace zandrel {

QStringList comicElementClassNames()
{
    return { Part::kClassName, ImageElement::kClassName, ComicElementClass::kBalloon,
        ComicElementClass::kGroup };
}

} // namespace zandrel
