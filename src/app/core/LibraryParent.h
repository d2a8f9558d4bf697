#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

#include <memory>

namespace zandrel {

class CharacterModel;
class LibraryParent;
using LibraryParentPtr = std::shared_ptr<LibraryParent>;

// The sheet of the character library that shows every pose of one part type (every head, every
// arm ...) side by side: aliases of the character's real parts, laid out in rows to fit the
// library's width. The aliases move; the character does not. It is the root the library view
// shows and selects in, and nothing can be edited inside it.
class LibraryParent : public Object, public virtual Parent {
public:
    // The part type that puts the aliases of every part type on one sheet, type after type.
    static constexpr int kAllPartTypes = -2;

    LibraryParent() = default;
    // A sheet of the character's aliases of the part type; an empty sheet without a character.
    static LibraryParentPtr sheetOfType(const std::shared_ptr<CharacterModel>& character, int partType);
    // Whether the sheet shows that character's parts: false once the character was read again.
    bool showsCharacter(const CharacterModel* character) const
    {
        return character && m_character.lock().get() == character;
    }

    static inline const QString kClassName = QStringLiteral("LibraryParent");
    QString className() const override { return kClassName; }

    // --- Parent ---
    ElementList children() const override { return m_elements; }
    // Takes the aliases as they are (they keep no parent link to the sheet) and lays out again at
    // the next arrangePartAliasesToFit, whatever the width.
    void setChildren(const ElementList& children) override;
    // The front-most alias containing the point, searching from the last to the first.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;
    // The union of the aliases' bounds; the zero rect for an empty sheet.
    QRectF getBounds() const override;
    QRectF getGeometryBounds() const override;
    QString displayName() const override { return QString(); }
    bool canEditContents() const override { return false; }
    bool canSelectContents() const override { return true; }

    // Lays the aliases out in rows of at most the width: what they draw one point apart, rows one
    // point apart and centred in the width, each alias centred in its row's height, and a new row
    // for every change of part type. Nothing happens when the width is that of the last layout. The
    // arithmetic is single precision.
    void arrangePartAliasesToFit(float width);

    const ElementList& elements() const { return m_elements; }
    float savedLayoutWidth() const { return m_savedLayoutWidth; }
    void setSavedLayoutWidth(float width) { m_savedLayoutWidth = width; }

private:
    ElementList m_elements;
    float m_savedLayoutWidth = 0.0f;
    std::weak_ptr<CharacterModel> m_character;
};

} // namespace zandrel
