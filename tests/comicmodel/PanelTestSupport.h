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

// A comic root that also answers the panel's questions of the comic.
class TestPanelComic : public TestComic, public PanelComicServices {
public:
    const ComicPanel* currentPanel() const override { return m_current; }
    bool editBackground() const override { return m_editBackground; }
    bool drawingCurrentPanel() const override { return m_drawingCurrent; }
    CharacterModel* comicColorsModel() const override { return m_colors; }

    const ComicPanel* m_current = nullptr;
    bool m_editBackground = false;
    bool m_drawingCurrent = false;
    CharacterModel* m_colors = nullptr;
};

// A page whose free panels are the ones the test lists.
class TestPanelPage : public TestPage, public PanelPageServices {
public:
    bool panelIsFloating(const ComicPanel& panel) const override { return contains(m_floating, &panel); }
    bool panelIsInset(const ComicPanel& panel) const override { return contains(m_inset, &panel); }
    std::vector<std::shared_ptr<ComicPanel>> getInsetPanelsAffecting(const ComicPanel& panel) const override
    {
        std::vector<std::shared_ptr<ComicPanel>> found;
        for (const ComicPanel* inset : m_inset) {
            if (inset != &panel)
                found.push_back(std::static_pointer_cast<ComicPanel>(
                    std::const_pointer_cast<Object>(inset->shared_from_this())));
        }
        return found;
    }
    ElementList floatingElements() const override { return m_floatingElements; }

    std::vector<const ComicPanel*> m_floating;
    std::vector<const ComicPanel*> m_inset;
    ElementList m_floatingElements;

private:
    static bool contains(const std::vector<const ComicPanel*>& list, const ComicPanel* panel)
    {
        return std::find(list.begin(), list.end(), panel) != list.end();
    }
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
