#include "app/core/ComicDocument.h"

#include "charmodel/CharacterModel.h"
#include "comicmodel/ComicModel.h"
#include "graphics/ColorFill.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

#include <algorithm>

namespace zandrel {

namespace {

// How far around a panel its highlight reaches, in screen points.
constexpr float kPanelHighlightOutset = 6.0f;

bool isUndoingOrRedoing(const UndoManager& undoManager)
{
    return undoManager.isUndoing() || undoManager.isRedoing();
}

template <class List> void tellLeaving(const List& before, const List& after)
{
    for (const auto& member : before) {
        if (std::find(after.begin(), after.end(), member) == after.end())
            member->notifyAllGraphicsOf(GraphicNotice::ParentChanged, nullptr);
    }
}

} // namespace

ComicDocument::ComicDocument()
{
    adoptModel(std::make_shared<ComicModel>());
    // An editor over the page holds the page controls (ComicDocumentPages.cpp).
    NotificationCenter::defaultCenter().addObserver(
        this, kEditViewChangedNotification, this, [this](const Notification&) { updatePageControls(); });
}

ComicDocument::~ComicDocument()
{
    // A model that outlives its document must not call it.
    if (m_model && m_model->comicDocument() == this)
        m_model->setDocument(nullptr);
}

ObjectPtr ComicDocument::rootModel() const
{
    return m_model;
}

void ComicDocument::setModel(const std::shared_ptr<ComicModel>& model)
{
    adoptModel(model);
    updateViews();
}

void ComicDocument::installModel(const ObjectPtr& model)
{
    if (auto comic = std::dynamic_pointer_cast<ComicModel>(model))
        adoptModel(comic);
}

void ComicDocument::adoptModel(const std::shared_ptr<ComicModel>& model)
{
    if (m_model && m_model != model)
        m_model->retire();
    m_model = model;
    m_pageTapes.clear();
    if (!m_model)
        return;
    setDocumentSettings(m_model->documentSettings());
    m_model->setDocument(this);
}

void ComicDocument::close()
{
    edit(nullptr);
    m_pageTapes.clear();
    if (m_model) {
        m_model->retire();
        m_model = nullptr;
    }
    setDocumentSettings(nullptr);
    m_groupEditor = nullptr;
    m_windowLink = nullptr;
    setEditors(nullptr, nullptr, nullptr);
    ZDLDocument::close();
}

void ComicDocument::tellAllGraphics(GraphicNotice notice, GraphicManipulator* object)
{
    if (m_model)
        m_model->tellAllGraphics(notice, object);
}

void ComicDocument::updatePanel(const ComicPanel* panel, bool afterChange)
{
    updateViewsRect(panel ? panel->getInvalidationBounds() : QRectF(), kPanelHighlightOutset, afterChange);
}

void ComicDocument::undoableOffsetPanel(const std::shared_ptr<ComicPanel>& panel, const QPointF& offset,
    bool alreadyDone, PanelSelection selection)
{
    if (!panel)
        return;
    const ChangeScope scope(*this, { panel });
    UndoManager& undo = *undoManager();
    // As with objects: undo puts back the placement recorded now, except after a live move.
    if (alreadyDone)
        undo.registerUndo(this,
            [this, panel, offset, selection] { undoableOffsetPanel(panel, -offset, false, selection); });
    else
        registerPanelPlacementUndo(panel, selection);
    if (!isUndoingOrRedoing(undo))
        undo.setActionName(localized("Move Floating Panel"));
    if (alreadyDone)
        return;
    panel->offsetBy(offset);
    if (selection == PanelSelection::Select && m_model)
        m_model->setCurrentPanel(panel);
}

void ComicDocument::registerPanelPlacementUndo(
    const std::shared_ptr<ComicPanel>& panel, PanelSelection selection)
{
    undoManager()->registerUndo(this, [this, panel, placement = panel->recordPlacement(), selection] {
        registerPanelPlacementUndo(panel, selection);
        panel->restorePlacement(placement);
        if (selection == PanelSelection::Select && m_model)
            m_model->setCurrentPanel(panel);
    });
}

void ComicDocument::undoableSetFloatingPanels(const std::vector<std::shared_ptr<ComicPanel>>& panels,
    const std::shared_ptr<ComicPage>& page, const std::shared_ptr<ComicPanel>& selecting)
{
    setFreePanels(false, panels, page, selecting);
}

void ComicDocument::undoableSetInsetPanels(const std::vector<std::shared_ptr<ComicPanel>>& panels,
    const std::shared_ptr<ComicPage>& page, const std::shared_ptr<ComicPanel>& selecting)
{
    setFreePanels(true, panels, page, selecting);
}

void ComicDocument::setFreePanels(bool inset, const std::vector<std::shared_ptr<ComicPanel>>& panels,
    const std::shared_ptr<ComicPage>& page, const std::shared_ptr<ComicPanel>& selecting)
{
    if (!page)
        return;
    const ChangeScope scope(*this, { page });
    const ComicPanelList before = inset ? page->insetPanels() : page->floatingPanels();
    const std::shared_ptr<ComicPanel> current = m_model ? m_model->currentPanel() : nullptr;
    undoManager()->registerUndo(
        this, [this, inset, before, page, current] { setFreePanels(inset, before, page, current); });
    tellLeaving(before, panels);
    if (inset)
        page->setInsetPanels(panels);
    else
        page->setFloatingPanels(panels);
    if (m_model)
        m_model->setCurrentPanel(selecting);
    updateViews();
}

void ComicDocument::undoableSetContents(const std::vector<std::shared_ptr<ComicStructureElement>>& contents,
    const std::shared_ptr<ComicStructureElement>& parent)
{
    if (!parent)
        return;
    // The comic's pages are its own field: a page that goes, comes or moves does not change.
    const ChangeScope scope(*this, parent == m_model ? ElementList() : ElementList { parent });
    const ComicStructureList before = parent->contents();
    undoManager()->registerUndo(this, [this, before, parent] { undoableSetContents(before, parent); });
    tellLeaving(before, contents);
    parent->setContents(contents);
    if (m_model)
        m_model->fixParents();
    updateViews();
}

void ComicDocument::undoableDeleteColor(const std::shared_ptr<ZDLColor>& color, const ObjectPtr& model,
    const std::shared_ptr<ZDLColor>& replacement)
{
    auto character = std::dynamic_pointer_cast<CharacterModel>(model);
    if (!m_model || !character || !color)
        return;
    ComicStructureList panels;
    m_model->getPanelsInArray(panels);
    for (const auto& element : panels) {
        const auto* panel = dynamic_cast<const ComicPanel*>(element.get());
        if (!panel)
            continue;
        if (auto fill = std::dynamic_pointer_cast<ColorFill>(panel->fill());
            fill && fill->fillColor() == color)
            undoableSetPropertyFor(fill, ColorFill::kFillColorKey, Value(replacement));
        character->replaceColor(color, replacement, panel->backLayer(), this);
        character->replaceColor(color, replacement, panel->frontLayer(), this);
    }
    for (const auto& page : m_model->contents())
        character->replaceColor(color, replacement, page, this);
    // The character's own defaults and styles too: deleting the colour would otherwise make them
    // fall back to black or white in a way no undo gives back.
    character->replaceColor(color, replacement, character, this);
    character->undoableDeleteColor(color);
    undoManager()->setActionName(localized("Delete Color"));
}

} // namespace zandrel
