#include "app/ImageEditingView.h"

#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/ModalAlert.h"
#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLImage.h"
#include "panels/HelpComicView.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "tools/HandTool.h"
#include "tools/PencilTool.h"
#include "tools/QuadPenTool.h"
#include "tools/ReshapingTool.h"
#include "tools/SelectionTool.h"
#include "tools/SimpleShapeTools.h"
#include "views/ImageMasksView.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace zandrel {

namespace {

// In a character, a cropped element left wholly or almost wholly above or left of the origin
// would be out of reach; one that reaches this far past it stays where it is.
constexpr double kReachableExtent = 10.0;
const QString kImageViewHelp = QStringLiteral("image_view");

} // namespace

ImageEditingView::ImageEditingView(ZDLDocument* document, QWidget* parent)
    : EditingControllerView(document, true, new ImageMasksView(document), parent)
    , m_masksView(static_cast<ImageMasksView*>(editingView()))
{
    setObjectName(QStringLiteral("imageEditor"));
    m_masksView->setEditor(this);

    auto* row = new QWidget(this);
    row->setObjectName(QStringLiteral("imageEditorToolbar"));
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(6, 2, 6, 2);
    auto* buttons = new QButtonGroup(row);
    const QList<std::pair<int, QString>> titled { { Selection, localized("Select") },
        { Reshaping, localized("Reshape") }, { Hand, localized("Hand") }, { Pen, localized("Pen") },
        { Pencil, localized("Pencil") }, { Rect, localized("Rectangle") }, { Ellipse, localized("Ellipse") },
        { Cropping, localized("Crop Tool") } };
    m_toolButtons.resize(kToolCount);
    for (const auto& [index, title] : titled) {
        auto* button = new QToolButton(row);
        button->setText(title);
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setProperty("tag", index);
        buttons->addButton(button, index);
        rowLayout->addWidget(button);
        m_toolButtons[index] = button;
    }
    connect(buttons, &QButtonGroup::idClicked, this, [this](int index) { setCurrentTool(index); });
    rowLayout->addStretch(1);
    m_resampleButton = new QPushButton(localized("Resample…"), row);
    m_resampleButton->setObjectName(QStringLiteral("resampleButton"));
    connect(m_resampleButton, &QPushButton::clicked, this, [this] { resample(); });
    m_partTypeLabel = new QLabel(localized("Part Type:"), row);
    m_partTypePopup = new QComboBox(row);
    m_partTypePopup->setObjectName(QStringLiteral("imagePartTypePopup"));
    for (int type : CharacterModel::getAllPartTypesSorted())
        m_partTypePopup->addItem(Part::singularNameForType(static_cast<PartType>(type)), type);
    connect(m_partTypePopup, &QComboBox::activated, this,
        [this](int index) { setCurrentPartType(m_partTypePopup->itemData(index).toInt()); });
    m_cancelCropButton = new QPushButton(localized("Cancel"), row);
    m_cancelCropButton->setObjectName(QStringLiteral("cancelCropButton"));
    connect(m_cancelCropButton, &QPushButton::clicked, this, [this] { cancelCrop(); });
    m_cropButton = new QPushButton(localized("Crop"), row);
    m_cropButton->setObjectName(QStringLiteral("cropButton"));
    connect(m_cropButton, &QPushButton::clicked, this, [this] { crop(); });
    for (QWidget* widget : std::initializer_list<QWidget*> {
             m_resampleButton, m_partTypeLabel, m_partTypePopup, m_cancelCropButton, m_cropButton })
        rowLayout->addWidget(widget);
    static_cast<QVBoxLayout*>(layout())->insertWidget(1, row);

    m_tools.resize(kToolCount);
    m_tools[Selection] = std::make_shared<SelectionTool>();
    m_tools[Reshaping] = std::make_shared<ReshapingTool>();
    m_tools[Hand] = m_masksView->sharedHandTool();
    m_tools[Pen] = std::make_shared<QuadPenTool>();
    m_tools[Pencil] = std::make_shared<PencilTool>();
    m_tools[Line] = std::make_shared<LineTool>();
    m_tools[Rect] = std::make_shared<RectTool>();
    m_tools[Ellipse] = std::make_shared<EllipseTool>();
    m_croppingTool = std::make_shared<CroppingTool>();
    m_croppingTool->setController(this);
    m_tools[Cropping] = m_croppingTool;
    for (int index = 0; index < kToolCount; ++index)
        m_tools.at(std::size_t(index))->setToolButton(m_toolButtons.at(index));
    m_masksView->setRightClickTool(std::make_shared<SelectionTool>());
    setCroppingButtonsVisibility(false);
    setCurrentTool(Selection);
    m_masksView->registerForHelpPanel(kImageViewHelp, document, this);
    NotificationCenter::defaultCenter().addObserver(
        this, kDocumentClosingNotification, document, [this](const Notification&) { documentClosing(); });
}

ImageEditingView::~ImageEditingView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    observeElement(nullptr);
    if (m_croppingTool)
        m_croppingTool->setController(nullptr);
}

void ImageEditingView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Qt::white);
}

void ImageEditingView::documentClosing()
{
    // The masks view hears of the closing itself.
    NotificationCenter::defaultCenter().removeObserver(this);
    observeElement(nullptr);
    if (m_croppingTool)
        m_croppingTool->setController(nullptr);
    m_croppingTool.reset();
    m_tools.clear();
}

QAbstractButton* ImageEditingView::toolButton(int index) const
{
    return m_toolButtons.value(index);
}

QAbstractButton* ImageEditingView::cropButton() const
{
    return m_cropButton;
}

QAbstractButton* ImageEditingView::cancelCropButton() const
{
    return m_cancelCropButton;
}

QAbstractButton* ImageEditingView::resampleButton() const
{
    return m_resampleButton;
}

const std::shared_ptr<ImageElement>& ImageEditingView::editImage() const
{
    return m_masksView->editImage();
}

// --- Tools ---

void ImageEditingView::setCurrentTool(int index)
{
    if (index < 0 || index >= int(m_tools.size()) || !m_tools.at(std::size_t(index)))
        return;
    m_currentTool = index;
    for (const auto& tool : m_tools) {
        if (QAbstractButton* button = tool ? tool->toolButton() : nullptr)
            button->setChecked(button->property("tag").toInt() == index);
    }
    m_masksView->setCurrentTool(m_tools.at(std::size_t(index)));
    m_masksView->setCurrentTracker(nullptr);
}

// --- Opening and leaving ---

void ImageEditingView::edit(const ObjectPtr& object)
{
    auto element = std::dynamic_pointer_cast<ImageElement>(object);
    m_masksView->deselectAll();
    EditingControllerView::edit(object);
    m_masksView->setEditImage(element);
    observeElement(element);
    m_masksView->scaleToFit();
    selectPartTypeInPopup();
    // A vector picture has no pixels to crop or resample.
    const bool vector = element && element->image() && element->image()->isVector();
    m_resampleButton->setVisible(!vector && !m_croppingTool->croppingRectSet());
    m_resampleButton->setEnabled(DocumentDialogs::isInstalled(kResampleAction));
    m_toolButtons.at(Cropping)->setVisible(!vector);
    if (vector && m_currentTool == Cropping)
        setCurrentTool(Selection);
    // Offered once per window; nothing shows while no help comic of that name ships.
    if (m_firstEntry)
        HelpComicView::createHelp(kImageViewHelp, document(), this, false);
    m_firstEntry = false;
}

void ImageEditingView::close()
{
    // A rectangle belongs to the picture it was drawn on, even when the crop tool is not current.
    if (m_croppingTool)
        m_croppingTool->cancelCroppingRect();
    observeElement(nullptr);
    m_masksView->setEditImage(nullptr);
    EditingControllerView::close();
}

void ImageEditingView::observeElement(const std::shared_ptr<ImageElement>& element)
{
    if (m_observedElement && m_partTypeObservation)
        m_observedElement->removeObserver(m_partTypeObservation);
    m_partTypeObservation = 0;
    m_observedElement = element;
    if (!element)
        return;
    m_partTypeObservation = element->addObserver(ImageElement::kPartTypeKey, this, [this](const auto&...) {
        selectPartTypeInPopup();
        if (document())
            document()->refreshPathControl();
    });
}

void ImageEditingView::selectPartTypeInPopup()
{
    if (const auto& element = editImage())
        m_partTypePopup->setCurrentIndex(m_partTypePopup->findData(int(element->partType())));
}

void ImageEditingView::setCurrentPartType(int partType)
{
    const auto& element = editImage();
    if (!element || !document())
        return;
    document()->undoableSetPropertyFor(element, ImageElement::kPartTypeKey, Value(partType));
    document()->undoManager()->setActionName(localized("Set Part Type"));
}

// --- Resampling ---

ElementList ImageEditingView::elementsSharingImage(const ZDLImage* image) const
{
    const ObjectPtr model = document() ? document()->rootModel() : nullptr;
    if (const auto* character = dynamic_cast<const CharacterModel*>(model.get()))
        return character->allImageElementsUsingImage(image);
    if (const auto* comic = dynamic_cast<const ComicModel*>(model.get()))
        return comic->allImageElementsUsingImage(image);
    // An element the model does not reach still has its own picture.
    return editImage() ? ElementList { editImage() } : ElementList();
}

void ImageEditingView::resample()
{
    if (document())
        DocumentDialogs::open(kResampleAction, *document(), QWidget::window());
}

void ImageEditingView::resampleImageByScale(float factor)
{
    const auto& edited = editImage();
    // A factor that is not a positive number could not be undone.
    if (!edited || !edited->image() || !document() || !std::isfinite(factor) || factor <= 0.0f)
        return;
    const ZDLImagePtr resampled = ZDLImage::initByDownsampling(edited->image().get(), factor);
    if (!resampled)
        return;
    const float inverse = 1.0f / factor;
    if (!std::isfinite(inverse))
        return;
    m_masksView->deselectAll();
    ZDLDocument* owner = document();
    for (const ObjectPtr& object : elementsSharingImage(edited->image().get())) {
        auto* element = dynamic_cast<ImageElement*>(object.get());
        if (!element)
            continue;
        owner->undoableSetPropertyFor(object, ImageElement::kImageKey, Value(resampled));
        if (element->hasOrigin())
            owner->undoableSetPropertyFor(
                object, ImageElement::kOriginKey, Value(element->origin() * factor));
        if (element->numChildren() > 0)
            owner->undoableTransformObjects(element->children(), QTransform::fromScale(factor, factor),
                localized("Resample Image"), false);
        const QPointF placed = element->transform().map(QPointF(0, 0));
        owner->undoableTransformObjects(
            { object }, QTransform::fromScale(inverse, inverse), localized("Resample Image"), false);
        const QPointF offset = placed - element->transform().map(QPointF(0, 0));
        if (!offset.isNull())
            owner->undoableOffsetObjects({ object }, offset, false);
    }
    owner->undoManager()->setActionName(localized("Resample Image"));
    m_masksView->updateViewSize();
    m_masksView->update();
}

// --- Cropping ---

void ImageEditingView::setCroppingButtonsVisibility(bool visible)
{
    m_cropButton->setVisible(visible);
    m_cancelCropButton->setVisible(visible);
    const auto& element = editImage();
    const bool vector = element && element->image() && element->image()->isVector();
    m_resampleButton->setVisible(!visible && !vector);
    m_partTypePopup->setVisible(!visible);
    m_partTypeLabel->setVisible(!visible);
}

void ImageEditingView::cancelCrop()
{
    if (m_croppingTool)
        m_croppingTool->cancelCroppingRect();
}

void ImageEditingView::crop()
{
    const auto& edited = editImage();
    if (!edited || !edited->image() || !document())
        return;
    const QRectF cropRect
        = m_croppingTool && m_croppingTool->croppingRectSet() ? m_croppingTool->croppingRect() : QRectF();
    const ZDLImagePtr cropped = ZDLImage::initByCropping(edited->image().get(), cropRect);
    if (!cropped)
        return;
    const ElementList elements = elementsSharingImage(edited->image().get());
    if (elements.size() < 2) {
        doCropTo(cropped, cropRect, elements);
        return;
    }
    ModalAlert alert;
    alert.message
        = localized("This image is shared among %1 image elements in this document.").arg(elements.size());
    alert.informativeText
        = localized("If you continue, the crop will be applied to all image elements that share this image.");
    alert.buttons = { localized("Crop"), localized("Cancel") };
    QPointer<ImageEditingView> self(this);
    appController()->showAlert(alert, QWidget::window(), [self, cropped, cropRect, elements](int answer) {
        if (self && answer == ModalAlert::kFirstButton)
            self->doCropTo(cropped, cropRect, elements);
    });
}

void ImageEditingView::doCropTo(
    const std::shared_ptr<ZDLImage>& cropped, const QRectF& cropRect, const ElementList& elements)
{
    ZDLDocument* owner = document();
    if (!owner || !cropped)
        return;
    m_masksView->deselectAll();
    const QRectF remaining(0, 0, cropRect.width(), cropRect.height());
    for (const ObjectPtr& object : elements) {
        auto* element = dynamic_cast<ImageElement*>(object.get());
        if (!element)
            continue;
        if (element->hasOrigin())
            owner->undoableSetPropertyFor(
                object, ImageElement::kOriginKey, Value(element->origin() - cropRect.topLeft()));
        owner->undoableOffsetObjects({ object }, element->getOffsetForCrop(cropRect), false);
        owner->undoableSetPropertyFor(object, ImageElement::kImageKey, Value(cropped));
        if (element->numChildren() > 0) {
            const ElementList masks = element->children();
            owner->undoableOffsetObjects(masks, -cropRect.topLeft(), false);
            ElementList kept;
            for (const ObjectPtr& mask : masks) {
                const auto* graphic = asProtocol<GraphicElement>(mask);
                if (graphic && intersectsRect(graphic->getBounds(), remaining))
                    kept.append(mask);
            }
            if (kept.size() != masks.size())
                owner->undoableSetChildren(kept, object);
        }
        keepReachable(object);
    }
    owner->undoManager()->setActionName(localized("Crop Image"));
    if (m_croppingTool)
        m_croppingTool->cancelCroppingRect();
    m_masksView->updateViewSize();
    m_masksView->update();
}

void ImageEditingView::keepReachable(const ObjectPtr& object)
{
    ZDLDocument* owner = document();
    const auto* graphic = asProtocol<GraphicElement>(object);
    if (!owner || !graphic)
        return;
    if (dynamic_cast<const ComicDocument*>(owner)) {
        const auto* layer = ArrayUtils::getAncestorOfClass<PanelLayer>(object.get());
        const ComicPanel* panel = layer ? layer->parent() : nullptr;
        if (!panel)
            return;
        const QPointF offset = panel->getOffsetToEnsureInPanel(object);
        if (!offset.isNull())
            owner->undoableOffsetObjects({ object }, offset, false);
        return;
    }
    const QRectF bounds = graphic->getBounds();
    const double dx = bounds.x() < 0 && bounds.x() + bounds.width() < kReachableExtent ? -bounds.x() : 0;
    const double dy = bounds.y() < 0 && bounds.y() + bounds.height() < kReachableExtent ? -bounds.y() : 0;
    if (dx != 0 || dy != 0)
        owner->undoableOffsetObjects({ object }, QPointF(dx, dy), false);
}

} // namespace zandrel
