#include "app/PartEditingView.h"

#include "app/AppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "graphics/ArrayUtils.h"
#include "panels/HelpComicView.h"
#include "panels/PropertiesController.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "tools/HandTool.h"
#include "tools/PencilTool.h"
#include "tools/QuadPenTool.h"
#include "tools/ReshapingTool.h"
#include "tools/SelectionTool.h"
#include "tools/SimpleShapeTools.h"
#include "views/EditingLevelControl.h"
#include "views/PartPreviewView.h"
#include "views/ZDLScrollArea.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace zandrel {

namespace {

// The preview's size: room for a hand or a head at its real size.
constexpr int kPreviewSide = 160;
constexpr int kInspectorWidth = 230;
const QString kPendingPartClosedKey = QStringLiteral("pendingPartClosed");
// The property of the edited part the popup shows, and of the character the style menu lists.
const QString kStylesKey = QStringLiteral("styles");

ObjectPtr parentOf(const ObjectPtr& element)
{
    const auto* child = asProtocol<ModelElement>(element);
    auto* parent = child ? dynamic_cast<Object*>(child->parent()) : nullptr;
    return parent ? parent->shared_from_this() : nullptr;
}

std::shared_ptr<Part> partOf(const ObjectPtr& object)
{
    if (auto part = std::dynamic_pointer_cast<Part>(object))
        return part;
    auto* ancestor = object ? ArrayUtils::getAncestorOfClass<Part>(object.get()) : nullptr;
    return ancestor ? std::static_pointer_cast<Part>(ancestor->shared_from_this()) : nullptr;
}

} // namespace

PartEditingView::PartEditingView(ZDLDocument* document, QWidget* parent)
    : EditingControllerView(document, true, new PartElementsView(document), parent)
    , m_partElementsView(static_cast<PartElementsView*>(editingView()))
{
    setObjectName(QStringLiteral("partEditor"));
    m_partElementsView->setEditor(this);

    // Tools and the part type in a row under the level bar.
    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("partEditorToolbar"));
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(6, 2, 6, 2);
    auto* buttons = new QButtonGroup(row);
    const QStringList titles { localized("Select"), localized("Reshape"), localized("Hand"), localized("Pen"),
        localized("Pencil"), localized("Line"), localized("Rectangle"), localized("Ellipse") };
    for (int index = 0; index < kToolCount; ++index) {
        auto* button = new QToolButton(row);
        button->setText(titles.at(index));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setProperty("tag", index);
        buttons->addButton(button, index);
        rowLayout->addWidget(button);
        m_toolButtons.append(button);
    }
    connect(buttons, &QButtonGroup::idClicked, this, [this](int index) { setCurrentTool(index); });
    rowLayout->addStretch(1);
    m_partTypeLabel = new QLabel(localized("Part Type:"), row);
    m_partTypePopup = new QComboBox(row);
    m_partTypePopup->setObjectName(QStringLiteral("partTypePopup"));
    for (int type : CharacterModel::getAllPartTypesSorted())
        m_partTypePopup->addItem(Part::singularNameForType(static_cast<PartType>(type)), type);
    connect(m_partTypePopup, &QComboBox::activated, this,
        [this](int index) { setCurrentPartType(m_partTypePopup->itemData(index).toInt()); });
    rowLayout->addWidget(m_partTypeLabel);
    rowLayout->addWidget(m_partTypePopup);

    // The editing area: the scrolled view with the preview over its corner.
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("partEditingArea"));
    auto* areaLayout = new QGridLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    auto* outer = static_cast<QVBoxLayout*>(layout());
    outer->removeWidget(scrollArea());
    areaLayout->addWidget(scrollArea(), 0, 0);
    outer->addWidget(row);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(area, 1);
    m_propsController = new PropertiesController(document, m_partElementsView, this);
    m_propsController->propertiesView()->setFixedWidth(kInspectorWidth);
    body->addWidget(m_propsController->propertiesView());
    outer->addLayout(body, 1);
    m_previewView = new PartPreviewCornerView(document, m_partElementsView, area);
    m_previewView->resize(kPreviewSide, kPreviewSide);
    m_previewView->setCorner(m_previewView->corner());

    // One tool behind each button; a button without one would stay disabled.
    m_tools.resize(kToolCount);
    m_tools[Selection] = std::make_shared<SelectionTool>();
    m_tools[Reshaping] = std::make_shared<ReshapingTool>();
    m_tools[Hand] = m_partElementsView->sharedHandTool();
    m_tools[Pen] = std::make_shared<QuadPenTool>();
    m_tools[Pencil] = std::make_shared<PencilTool>();
    m_tools[Line] = std::make_shared<LineTool>();
    m_tools[Rect] = std::make_shared<RectTool>();
    m_tools[Ellipse] = std::make_shared<EllipseTool>();
    for (int index : { Selection, Reshaping, Hand, Pen, Pencil, Line, Rect, Ellipse })
        m_tools.at(std::size_t(index))->setToolButton(m_toolButtons.at(index));
    for (int index = 0; index < kToolCount; ++index)
        m_toolButtons.at(index)->setEnabled(m_tools.at(std::size_t(index)) != nullptr);
    m_partElementsView->setRightClickTool(std::make_shared<SelectionTool>());
    setCurrentTool(Selection);
    m_partElementsView->registerForHelpPanel(QStringLiteral("part_elements_view"), document, this);
    NotificationCenter::defaultCenter().addObserver(
        this, kDocumentClosingNotification, document, [this](const Notification&) { documentClosing(); });
}

PartEditingView::~PartEditingView()
{
    DeferredCalls::cancelAll(this);
    NotificationCenter::defaultCenter().removeObserver(this);
    observeModel(nullptr);
    observePart(nullptr);
}

void PartEditingView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Qt::white);
}

void PartEditingView::documentClosing()
{
    // The part elements view hears of the closing itself.
    NotificationCenter::defaultCenter().removeObserver(this);
    m_propsController->documentClosing();
    m_previewView->documentClosing();
    m_tools.clear();
    observeModel(nullptr);
    observePart(nullptr);
    m_model.reset();
}

// --- Tools ---

void PartEditingView::setCurrentTool(int index)
{
    if (index < 0 || index >= int(m_tools.size()) || !m_tools.at(std::size_t(index)))
        return;
    m_currentTool = index;
    for (int i = 0; i < m_toolButtons.size(); ++i)
        m_toolButtons.at(i)->setChecked(i == index);
    m_partElementsView->setCurrentTool(m_tools.at(std::size_t(index)));
    m_partElementsView->setCurrentTracker(nullptr);
}

// --- Opening and leaving ---

void PartEditingView::edit(const ObjectPtr& object)
{
    if (m_partElementsView->rootObject())
        m_partElementsView->showAll();
    EditingControllerView::edit(object);
    m_partElementsView->deselectAll();
    m_partElementsView->scrollToCenterRoot();
    const std::shared_ptr<Part> part = partOf(object);
    if (part && part != m_currentPart) {
        if (!part->model())
            Log::write(QStringLiteral("Editing part with no model."));
        auto model = part->model()
            ? std::dynamic_pointer_cast<CharacterModel>(part->model()->shared_from_this())
            : nullptr;
        if (document())
            document()->setCurrentCharacter(model);
        observeModel(model);
        m_model = model;
        m_propsController->setModel(model);
        if (AppController* controller = AppController::shared(); controller && model)
            AppController::setupStyleMenuWithStyles(controller->contextualStyleMenu(), model->styles());
        const auto* parent = asProtocol<Parent>(parentOf(part));
        const ElementList siblings = parent ? parent->children() : ElementList();
        m_partIndex = siblings.contains(part) ? siblings.indexOf(part) : siblings.size();
        observePart(part);
        m_currentPart = part;
        selectPartTypeInPopup();
    }
    m_previewView->setPreviewPart(part);
    fixPartTypeMenus();
    m_propsController->needsUpdate();
    if (m_firstEntry)
        HelpComicView::createHelp(HelpComicView::kPartElementsViewHelp, document(), this, false);
    m_firstEntry = false;
}

void PartEditingView::close()
{
    const bool pending = partIsPending();
    const ObjectPtr parent = m_currentPart ? parentOf(m_currentPart) : nullptr;
    m_partElementsView->showAll();
    m_partElementsView->setRootObject(nullptr);
    observePart(nullptr);
    m_currentPart.reset();
    m_propsController->setModel(nullptr);
    observeModel(nullptr);
    m_model.reset();
    m_previewView->setPreviewPart(nullptr);
    EditingControllerView::close();
    // A new part left without a drawing was never added: its parent hears of it once the editor
    // is gone.
    if (pending && parent) {
        ZDLDocument* owner = document();
        DeferredCalls::perform(this, kPendingPartClosedKey, 0, [owner, parent] {
            if (owner)
                owner->objectsDeletedByUserInParent(parent);
        });
    }
}

bool PartEditingView::partIsPending() const
{
    if (!m_currentPart)
        return false;
    const auto* parent = asProtocol<Parent>(parentOf(m_currentPart));
    return parent && !parent->hasChild(m_currentPart.get());
}

void PartEditingView::checkToAddOrDeleteCurrentPart()
{
    if (!m_currentPart || !document())
        return;
    const ObjectPtr parent = parentOf(m_currentPart);
    const auto* container = asProtocol<Parent>(parent);
    const bool pending = partIsPending();
    const bool empty = m_currentPart->numChildren() == 0;
    if (container && pending && !empty) {
        ElementList children = container->children();
        // An undo meanwhile may have shortened the list.
        children.insert(std::clamp<qsizetype>(m_partIndex, 0, children.size()), m_currentPart);
        document()->undoableSetChildren(children, parent);
    } else if (container && !pending && empty) {
        ElementList children = container->children();
        children.removeAll(m_currentPart);
        document()->undoableSetChildren(children, parent);
    } else if (const auto* group = dynamic_cast<const PartGroup*>(m_partElementsView->rootObject().get());
               group && group->numChildren() < 2) {
        m_partElementsView->deselectAll();
        document()->popEditor();
    }
}

// --- Part type ---

void PartEditingView::setCurrentPartType(int partType)
{
    const ObjectPtr root = m_partElementsView->rootObject();
    if (!root || !document() || !dynamic_cast<const Part*>(root.get()))
        return;
    document()->undoableSetPropertyFor(root, Part::kPartTypeKey, Value(partType));
    document()->undoManager()->setActionName(localized("Set Part Type"));
}

void PartEditingView::fixPartTypeMenus()
{
    const bool part = dynamic_cast<const Part*>(m_partElementsView->rootObject().get()) != nullptr;
    m_partTypePopup->setVisible(part);
    m_partTypeLabel->setVisible(part);
}

void PartEditingView::selectPartTypeInPopup()
{
    if (m_currentPart)
        m_partTypePopup->setCurrentIndex(m_partTypePopup->findData(int(m_currentPart->partType())));
}

void PartEditingView::observePart(const std::shared_ptr<Part>& part)
{
    if (m_currentPart && m_partTypeObservation)
        m_currentPart->removeObserver(m_partTypeObservation);
    m_partTypeObservation = 0;
    if (!part)
        return;
    m_partTypeObservation = part->addObserver(Part::kPartTypeKey, this, [this](const auto&...) {
        selectPartTypeInPopup();
        if (document())
            document()->refreshPathControl();
    });
}

void PartEditingView::observeModel(const std::shared_ptr<CharacterModel>& model)
{
    // One observation at a time: the character of the part being edited.
    if (m_model && m_stylesObservation)
        m_model->removeObserver(m_stylesObservation);
    m_stylesObservation = 0;
    if (!model)
        return;
    m_stylesObservation = model->addObserver(kStylesKey, this, [this](const auto&...) {
        if (AppController* controller = AppController::shared(); controller && m_model)
            AppController::setupStyleMenuWithStyles(controller->contextualStyleMenu(), m_model->styles());
    });
}

} // namespace zandrel
