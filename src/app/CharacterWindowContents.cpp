#include "app/CharacterWindowContents.h"

#include "app/DocumentWindow.h"
#include "app/EditingControllerView.h"
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QIcon>
#include <QMenu>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

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
    if (action == kViewSelectedTypeAction || action == kViewAllWithPosesAction) {
        setViewPartType(action == kViewAllWithPosesAction ? -1 : sender.tag);
        return true;
    }
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
    // The popup shows the choice in force.
    if (item.action == kViewSelectedTypeAction || item.action == kViewAllWithPosesAction) {
        const int type = item.action == kViewAllWithPosesAction ? -1 : item.tag;
        item.enabled = true;
        item.state = type == viewPartType() ? MenuItemValidation::State::On : MenuItemValidation::State::Off;
        return true;
    }
    return false;
}

void setupPartsViewMenu(QMenu* menu, const CharacterModel& model)
{
    if (menu->actions().size() < 3) {
        menu->clear();
        MenuActions::add(menu, QString(), kViewAllWithPosesAction);
        menu->addSeparator();
        menu->addAction(localized("Part Types"))->setEnabled(false);
    }
    while (menu->actions().size() > 3)
        delete menu->actions().last();
    menu->actions().first()->setProperty(
        "zdlTitle", model.partsKind() != 0 ? localized("All with Scenes") : localized("All with Poses"));
    menu->actions().first()->setText(menu->actions().first()->property("zdlTitle").toString());
    for (int type : model.getPartTypesSorted())
        MenuActions::add(
            menu, Part::pluralNameForType(static_cast<PartType>(type)), kViewSelectedTypeAction, type);
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

    // The parts-view popup, rebuilt whenever it opens and when the parts kind changes.
    toolbar->addSeparator();
    auto* popup = new QToolButton(toolbar);
    popup->setObjectName(QStringLiteral("partsViewPopup"));
    popup->setPopupMode(QToolButton::InstantPopup);
    popup->setToolButtonStyle(Qt::ToolButtonTextOnly);
    popup->setToolTip(localized("Set the parts view"));
    auto* menu = new QMenu(popup);
    popup->setMenu(menu);
    toolbar->addWidget(popup);
    const auto rebuild = [document, menu, popup, &window] {
        if (!document->model())
            return;
        setupPartsViewMenu(menu, *document->model());
        MenuActions::validateMenu(menu, &window);
        QString shown = menu->actions().first()->text();
        for (QAction* item : menu->actions()) {
            if (item->isChecked())
                shown = item->text();
        }
        popup->setText(shown);
    };
    QObject::connect(menu, &QMenu::aboutToShow, popup, rebuild);
    // Later: the item that fired is still being handled and the rebuild replaces the items.
    QObject::connect(
        menu, &QMenu::triggered, popup, [popup, rebuild] { QTimer::singleShot(0, popup, rebuild); });
    NotificationCenter::defaultCenter().addObserver(
        popup, kModelPropertyChangeNotification, document, [rebuild](const Notification& notification) {
            if (notification.userInfo.value(kPropertyKey).toString() == CharacterModel::kPartsKindKey)
                rebuild();
        });
    QObject::connect(
        popup, &QObject::destroyed, [popup] { NotificationCenter::defaultCenter().removeObserver(popup); });
    rebuild();
}

} // namespace zandrel
