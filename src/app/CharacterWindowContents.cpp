#include "app/CharacterWindowContents.h"

#include "app/DocumentToolbar.h"
#include "app/DocumentWindow.h"
#include "app/EditingControllerView.h"
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/PasteboardParent.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "graphics/ZDLContext.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "tools/SelectionTool.h"
#include "views/ZDLScrollArea.h"

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

namespace {

// The character window's own toolbar items beside the shared ones.
const QString kLeaveEditorItem = QStringLiteral("LeaveEditor");
const QString kTracingImageItem = QStringLiteral("TracingImage");
const QString kOpenTracingImageItem = QStringLiteral("OpenTracingImage");
const QString kPartsViewItem = QStringLiteral("PartsView");

// Parts stay reachable by scrolling this many screen points beyond their edges.
constexpr double kContentMargin = 14.0;

} // namespace

CharacterView::CharacterView(CharacterDocument* document, QWidget* parent)
    : ElementEditingView(document, ScaleSetting::MainView, parent)
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

void CharacterView::setViewPartType(int type)
{
    m_viewPartType = type;
    deselectAll();
    // The parts of one type are picked and opened, not moved, among the others' empty places.
    if (auto* tool = dynamic_cast<SelectionTool*>(currentTool()))
        tool->setAllowEditing(type < 0);
    update();
}

bool CharacterView::showsPart(const ObjectPtr& child) const
{
    const auto* element = asProtocol<ComicElement>(child);
    return m_viewPartType < 0 || (element && element->partType() == m_viewPartType);
}

ObjectPtr CharacterView::childAt(const QPointF& point) const
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return nullptr;
    if (m_viewPartType < 0)
        return ElementEditingView::childAt(point);
    const ElementList children = root->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        const auto* graphic = asProtocol<GraphicElement>(*it);
        if (graphic && graphic->visible() && showsPart(*it) && graphic->containsPt(point, viewScale()))
            return *it;
    }
    return nullptr;
}

QRectF CharacterView::getContentBounds() const
{
    const double margin = kContentMargin / viewScale();
    QRectF bounds = ZDLEditingView::getContentBounds();
    if (!isEmptyRect(bounds))
        bounds = insetRect(bounds, -margin, -margin);
    if (const auto* model = dynamic_cast<const CharacterModel*>(rootObject().get()))
        bounds = unionRect(bounds, model->getTracingImageBounds());
    return bounds;
}

void CharacterView::insertFromScrap(const std::shared_ptr<PasteboardParent>& payload)
{
    if (payload && characterDoc())
        characterDoc()->undoableInsertFromScrap(payload->children(), *this, false);
}

void CharacterView::drawContent(ZDLContext& context, const QRectF& dirtyRect)
{
    auto* model = dynamic_cast<CharacterModel*>(rootObject().get());
    if (!model || !context.canvas())
        return;
    if (m_viewPartType >= 0) {
        for (const ObjectPtr& child : model->children()) {
            auto* element = asProtocol<ComicElement>(child);
            if (element && showsPart(child))
                element->drawIn(context);
        }
    } else {
        model->drawTracingImageIn(*context.canvas());
        model->drawIn(context, dirtyRect);
    }
    drawPasteboardOverlay();
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
        return ElementEditingView::tryToPerform(action, sender);
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
    if (item.isToolbarItem)
        return ElementEditingView::validateMenuItem(item);
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
    return ElementEditingView::validateMenuItem(item);
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
    auto* view = new CharacterView(document);
    auto* scroll = new ZDLScrollArea(view, area);
    scroll->setObjectName(QStringLiteral("characterScrollArea"));
    grid->addWidget(scroll, 0, 0);
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
    window.setEditingAreas(scroll, scroll, view);
    view->setFocus();

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
