#include "app/EditingControllerView.h"

#include "app/ElementView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace zandrel {

EditingControllerView::EditingControllerView(ZDLDocument* document, bool usesWholeWindow, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_usesWholeWindow(usesWholeWindow)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_levelBar = new QLabel(this);
    m_levelBar->setContentsMargins(8, 4, 8, 4);
    m_editingView = new ElementView(document, this);
    layout->addWidget(m_levelBar);
    layout->addWidget(m_editingView, 1);
}

EditingControllerView::~EditingControllerView() = default;

void EditingControllerView::edit(const ObjectPtr& object)
{
    m_editingView->setRootObject(object);
    m_editingView->setFocus();
    showLevels();
}

void EditingControllerView::close()
{
    EditorContainer::close();
    showLevels();
}

ObjectPtr EditingControllerView::rootObject() const
{
    return m_editingView->rootObject();
}

void EditingControllerView::setRootObject(const ObjectPtr& object)
{
    m_editingView->setRootObject(object);
}

void EditingControllerView::validateSelection()
{
    m_editingView->validateSelection();
    showLevels();
}

QString EditingControllerView::levelText() const
{
    QStringList titles;
    for (const EditingLevel& level : levelControl().levels())
        titles.append(level.title);
    return titles.join(QStringLiteral(" \u203A "));
}

void EditingControllerView::showLevels()
{
    m_levelBar->setText(levelText());
}

} // namespace zandrel
