#pragma once

#include "charmodel/PartContainer.h"

#include <QImage>
#include <QString>

namespace zandrel {

class ClassRegistry;
class KeyedUnarchiver;

// The common base of the elements inside a part (paths and groups): the children, visibility and
// parent link of every part container (PartContainer), archived under "children".
class PartElement : public PartContainer {
public:
    PartElement() = default;
    // A deep copy: each child copied by its own class and adopted by the copy, which is visible
    // whatever the original is and has no parent yet.
    PartElement(const PartElement& other) = default;
    PartElement& operator=(const PartElement&) = delete;
    ~PartElement() override = default;

    // --- Archiving: "children" only; visibility is not archived, so every decoded element shows.
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("PartElement");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Tree ---
    // The nearest ancestor that is not a group, or nullptr.
    Parent* flattenedParent() const;
    // Replaces every child and adopts the new ones, then flushes the cached image. Elements that
    // leave the list keep their parent link, so that an undo can put them back as they were.
    void setChildren(const ElementList& children) override;

    QString displayName() const override;

    // --- GraphicElement ---
    ObjectPtr initByCopying() const override;
    void drawIn(ZDLContext& context) override;
    // The children's path rectangles, child after child.
    QList<QRectF> getBoundsOfPaths() const override;

    // Removes the children that fail validation, last to first, logging each; the element itself
    // stays usable.
    bool validateData() override;

    // The application image of that name, loaded once and kept for the run; a null image where
    // the application provides none (tests, headless tools). Comic groups show theirs too.
    static QImage applicationIcon(const QString& name);

protected:
    // Showing or hiding changes the part's rendering.
    void visibilityChanged() override;
};

void registerPartElementClasses(ClassRegistry& registry);

} // namespace zandrel
