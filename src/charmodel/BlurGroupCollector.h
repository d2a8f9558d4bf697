#pragma once

#include "platform/Object.h"

#include <QList>

namespace zandrel {

class PartPath;
class ZDLContext;

// Decides, during one drawing pass over a flat list of part elements, which neighbouring blurred
// paths are rendered into one bitmap and blurred once. Radii within a factor of 1.5 of every radius
// already in the open group join it; anything else closes it. A closed group of two or more paths
// is handed to its first path, where it stays until one of its members changes.
class BlurGroupCollector {
public:
    static constexpr float kBlurFactor = 1.5f;

    // The context says which blurs show at the current scale; it must outlive the collector.
    explicit BlurGroupCollector(ZDLContext& context);

    // Offers the next element of the drawing order.
    void collect(const ObjectPtr& element);
    // Closes the open group: two or more paths become a blur group on the first of them.
    void flush();

    const QList<PartPath*>& group() const { return m_group; }
    void setGroup(const QList<PartPath*>& group) { m_group = group; }
    float lowBlur() const { return m_lowBlur; }
    void setLowBlur(float blur) { m_lowBlur = blur; }
    float highBlur() const { return m_highBlur; }
    void setHighBlur(float blur) { m_highBlur = blur; }
    PartPath* master() const { return m_master; }
    void setMaster(PartPath* master) { m_master = master; }

private:
    // Appends the path when its radius lies within the factor of the open group's radii.
    bool joinOpenGroup(PartPath& path, float blur);

    ZDLContext& m_context;
    float m_lowBlur = 0.0f;
    float m_highBlur = 0.0f;
    QList<PartPath*> m_group;
    PartPath* m_master = nullptr;
};

} // namespace zandrel
