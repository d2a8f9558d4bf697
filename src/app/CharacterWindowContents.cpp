#include "app/CharacterWindowContents.h"

#include "app/DocumentWindow.h"
#include "app/EditingControllerView.h"
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QIcon>
#include <QToolBar>

namespace zandrel {

namespace {

std::function<QString()>& imageChooser()
{
    static std::function<QString()> chooser;
    return chooser;
}

} // namespace

CharacterView::CharacterView(CharacterDocument* document, QWidget* parent)
    : ElementView(document, parent)
    , m_document(document)
{
    setObjectName(QStringLiteral("characterView"));
    setRootObject(document->model());
    // A revert installs a new model: the view shows it.
    NotificationCenter::defaultCenter().addObserver(
        this, kUpdateDocumentViewsNotification, document, [this](const Notification&) {
            if (m_document->model() && rootObject() != m_document->model())
                setRootObject(m_document->model());
        });
}

void CharacterView::setImageChooser(std::function<QString()> chooser)
{
    imageChooser() = std::move(chooser);
}

void CharacterView::openTracingImageFile(const QString& path)
{
    if (path.isEmpty())
        return;
    if (!m_document->openTracingImage(path))
        appController()->showAlertMessage(localized("The image could not be read."), path, QWidget::window());
}

bool CharacterView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (action != kOpenTracingImageAction)
        return false;
    if (imageChooser()) {
        openTracingImageFile(imageChooser()());
        return true;
    }
    // Attached to the window, as the other questions about this document are.
    auto* dialog = new QFileDialog(QWidget::window(), localized("Open Tracing Image"), QString(),
        localized("Images (*.png *.jpg *.jpeg)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, &CharacterView::openTracingImageFile);
    dialog->open();
    return true;
}

bool CharacterView::validateMenuItem(MenuItemValidation& item)
{
    if (item.action == kOpenTracingImageAction) {
        item.enabled = true;
        return true;
    }
    return false;
}

void buildCharacterWindowContents(DocumentWindow& window)
{
    auto* document = dynamic_cast<CharacterDocument*>(window.document());
    if (!document)
        return;
    auto* area = new QWidget;
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* view = new CharacterView(document, area);
    grid->addWidget(view, 0, 0);
    // The editors lie over the view, hidden until they edit something.
    auto* partEditor = new EditingControllerView(document, true, area);
    auto* imageEditor = new EditingControllerView(document, true, area);
    auto* groupEditor = new EditingControllerView(document, false, area);
    partEditor->setObjectName(QStringLiteral("partEditor"));
    imageEditor->setObjectName(QStringLiteral("imageEditor"));
    groupEditor->setObjectName(QStringLiteral("groupEditor"));
    for (EditingControllerView* editor : { partEditor, imageEditor, groupEditor }) {
        grid->addWidget(editor, 0, 0);
        window.addEditor(editor);
    }
    document->setEditors(partEditor, imageEditor, nullptr);
    document->setGroupEditor(groupEditor);
    window.setCentralWidget(area);
    window.setEditingAreas(view, view, view);
    view->setFocus();

    QToolBar* toolbar = window.toolbar();
    toolbar->addAction(MenuActions::make(toolbar, localized("Leave Editor"), kPopEditorAction));
    toolbar->addAction(MenuActions::make(toolbar, localized("Tracing Image"), kToggleTracingImageAction));
    toolbar->addAction(MenuActions::make(toolbar, localized("Open Tracing Image"), kOpenTracingImageAction));
    const QStringList icons { QStringLiteral("toolbar_up"), QStringLiteral("toolbar_tracing"),
        QStringLiteral("toolbar_open_image") };
    for (qsizetype i = 0; i < icons.size() && i < toolbar->actions().size(); ++i)
        toolbar->actions().at(i)->setIcon(QIcon(QStringLiteral(":/images/%1.png").arg(icons.at(i))));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

} // namespace zandrel
