#include "app/CharacterWindowContents.h"

#include "app/DocumentToolbar.h"
#include "app/DocumentWindow.h"
#include "app/EditingControllerView.h"
#include "app/GroupEditors.h"
#include "app/ImageEditingView.h"
#include "app/MenuActions.h"
#include "app/PartEditingView.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/DocumentDialogs.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "panels/HelpComicView.h"
#include "panels/TextPropertiesController.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "views/BalloonEditingView.h"
#include "views/EditingLevelControl.h"
#include "views/PartsView.h"
#include "views/ZDLScrollArea.h"

#include <QDialog>
#include <QGridLayout>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace zandrel {

namespace {

// The character window's own toolbar items beside the shared ones.
const QString kLeaveEditorItem = QStringLiteral("LeaveEditor");
const QString kTracingImageItem = QStringLiteral("TracingImage");
const QString kOpenTracingImageItem = QStringLiteral("OpenTracingImage");
const QString kPartsViewItem = QStringLiteral("PartsView");

} // namespace

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
    grid->setSpacing(0);
    auto* view = new PartsView(document);
    // Above the view while it is in a mode of its own (the thumbnail editor): where the user is, and
    // the way back.
    auto* navigation = new EditingLevelControl(area);
    navigation->setObjectName(QStringLiteral("navigationBar"));
    navigation->setLevels(&document->navigationLevels());
    navigation->hide();
    grid->addWidget(navigation, 0, 0);
    NotificationCenter::defaultCenter().addObserver(
        navigation, kNavigationChangedNotification, document, [navigation, document](const Notification&) {
            navigation->levelsChanged();
            navigation->setVisible(document->navigationShown());
        });
    QObject::connect(navigation, &QObject::destroyed,
        [navigation] { NotificationCenter::defaultCenter().removeObserver(navigation); });
    QObject::connect(navigation, &EditingLevelControl::action, view, [view] {
        // The mode's own crumb is the last and never clicks; the character's leaves the mode.
        QTimer::singleShot(0, view, [view] { view->tryToPerform(kExitModeAction, {}); });
    });
    auto* scroll = new ZDLScrollArea(view, area);
    scroll->setObjectName(QStringLiteral("characterScrollArea"));
    grid->addWidget(scroll, 1, 0);
    // Below the view and its editors: the text formatting bar while a balloon's text is edited.
    auto* textBar = new TextPropertiesController(area);
    view->setTextPropertiesBar(textBar);
    grid->addWidget(textBar, 2, 0);
    // The editors lie over the view, hidden until they edit something; any of them that letters
    // balloons formats them from the same bar.
    EditingControllerView* partEditor = new PartEditingView(document, area);
    EditingControllerView* imageEditor = new ImageEditingView(document, area);
    EditingControllerView* groupEditor = new GroupEditingView(document, area);
    EditingControllerView* balloonGroupEditor = new BalloonGroupEditingView(document, area);
    imageEditor->setObjectName(QStringLiteral("imageEditor"));
    for (EditingControllerView* editor : { partEditor, imageEditor, groupEditor, balloonGroupEditor }) {
        grid->addWidget(editor, 1, 0);
        if (auto* lettering = dynamic_cast<BalloonEditingView*>(editor->editingView()))
            lettering->setTextPropertiesBar(textBar);
        window.addEditor(editor);
    }
    document->setEditors(partEditor, imageEditor, balloonGroupEditor);
    document->setGroupEditor(groupEditor);
    window.setCentralWidget(area);
    window.setEditingAreas(scroll, scroll, view);
    view->setFocus();
    // A new character is set up in its sheet, over the empty parts view; the help comic waits until
    // the sheet is done rather than cover it.
    QDialog* newCharacterSheet = nullptr;
    if (document->displaysNewCharacterSheet()
        && DocumentDialogs::open(kNewCharacterSheetAction, *document, area))
        newCharacterSheet = area->findChild<QDialog*>(QStringLiteral("NewCharacterSheet"));
    if (newCharacterSheet) {
        // Until the sheet is done the character has no name and no palette: its editing area, and
        // with it every command that would edit it, is out of the way.
        scroll->hide();
        QPointer<PartsView> helped(view);
        QObject::connect(newCharacterSheet, &QObject::destroyed, view, [helped, scroll, document, area] {
            // Not while the window is being taken down.
            if (!helped || !area->isVisible())
                return;
            scroll->show();
            helped->setFocus();
            HelpComicView::registerAndOffer(helped, HelpComicView::kPartsViewHelp, document, area);
        });
    } else {
        HelpComicView::registerAndOffer(view, HelpComicView::kPartsViewHelp, document, area);
    }

    QToolBar* toolbar = window.toolbar();
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    DocumentToolbar& items = window.documentToolbar();
    const auto own = [&items](const QString& identifier, const QString& label, const QString& toolTip,
                         const QString& image, const QString& action) {
        return items.toolbarItemWithIdentifier(identifier, label, label, toolTip, image, action);
    };
    // The parts-view popup, rebuilt whenever it opens and when the parts kind changes.
    auto* popup = new QToolButton(toolbar);
    popup->setObjectName(QStringLiteral("partsViewPopup"));
    popup->setPopupMode(QToolButton::InstantPopup);
    popup->setToolButtonStyle(Qt::ToolButtonTextOnly);
    popup->setToolTip(localized("Set the parts view"));
    auto* menu = new QMenu(popup);
    popup->setMenu(menu);
    const QHash<QString, QAction*> ownItems {
        { kLeaveEditorItem,
            own(kLeaveEditorItem, localized("Leave Editor"), localized("Return to the enclosing level"),
                QStringLiteral("toolbar_up"), kPopEditorAction) },
        { kTracingImageItem,
            own(kTracingImageItem, localized("Tracing Image"), localized("Show or hide the tracing image"),
                QStringLiteral("toolbar_tracing"), kToggleTracingImageAction) },
        { kOpenTracingImageItem,
            own(kOpenTracingImageItem, localized("Open Tracing Image"), localized("Open a tracing image"),
                QStringLiteral("toolbar_open_image"), kOpenTracingImageAction) },
        { kPartsViewItem,
            items.toolbarItemWithIdentifier(kPartsViewItem, localized("Parts View"), localized("Parts View"),
                localized("Set the parts view"), popup, QString(), menu) },
    };
    items.build({ DocumentToolbar::kHelpItem, DocumentToolbar::kCharColorsItem,
                    DocumentToolbar::kFlexibleSpaceItem, kLeaveEditorItem, DocumentToolbar::kNewPartItem,
                    DocumentToolbar::kEditItem, DocumentToolbar::kFlipItem, DocumentToolbar::kVFlipItem,
                    kTracingImageItem, kOpenTracingImageItem, DocumentToolbar::kFlexibleSpaceItem,
                    kPartsViewItem, DocumentToolbar::kBackgroundItem, DocumentToolbar::kViewScaleItem },
        ownItems);
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
    // Later: the item that fired may still be being handled and the rebuild replaces the items.
    QObject::connect(view, &PartsView::viewPartTypeChanged, popup,
        [popup, rebuild] { QTimer::singleShot(0, popup, rebuild); });
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
