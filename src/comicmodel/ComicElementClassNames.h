#pragma once

#include <QString>
#include <QStringList>

namespace zandrel {

// The archived names of the comic's own elements, balloons and groups of free elements, which
// panel layers, parts files and aliases may hold beside parts and images. Code that meets them
// before their classes are built knows them by these names; the classes take them when they come.
struct ComicElementClass {
    static inline const QString kBalloon = QStringLiteral("Balloon");
    static inline const QString kGroup = QStringLiteral("Group");
    // Editors are chosen for these by the documents' editor stack.
    static inline const QString kBalloonGroup = QStringLiteral("BalloonGroup");
    static inline const QString kComicPage = QStringLiteral("ComicPage");
    // The property by which a balloon answers the character it speaks for.
    static inline const QString kCharacterIdKey = QStringLiteral("characterId");
};

// The classes of what a character or a panel layer holds at its top level: parts, images,
// balloons and groups.
QStringList comicElementClassNames();

} // namespace zandrel
