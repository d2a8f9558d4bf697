#pragma once

#include "charmodel/TestPartLeaf.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelServices.h"
#include "comicmodel/StructureTestSupport.h"

#include <QColor>

namespace zandrel::test {

// A comic element with a rectangle of its own and a model of the test's choosing; it fills its
// rectangle with its colour. Registered as a kind of "Part" so that layers take it from archives.
class TestComicLeaf : public TestPartLeaf, public virtual ComicElement {
public:
    using TestPartLeaf::TestPartLeaf;
    static std::shared_ptr<TestComicLeaf> make(
        const QRectF& rect, Object* model = nullptr, QColor color = Qt::red)
    {
        auto leaf = std::make_shared<TestComicLeaf>(rect);
        leaf->m_model = model;
        leaf->m_color = color;
        return leaf;
    }
    static void registerClass()
    {
        ClassRegistry::shared().registerClass<TestComicLeaf>(
            QStringLiteral("TestComicLeaf"), QStringLiteral("Part"));
    }
    QString className() const override { return QStringLiteral("TestComicLeaf"); }
    ObjectPtr initByCopying() const override { return std::make_shared<TestComicLeaf>(*this); }
    Object* model() const override { return m_model; }
    int partType() const override { return 0; }
    void setPartType(int) override { }
    void drawIn(ZDLContext& context) override
    {
        if (context.canvas())
            context.canvas()->fillRect(m_rect, CanvasPaint(m_color));
    }

    Object* m_model = nullptr;
    QColor m_color = Qt::red;
};

inline void registerPanelTestClasses()
{
    TestComicLeaf::registerClass();
}

inline std::shared_ptr<ComicPanel> makePanel(const QRectF& rect)
{
    auto panel = std::make_shared<ComicPanel>();
    panel->initWithRect(rect, nullptr);
    return panel;
}

} // namespace zandrel::test
