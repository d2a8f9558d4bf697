#include "comicmodel/ComicModel.h"

#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicRow.h"
#include "graphics/GraphicManipulator.h"
#include "platform/DeferredCalls.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UserName.h"

#include <algorithm>

namespace zandrel {

namespace {

const QString kDeferredUpdateViewsKey = QStringLiteral("setupWithSize:updateViews");

template <class T> qsizetype indexIn(const std::vector<std::shared_ptr<T>>& list, const Object* member)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].get() == member)
            return qsizetype(i);
    }
    return -1;
}

} // namespace

const PropertyTable& ComicModel::staticPropertyTable()
{
    using M = ComicModel;
    static const PropertyTable table(&ComicStructureElement::staticPropertyTable(),
        {
            property<M>(kNameKey, &M::name, &M::setName),
            property<M>(kCreatorKey, &M::creator, &M::setCreator),
            property<M>(kComicDescriptionKey, &M::comicDescription, &M::setComicDescription),
            property<M>(kHashtagsKey, &M::hashtags, &M::setHashtags),
            property<M>(kSizeKey, &M::size, &M::setSize),
            property<M>(kCharactersKey, &M::characters, &M::setCharacters),
            property<M>(kCurrentPageKey, &M::currentPage, &M::setCurrentPage),
            property<M>(kCurrentPanelKey, &M::currentPanel, &M::setCurrentPanel),
            property<M>(kPanelGutterKey, &M::panelGutter, &M::setPanelGutter),
            property<M>(kBackgroundStyleKey, &M::backgroundStyle, &M::setBackgroundStyle),
            property<M>(kEditBackgroundKey, &M::editBackground, &M::setEditBackground),
            property<M>(kFocusOnPanelKey, &M::focusOnPanel, &M::setFocusOnPanel),
        });
    return table;
}

ComicModel::ComicModel()
    : m_creator(fullUserName())
    , m_documentSettings(std::make_shared<DocumentSettings>())
{
    setupComicColors();
    observeColorChanges();
}

ComicModel::~ComicModel()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    DeferredCalls::cancelAll(this);
}

void ComicModel::setupComicColors()
{
    m_comicColorsModel = std::make_shared<CharacterModel>();
    m_comicColorsModel->setCharacterName(localized("Comic"));
    m_comicColorsModel->setCreator(localized("ZDL"));
    m_comicColorsModel->setDocument(m_document);
    CharacterList characters = m_characters;
    characters.insert(characters.begin(), m_comicColorsModel);
    setCharacters(characters);
}

void ComicModel::observeColorChanges()
{
    NotificationCenter::defaultCenter().addObserver(this, kFlushAllCachesUsingColorNotification, nullptr,
        [this](const Notification& notification) { needsFlushAllCachesUsingColor(notification.object); });
}

void ComicModel::setupWithSize(const QSizeF& size, int rows, int panels)
{
    m_size = size;
    const QRectF rect(0, 0, size.width(), size.height());
    setTopLeft(rect.topLeft());
    setTopRight(rect.topRight());
    setBottomLeft(rect.bottomLeft());
    setBottomRight(rect.bottomRight());
    auto page = std::make_shared<ComicPage>();
    page->initWithRect(rect, this, rows, panels);
    setContents({ page });
    setCurrentPage(page);
    setCurrentPanel(std::dynamic_pointer_cast<ComicPanel>(firstPanel()));
    DeferredCalls::perform(this, kDeferredUpdateViewsKey, 0, [this] {
        if (m_document)
            m_document->updateViews();
    });
}

ZDLDocument* ComicModel::document() const
{
    return m_document;
}

void ComicModel::setDocument(ComicDocument* document)
{
    m_document = document;
    for (const auto& character : m_characters)
        character->setDocument(document);
    if (m_comicColorsModel)
        m_comicColorsModel->setDocument(document);
}

void ComicModel::retire()
{
    BreakdownModelManipulator breakdown;
    tellAllGraphics(GraphicNotice::ApplyManipulator, &breakdown);
    ComicStructureElement::retire();
    for (const auto& character : m_characters)
        character->retire();
    m_characters.clear();
    m_characterLibrary.clear();
    m_document = nullptr;
    m_currentPage = nullptr;
    m_currentPanel = nullptr;
    ComicStructureElement::setContents({});
    NotificationCenter::defaultCenter().removeObserver(this);
    DeferredCalls::cancelAll(this);
}

// --- Pages and panels ---

void ComicModel::setContents(const ComicStructureList& pages)
{
    ComicStructureElement::setContents(pages);
    if (m_document)
        m_document->numberOfPagesChanged();
}

std::shared_ptr<ComicPage> ComicModel::pageAtIndex(qsizetype index) const
{
    if (index < 0 || index >= numPages())
        return nullptr;
    return std::dynamic_pointer_cast<ComicPage>(contents().at(std::size_t(index)));
}

qsizetype ComicModel::currentPageIndex() const
{
    return m_currentPage ? indexOfChild(m_currentPage.get()) : -1;
}

qsizetype ComicModel::currentPanelIndex() const
{
    ComicStructureList panels;
    getPanelsInArray(panels);
    return m_currentPanel ? indexIn(panels, m_currentPanel.get()) : -1;
}

void ComicModel::setCurrentPageIndex(qsizetype index)
{
    if (index < 0 || index > numPages() - 1)
        return;
    setCurrentPage(pageAtIndex(index));
}

void ComicModel::setCurrentPage(const std::shared_ptr<ComicPage>& page)
{
    if (page == m_currentPage)
        return;
    setFocusOnPanel(false);
    const std::shared_ptr<ComicPage> old = m_currentPage;
    if (old)
        old->notifyAllGraphicsOf(GraphicNotice::ParentChanged, nullptr);
    m_currentPage = page;
    if (!m_currentPanel || m_currentPanel->getPage() != page.get())
        setCurrentPanel(page ? std::dynamic_pointer_cast<ComicPanel>(page->firstPanel()) : nullptr);
    if (m_document) {
        m_document->currentPageChanged();
        m_document->notifyModelPropertyChange(kCurrentPageKey, Value(ObjectPtr(old)));
    }
}

void ComicModel::setCurrentPanel(const std::shared_ptr<ComicPanel>& panel)
{
    if (panel == m_currentPanel)
        return;
    setFocusOnPanel(false);
    const std::shared_ptr<ComicPanel> old = m_currentPanel;
    if (m_document)
        m_document->updatePanel(old.get(), false);
    m_currentPanel = panel;
    if (panel && panel->getPage() != m_currentPage.get()) {
        // A panel's page is a ComicPage whenever the panel stands in a comic.
        if (auto* page = dynamic_cast<ComicPage*>(panel->getPage()))
            setCurrentPage(std::static_pointer_cast<ComicPage>(page->shared_from_this()));
    }
    if (m_document) {
        m_document->updatePanel(panel.get(), true);
        m_document->notifyModelPropertyChange(kCurrentPanelKey, Value(ObjectPtr(old)));
    }
}

void ComicModel::setEditBackground(bool editBackground)
{
    if (editBackground == m_editBackground)
        return;
    m_editBackground = editBackground;
    if (m_document)
        m_document->notifyModelPropertyChange(kEditBackgroundKey, Value(!editBackground));
}

void ComicModel::setFocusOnPanel(bool focusOnPanel)
{
    if (focusOnPanel == m_focusOnPanel)
        return;
    m_focusOnPanel = focusOnPanel;
    if (m_document)
        m_document->notifyModelPropertyChange(kFocusOnPanelKey, Value(!focusOnPanel));
}

std::shared_ptr<ComicStructureElement> ComicModel::firstPanel() const
{
    return m_currentPage ? m_currentPage->firstPanel() : nullptr;
}

std::shared_ptr<ComicStructureElement> ComicModel::lastPanel() const
{
    return m_currentPage ? m_currentPage->lastPanel() : nullptr;
}

QRectF ComicModel::bounds() const
{
    return QRectF(0, 0, m_size.width(), m_size.height());
}

void ComicModel::setPanelGutter(float gutter)
{
    if (gutter == m_panelGutter)
        return;
    m_panelGutter = gutter;
    ComicStructureList panels;
    getPanelsInArray(panels);
    for (const auto& panel : panels) {
        if (auto* comicPanel = dynamic_cast<ComicPanel*>(panel.get()))
            comicPanel->flushCache();
    }
}

void ComicModel::setTopLeftTopRightBottomLeftBottomRight(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    for (const auto& page : contents())
        page->setTopLeftTopRightBottomLeftBottomRight(topLeft, topRight, bottomLeft, bottomRight);
    undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
}

std::shared_ptr<ComicStructureElement> ComicModel::getDeepestElementAt(const QPointF& point) const
{
    if (!contains(point))
        return nullptr;
    if (m_currentPage) {
        if (auto deepest = m_currentPage->getDeepestElementAt(point))
            return deepest;
    }
    return self();
}

std::shared_ptr<ComicPanel> ComicModel::getPanelAt(const QPointF& point) const
{
    if (m_currentPage) {
        for (const ComicPanelList* list :
            { &m_currentPage->floatingPanels(), &m_currentPage->insetPanels() }) {
            for (auto it = list->rbegin(); it != list->rend(); ++it) {
                if ((*it)->contains(point))
                    return *it;
            }
        }
    }
    return std::dynamic_pointer_cast<ComicPanel>(getDeepestElementAt(point));
}

void ComicModel::tellAllGraphics(GraphicNotice notice, GraphicManipulator* object)
{
    notifyAllGraphicsOf(notice, object);
}

QSizeF ComicModel::minimumSize() const
{
    float width = 0.0f;
    float height = 0.0f;
    const auto raise = [&](double w, double h) {
        width = std::max(width, float(w));
        height = std::max(height, float(h));
    };
    for (const auto& element : contents()) {
        const auto* page = dynamic_cast<const ComicPage*>(element.get());
        if (!page)
            continue;
        const QSizeF rows = page->minimumSize();
        raise(float(rows.width()) + page->leftMargin() + page->rightMargin(),
            float(rows.height()) + page->topMargin() + page->bottomMargin());
        for (const auto& panel : page->freePanels())
            raise(panel->bounds().width(), panel->bounds().height());
    }
    return QSizeF(width, height);
}

} // namespace zandrel
