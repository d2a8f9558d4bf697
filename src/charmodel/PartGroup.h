#pragma once

#include "charmodel/PartElement.h"

namespace zandrel {

// A group of part elements inside a part. It has nothing of its own beyond a name and an icon for
// the editing-level bar, and a stricter validation: a group left empty is not usable, so its own
// container removes it in turn.
class PartGroup : public PartElement {
public:
    PartGroup() = default;
    PartGroup(const PartGroup& other) = default;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("PartGroup");
    QString className() const override;
    ObjectPtr initByCopying() const override;

    QString displayName() const override;
    QImage pathIcon() const override;

    // True only when a child is left after the unusable ones were removed.
    bool validateData() override;
};

} // namespace zandrel
