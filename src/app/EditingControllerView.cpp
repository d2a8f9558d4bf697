#include "app/EditingControllerView.h"

#include "app/core/ZDLDocument.h"
#include "tools/ZDLTool.h"
#include "views/EditingLevelControl.h"
#include "views/ElementEditingView.h"
#include "views/ZDLScrollArea.h"

#include <QLayout>
#include <QVBoxLayout>

namespace zandrel {

EditingControllerView::EditingControllerView(ZDLDocument* document, bool usesWholeWindow, QWidget* parent)
    : EditingControllerView(document, usesWholeWindow,
        new ElementEditingView(document, ElementEditingView::ScaleSetting::PartEditing), parent)
{
}

EditingControllerView::EditingControllerView(
    ZDLDocument* document, bool usesWholeWindow, ZDLEditingView* editingView, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_usesWholeWindow(usesWholeWindow)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_levelBar = new EditingLevelControl(this);
    m_levelBar->setObjectName(QStringLiteral("levelControl"));
    m_levelBar->setLevels(&levelControl());
    connect(m_levelBar, &EditingLevelControl::action, this,
        [this] { m_document->levelControlClicked(m_levelBar->clickedLevelRepresentedObject()); });
    m_editingView = editingView;
    m_scrollArea = new ZDLScrollArea(m_editingView, this);
    layout->addWidget(m_levelBar);
    layout->addWidget(m_scrollArea, 1);
}

EditingControllerView::~EditingControllerView() = default;

QWidget* EditingControllerView::textBarSlot()
{
    if (!m_textBarSlot) {
        m_textBarSlot = new QWidget(this);
        m_textBarSlot->setObjectName(QStringLiteral("textBarSlot"));
        auto* column = new QVBoxLayout(m_textBarSlot);
        column->setContentsMargins(0, 0, 0, 0);
        layout()->addWidget(m_textBarSlot);
    }
    return m_textBarSlot;
}

void EditingControllerView::edit(const ObjectPtr& object)
{
    // Just shown: the view takes its size now, so that the object comes into view centred.
    layout()->activate();
    m_editingView->setRootObject(object);
    m_editingView->setFocus();
    m_levelBar->levelsChanged();
}

void EditingControllerView::close()
{
    EditorContainer::close();
    m_levelBar->levelsChanged();
}

ObjectPtr EditingControllerView::rootObject() const
{
    return m_editingView->rootObject();
}

void EditingControllerView::setRootObject(const ObjectPtr& object)
{
    m_editingView->setRootObject(object);
}

void EditingControllerView::exitTool()
{
    if (ZDLTool* tool = m_editingView->currentTool())
        tool->exitTool();
}

void EditingControllerView::validateSelection()
{
    m_editingView->validateSelection();
    m_levelBar->levelsChanged();
}

void EditingControllerView::levelsChanged()
{
    m_levelBar->levelsChanged();
}

QString EditingControllerView::levelText() const
{
    QStringList titles;
    for (const EditingLevel& level : levelControl().levels())
        titles.append(level.title);
    return titles.join(QStringLiteral(" \u203A "));
}

} // namespace zandrel
