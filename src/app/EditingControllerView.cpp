#include "app/EditingControllerView.h"

#include "app/ElementView.h"
#include "app/core/ZDLDocument.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <QToolButton>
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
    m_levelBar = new QWidget(this);
    m_levelLayout = new QHBoxLayout(m_levelBar);
    m_levelLayout->setContentsMargins(6, 2, 6, 2);
    m_levelLayout->setSpacing(2);
    m_levelLayout->addStretch(1);
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

QList<QWidget*> EditingControllerView::levelButtons() const
{
    QList<QWidget*> buttons;
    for (int i = 0; i < m_levelLayout->count(); ++i) {
        if (auto* button = qobject_cast<QToolButton*>(m_levelLayout->itemAt(i)->widget()))
            buttons.append(button);
    }
    return buttons;
}

void EditingControllerView::showLevels()
{
    while (m_levelLayout->count() > 1) {
        QLayoutItem* item = m_levelLayout->takeAt(0);
        delete item->widget();
        delete item;
    }
    const QList<EditingLevel>& levels = levelControl().levels();
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const EditingLevel& level = levels.at(i);
        auto* crumb = new QToolButton(m_levelBar);
        crumb->setAutoRaise(true);
        crumb->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        crumb->setText(i + 1 < levels.size() ? level.title + QStringLiteral("  \u203A") : level.title);
        if (!level.image.isNull())
            crumb->setIcon(QIcon(QPixmap::fromImage(level.image)));
        const ObjectPtr represented = level.represented;
        connect(crumb, &QToolButton::clicked, this,
            [this, represented] { m_document->levelControlClicked(represented); });
        m_levelLayout->insertWidget(int(i), crumb);
    }
}

} // namespace zandrel
