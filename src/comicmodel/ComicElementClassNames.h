#pragma once

#include <QString>
#include <QStringList>

namespace zandrel {

// The archived names of comic classes that code meets before their classes are built; a class
// takes its name when it comes (balloons and groups have theirs as kClassName).
struct ComicElementClass {
    // Editors are chosen for pages by the documents' editor stack.
    static inline const QString kComicPage = QStringLiteral("ComicPage");
};

// The classes of what a character, a panel layer, a page's free objects or a group holds at its
// top level: parts, images, balloons and groups (balloon groups included, as a subclass).
QStringList comicElementClassNames();

} // namespace zandrel
