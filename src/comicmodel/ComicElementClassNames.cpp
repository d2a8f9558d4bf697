#include "comicmodel/ComicElementClassNames.h"

#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"

namespace zandrel {

QStringList comicElementClassNames()
{
    return { Part::kClassName, ImageElement::kClassName, Balloon::kClassName, Group::kClassName };
}

} // namespace zandrel
