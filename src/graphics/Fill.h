#pragma once

#include "platform/Object.h"

#include <QRectF>
#include <QStringList>
#include <memory>

namespace zandrel {

class CanvasPath;
class ClassRegistry;
class Fill;
using FillPtr = std::shared_ptr<Fill>;

// What owners report as their fill type.
enum FillType : int {
    FillTypeColor = 0,
    FillTypeGradient = 1,
};

// The fill of every filled thing: a path, a style, a panel, a balloon. A fill draws into the
// current canvas (nothing when there is none). Its opacity belongs to the owner, which applies it
// around the call.
class Fill : public Object {
public:
    ~Fill() override = default;

    virtual void fillRect(const QRectF& rect) const = 0;
    // Fills with the even-odd rule, whatever the path's own rule.
    virtual void fillCGPath(const CanvasPath& path) const = 0;
    // Fills with the path's own winding rule.
    virtual void fillNSPath(const CanvasPath& path) const = 0;
    virtual bool isNone() const = 0;
    virtual FillType fillType() const = 0;
    virtual FillPtr copy() const = 0;
};

// The classes an archived fill may have: the colour fill and the gradient fill.
QStringList fillClassNames();

// Registers ZDLColor, ColorFill, GradientFill, Gradient and GradientColorStop for archives under
// those class names.
void registerColorAndFillClasses(ClassRegistry& registry);

} // namespace zandrel
