#include "charmodel/BlurGroupCollector.h"

#include "charmodel/PartPath.h"
#include "graphics/ZDLContext.h"

#include <cmath>

namespace zandrel {

namespace {

// Only a positive, finite radius has a blurred image. Zero, negative or NaN radii would slip
// through the ratio tests (a negative ratio is never above the factor, NaN compares false).
bool isBlurRadius(float blur)
{
    return std::isfinite(blur) && blur > 0.0f;
}

} // namespace

BlurGroupCollector::BlurGroupCollector(ZDLContext& context)
    : m_context(context)
{
}

void BlurGroupCollector::collect(const ObjectPtr& element)
{
    auto* graphic = asProtocol<GraphicElement>(element);
    if (graphic && !graphic->visible())
        return;
    auto* path = dynamic_cast<PartPath*>(element.get());
    if (!path) {
        flush();
        return;
    }
    // Groups formed in an earlier pass stay as they are, while the pass may still draw them.
    if (path->blurMaster()) {
        flush();
        if (path->blurMaster() == path
            && !m_context.work().takeBlur(
                double(path->cachedFilteredImage().width()) * path->cachedFilteredImage().height()))
            path->setBlurGroup({});
        return;
    }
    const float blur = path->blur();
    if (!m_group.isEmpty()) {
        if (joinOpenGroup(*path, blur))
            return;
        flush();
    }
    if (isBlurRadius(blur) && m_context.showBlur(blur)) {
        m_master = path;
        m_group = { path };
        m_lowBlur = blur;
        m_highBlur = blur;
    }
}

bool BlurGroupCollector::joinOpenGroup(PartPath& path, float blur)
{
    if (!isBlurRadius(blur))
        return false;
    // Single precision, so that a ratio of exactly 1.5 still joins.
    const float above = blur / m_lowBlur;
    const float below = m_highBlur / blur;
    if (above > kBlurFactor || below > kBlurFactor)
        return false;
    m_lowBlur = std::fmin(m_lowBlur, blur);
    m_highBlur = std::fmax(m_highBlur, blur);
    m_group.append(&path);
    return true;
}

void BlurGroupCollector::flush()
{
    // A group past the pass's allowance is not rendered: its paths are left out one by one.
    if (m_group.size() >= 2 && m_master
        && m_context.work().takeBlur(PartPath::blurredRenderingCost(m_group, m_master->blur())))
        m_master->setBlurGroup(m_group);
    // A group of one is dropped: that path draws with its own blurred image.
    m_group.clear();
    m_master = nullptr;
}

} // namespace zandrel
