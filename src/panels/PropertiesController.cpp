#include "panels/PropertiesController.h"

#include "app/AppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/CurveToleranceAdjuster.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "colorui/ColorAdjuster.h"
#include "colorui/GradientPopups.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/StyleFields.h"
#include "graphics/StyleKeys.h"
#include "panels/DialogController.h"
#include "panels/DialogUtilities.h"
#include "panels/PopupButton.h"
#include "panels/SegmentedControl.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "views/PartElementsView.h"

#include <QAction>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

namespace zandrel {

namespace {

const QString kUpdateKey = QStringLiteral("updateControlProperties");
const QString kCommitKey = QStringLiteral("commitProperty");
const QString kCommitToleranceKey = QStringLiteral("commitTolerance");

bool declares(const Object& object, const QString& property)
{
    return object.respondsToKey(property);
}

bool onlyNoColor(const QList<ZDLColorPtr>& colors)
{
    if (colors.isEmpty())
        return true;
    // No line colour at all draws like the none colour.
    return colors.size() == 1 && (!colors.first() || colors.first()->isNone());
}

QSlider* makeSlider(QWidget* parent, const QString& name, int maximum)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(0, maximum);
    return slider;
}

void setScaledSlider(QSlider* slider, const QSet<float>& values, float scale)
{
    QSet<float> scaled;
    for (float value : values)
        scaled.insert(value * scale);
    QSignalBlocker block(slider);
    DialogUtilities::setFloatValue(slider, scaled);
}

} // namespace

// --- PropertiesView ---

PropertiesView::PropertiesView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PropertiesView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), palette().window());
}

// --- PropertiesController ---

PropertiesController::PropertiesController(
    ZDLDocument* document, PartElementsView* elementsView, QWidget* parent)
    : QObject(parent)
    , m_document(document)
    , m_partElementsView(elementsView)
{
    m_propertiesView = new PropertiesView(parent);
    m_propertiesView->setObjectName(QStringLiteral("propertiesView"));
    buildControls();
    auto& center = NotificationCenter::defaultCenter();
    // Selections are posted by the views, redraws by the document.
    center.addObserver(
        this, kUpdateViewSelectionNotification, nullptr, [this](const Notification&) { needsUpdate(); });
    if (m_document) {
        center.addObserver(this, kUpdateDocumentViewsNotification, m_document,
            [this](const Notification&) { needsUpdate(); });
    }
    if (m_document) {
        center.addObserver(
            this, kToleranceAdjusterChangedNotification, m_document, [this](const Notification&) {
                if (m_document)
                    setToleranceAdjuster(m_document->toleranceAdjuster());
            });
    }
}

PropertiesController::~PropertiesController()
{
    DeferredCalls::cancelAll(this);
    NotificationCenter::defaultCenter().removeObserver(this);
    observeTolerancePath(false);
    if (m_newColorPopup)
        m_newColorPopup->deleteLater();
}

void PropertiesController::buildControls()
{
    QWidget* view = m_propertiesView;
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(8, 8, 8, 8);
    column->setSpacing(6);

    m_selectionLabel = new QLabel(view);
    m_selectionLabel->setObjectName(QStringLiteral("selectionLabel"));
    QFont bold = m_selectionLabel->font();
    bold.setBold(true);
    m_selectionLabel->setFont(bold);
    column->addWidget(m_selectionLabel);

    // Line.
    auto* lineTitle = new QLabel(localized("Line"), view);
    lineTitle->setFont(bold);
    column->addWidget(lineTitle);
    auto* line = new QFormLayout;
    line->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_lineColorPopup = new PopupButton(view);
    m_lineColorPopup->setObjectName(QStringLiteral("lineColorPopup"));
    line->addRow(localized("Color:"), m_lineColorPopup);
    m_lineColorAdjuster = new ColorAdjuster(view);
    m_lineColorAdjuster->setObjectName(QStringLiteral("lineColorAdjuster"));
    line->addRow(localized("Adjust:"), m_lineColorAdjuster);
    m_lineStylePopup = new PopupButton(view);
    m_lineStylePopup->setObjectName(QStringLiteral("lineStylePopup"));
    AppController::setupLineStyleMenu(m_lineStylePopup->itemMenu());
    line->addRow(localized("Style:"), m_lineStylePopup);
    auto* weight = new QHBoxLayout;
    m_lineWeightField = new QLineEdit(view);
    m_lineWeightField->setObjectName(QStringLiteral("lineWeightField"));
    m_lineWeightField->setMaximumWidth(60);
    m_lineWeightPopup = new PopupButton(view);
    m_lineWeightPopup->setObjectName(QStringLiteral("lineWeightPopup"));
    m_lineWeightPopup->setPullsDown(true);
    m_lineWeightPopup->setTitle(localized("pt"));
    DialogUtilities::addLineWeightItems(*m_lineWeightPopup);
    weight->addWidget(m_lineWeightField);
    weight->addWidget(m_lineWeightPopup);
    line->addRow(localized("Weight:"), weight);
    m_lineOpacitySlider = makeSlider(view, QStringLiteral("lineOpacitySlider"), kSliderScale);
    line->addRow(localized("Opacity:"), m_lineOpacitySlider);
    column->addLayout(line);

    // Fill.
    auto* fillTitle = new QLabel(localized("Fill"), view);
    fillTitle->setFont(bold);
    column->addWidget(fillTitle);
    m_fillTypeSelector = new SegmentedControl({ localized("Color"), localized("Gradient") }, view);
    m_fillTypeSelector->setObjectName(QStringLiteral("fillTypeSelector"));
    for (int type = 0; type < m_fillTypeSelector->segmentCount(); ++type)
        m_fillTypeSelector->button(type)->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The clicked segment is the fill type asked for, also when both were lit for a mix; what is
    // shown follows the elements at the refresh.
    connect(m_fillTypeSelector, &SegmentedControl::activated, this,
        [this](int segment) { setFillType(m_fillTypeSelector->tagOf(segment)); });
    column->addWidget(m_fillTypeSelector);
    m_fillColorView = new QWidget(view);
    m_fillColorView->setObjectName(QStringLiteral("fillColorView"));
    auto* fillColor = new QFormLayout(m_fillColorView);
    fillColor->setContentsMargins(0, 0, 0, 0);
    fillColor->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_fillColorPopup = new PopupButton(m_fillColorView);
    m_fillColorPopup->setObjectName(QStringLiteral("fillColorPopup"));
    fillColor->addRow(localized("Color:"), m_fillColorPopup);
    m_fillColorAdjuster = new ColorAdjuster(m_fillColorView);
    m_fillColorAdjuster->setObjectName(QStringLiteral("fillColorAdjuster"));
    fillColor->addRow(localized("Adjust:"), m_fillColorAdjuster);
    column->addWidget(m_fillColorView);
    m_fillGradientPopup = new GradientPopupButton(view);
    m_fillGradientPopup->setObjectName(QStringLiteral("fillGradientPopup"));
    m_fillGradientPopup->setModeless(true);
    m_fillGradientPopup->setMinimumHeight(30);
    m_fillGradientPopup->setCommitHandler([this](PopupWell*) { commitPreviewed(); });
    m_fillGradientPopup->setCancelHandler([this](PopupWell*) { cancelPreviewed(); });
    column->addWidget(m_fillGradientPopup);
    auto* fillRest = new QFormLayout;
    m_fillOpacitySlider = makeSlider(view, QStringLiteral("fillOpacitySlider"), kSliderScale);
    fillRest->addRow(localized("Opacity:"), m_fillOpacitySlider);
    // One step past the last whole hundredth below the largest blur: that end is the largest blur.
    m_blurSlider = makeSlider(
        view, QStringLiteral("blurSlider"), int(std::ceil(sliderFromBlur(kMaxBlur) * kSliderScale)));
    fillRest->addRow(localized("Blur:"), m_blurSlider);
    column->addLayout(fillRest);

    // Tolerance of the last pencil stroke.
    m_toleranceSliderView = new QWidget(view);
    m_toleranceSliderView->setObjectName(QStringLiteral("toleranceSliderView"));
    auto* tolerance = new QVBoxLayout(m_toleranceSliderView);
    tolerance->setContentsMargins(0, 0, 0, 0);
    m_toleranceLabel = new QLabel(m_toleranceSliderView);
    m_toleranceLabel->setObjectName(QStringLiteral("toleranceLabel"));
    m_toleranceSlider = new QSlider(Qt::Horizontal, m_toleranceSliderView);
    m_toleranceSlider->setObjectName(QStringLiteral("toleranceSlider"));
    tolerance->addWidget(m_toleranceLabel);
    tolerance->addWidget(m_toleranceSlider);
    m_toleranceSliderView->hide();
    column->addWidget(m_toleranceSliderView);

    auto* buttons = new QHBoxLayout;
    auto* hide = new QPushButton(localized("Hide"), view);
    hide->setObjectName(QStringLiteral("hideButton"));
    auto* showAll = new QPushButton(localized("Show All"), view);
    showAll->setObjectName(QStringLiteral("showAllButton"));
    m_hideButton = hide;
    m_showAllButton = showAll;
    buttons->addWidget(hide);
    buttons->addWidget(showAll);
    column->addLayout(buttons);
    column->addStretch(1);

    // The actions.
    connect(m_lineColorPopup, &PopupButton::activated, this, &PropertiesController::setLineColor);
    connect(m_fillColorPopup, &PopupButton::activated, this, &PropertiesController::setFillColor);
    connect(m_lineStylePopup, &PopupButton::activated, this, &PropertiesController::setLineStyle);
    connect(m_lineWeightField, &QLineEdit::editingFinished, this, &PropertiesController::setLineWeight);
    connect(m_lineWeightPopup, &PopupButton::activated, this, &PropertiesController::setLineWeightFromPopup);
    connect(m_lineColorAdjuster, &ColorAdjuster::action, this, &PropertiesController::setLineAdjust);
    connect(m_fillColorAdjuster, &ColorAdjuster::action, this, &PropertiesController::setFillAdjust);
    connect(m_lineOpacitySlider, &QSlider::valueChanged, this, &PropertiesController::setLineOpacity);
    connect(m_fillOpacitySlider, &QSlider::valueChanged, this, &PropertiesController::setFillOpacity);
    connect(m_blurSlider, &QSlider::valueChanged, this, &PropertiesController::setBlur);
    connect(m_toleranceSlider, &QSlider::valueChanged, this, &PropertiesController::setTolerance);
    connect(m_fillGradientPopup, &GradientPopupButton::action, this, &PropertiesController::setFillGradient);
    connect(hide, &QPushButton::clicked, this, [this] {
        if (m_partElementsView)
            m_partElementsView->hideSelection();
        needsUpdate();
    });
    connect(showAll, &QPushButton::clicked, this, [this] {
        if (m_partElementsView)
            m_partElementsView->showAll();
        needsUpdate();
    });
    for (QWidget* held : std::initializer_list<QWidget*> { m_lineColorAdjuster, m_fillColorAdjuster,
             m_lineOpacitySlider, m_fillOpacitySlider, m_blurSlider, m_toleranceSlider })
        held->installEventFilter(this);
    if (m_document) {
        m_lineColorAdjuster->setUndoManager(m_document->undoManager());
        m_fillColorAdjuster->setUndoManager(m_document->undoManager());
    }
}

QAbstractButton* PropertiesController::fillTypeButton(int type) const
{
    return m_fillTypeSelector->button(m_fillTypeSelector->segmentWithTag(type));
}

bool PropertiesController::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseButtonPress && widget && widget->isEnabled()) {
        ++m_controlsHeld;
    } else if (event->type() == QEvent::MouseButtonRelease && m_controlsHeld > 0) {
        --m_controlsHeld;
        // The control reports its last value in answer to this release; the commit follows it.
        if (watched == m_toleranceSlider) {
            DeferredCalls::cancel(this, kCommitToleranceKey);
            DeferredCalls::perform(this, kCommitToleranceKey, 0, [this] { commitTolerance(); });
        } else {
            scheduleCommit();
        }
    }
    return QObject::eventFilter(watched, event);
}

// --- Model and notifications ---

void PropertiesController::setModel(const std::shared_ptr<CharacterModel>& model)
{
    if (model == m_model)
        return;
    if (m_colorsObservation)
        NotificationCenter::defaultCenter().removeObserverToken(m_colorsObservation);
    m_colorsObservation = 0;
    m_model = model;
    updateColorControls();
    if (m_model) {
        m_colorsObservation = NotificationCenter::defaultCenter().addObserver(
            this, kUpdateModelColorsNotification, m_model.get(), [this](const Notification&) {
                updateColorControls();
                updateControlProperties();
            });
    }
}

void PropertiesController::documentClosing()
{
    if (m_newColorPopup)
        m_newColorPopup->close();
    setModel(nullptr);
    NotificationCenter::defaultCenter().removeObserver(this);
    DeferredCalls::cancelAll(this);
    disableTolerance();
    m_setPropertyOriginalValues.clear();
    m_setPropertyProperty.clear();
    m_setPropertyActionName.clear();
    m_document = nullptr;
    m_partElementsView = nullptr;
}

void PropertiesController::needsUpdate()
{
    if (m_updatePending)
        return;
    if (QWidget* area = m_propertiesView->parentWidget())
        area->update();
    m_updatePending = true;
    DeferredCalls::perform(this, kUpdateKey, 0, [this] { updateControlProperties(); });
}

ElementList PropertiesController::selection() const
{
    return m_partElementsView ? m_partElementsView->selection() : ElementList();
}

std::shared_ptr<CharacterModel> PropertiesController::character() const
{
    if (m_document && m_document->currentCharacter())
        return m_document->currentCharacter();
    return m_model;
}

// --- Colour menus ---

void PropertiesController::updateColorControls()
{
    for (PopupButton* popup : { m_lineColorPopup, m_fillColorPopup }) {
        DialogUtilities::setupColorPopup(*popup, m_model.get(), true, true);
        popup->setTitle(QString());
    }
}

// --- Refresh ---

void PropertiesController::updateControlProperties()
{
    m_updatePending = false;
    DeferredCalls::cancel(this, kUpdateKey);
    // A hidden inspector is refreshed when it is shown again.
    for (const QWidget* widget = m_propertiesView; widget && !widget->isWindow();
         widget = widget->parentWidget()) {
        if (widget->isHidden())
            return;
    }
    const ElementList selected = selection();
    if (m_tolerator
        && (selected.size() != 1
            || selected.first() != std::static_pointer_cast<Object>(m_tolerator->editObject())))
        disableTolerance();

    QList<ObjectPtr> inspected = selected;
    if (inspected.isEmpty()) {
        if (!m_model)
            return;
        inspected.append(m_model);
    }
    m_hideButton->setEnabled(m_partElementsView && m_partElementsView->numSelected() > 0);
    m_showAllButton->setEnabled(m_partElementsView && m_partElementsView->anyHidden());

    QList<ZDLColorPtr> lineColors;
    QList<ZDLColorPtr> fillColors;
    QSet<float> lineAdjusts, lineWeights, fillAdjusts, fillAlphas, lineAlphas, blurs;
    QSet<int> dashes;
    FillPtr gradient;
    bool anyColorFill = false;
    bool anyGradientFill = false;
    // Elements that could have a fill and have none.
    bool anyWithoutFill = false;
    int paths = 0;
    int groups = 0;
    for (const ObjectPtr& object : inspected) {
        if (!object)
            continue;
        const auto addColor = [](QList<ZDLColorPtr>& colors, const Value& value) {
            const auto color = value.toObject<ZDLColor>();
            if (!colors.contains(color))
                colors.append(color);
        };
        if (declares(*object, stylekeys::kLineColor))
            addColor(lineColors, object->valueForKey(stylekeys::kLineColor));
        if (declares(*object, stylekeys::kLineColorAdjust))
            lineAdjusts.insert(object->valueForKey(stylekeys::kLineColorAdjust).toFloat());
        if (declares(*object, stylekeys::kLineWeight))
            lineWeights.insert(object->valueForKey(stylekeys::kLineWeight).toFloat());
        if (declares(*object, stylekeys::kLineDash))
            dashes.insert(object->valueForKey(stylekeys::kLineDash).toInt());
        if (declares(*object, stylekeys::kFillAlpha))
            fillAlphas.insert(object->valueForKey(stylekeys::kFillAlpha).toFloat());
        if (declares(*object, stylekeys::kLineAlpha))
            lineAlphas.insert(object->valueForKey(stylekeys::kLineAlpha).toFloat());
        if (declares(*object, stylekeys::kBlur))
            blurs.insert(blurSliderPosition(object->valueForKey(stylekeys::kBlur).toFloat()));
        if (declares(*object, stylekeys::kFillType) || declares(*object, stylekeys::kFill)) {
            const FillPtr fill = object->valueForKey(stylekeys::kFill).toObject<Fill>();
            if (!fill) {
                anyWithoutFill = true;
            } else if (fillTypeOf(fill) == FillTypeColor) {
                anyColorFill = true;
                if (declares(*object, stylekeys::kFillColor))
                    addColor(fillColors, object->valueForKey(stylekeys::kFillColor));
                if (declares(*object, stylekeys::kFillColorAdjust))
                    fillAdjusts.insert(object->valueForKey(stylekeys::kFillColorAdjust).toFloat());
            } else {
                anyGradientFill = true;
                if (!gradient)
                    gradient = gradientFillOf(fill);
            }
        }
        if (dynamic_cast<const PartPath*>(object.get()))
            ++paths;
        else if (dynamic_cast<const PartGroup*>(object.get()))
            ++groups;
    }

    if (paths == 0 && groups == 0)
        m_selectionLabel->setText(localized("Defaults"));
    else if (paths > 0 && groups > 0)
        m_selectionLabel->setText(localized("Mixed Selection"));
    else if (paths == 1)
        m_selectionLabel->setText(localized("Path"));
    else if (paths > 1)
        m_selectionLabel->setText(localized("%1 Paths").arg(paths));
    else if (groups == 1)
        m_selectionLabel->setText(localized("Group"));
    else
        m_selectionLabel->setText(localized("%1 Groups").arg(groups));

    if (anyColorFill == anyGradientFill || anyWithoutFill) {
        // A mix (kinds, or fills and none), lit as far as it has fills, to be settled by a click on the
        // kind wanted; no fill at all, nothing lit, a click gives one; nothing that fills, nothing to click.
        QSet<int> lit;
        if (anyColorFill)
            lit.insert(m_fillTypeSelector->segmentWithTag(0));
        if (anyGradientFill)
            lit.insert(m_fillTypeSelector->segmentWithTag(1));
        m_fillTypeSelector->setEnabled(anyColorFill || anyGradientFill || anyWithoutFill);
        m_fillTypeSelector->setTracking(SegmentedControl::Tracking::SelectAny);
        m_fillTypeSelector->setSelectedSegments(lit);
        m_fillColorView->hide();
        m_fillGradientPopup->hide();
    } else {
        m_fillTypeSelector->setEnabled(true);
        m_fillTypeSelector->setTracking(SegmentedControl::Tracking::SelectOne);
        m_fillTypeSelector->setSelectedSegment(m_fillTypeSelector->segmentWithTag(anyGradientFill ? 1 : 0));
        m_fillColorView->setVisible(anyColorFill);
        m_fillGradientPopup->setVisible(anyGradientFill);
        if (const auto* fill = dynamic_cast<const GradientFill*>(gradient.get()))
            m_fillGradientPopup->setGradientFillValue(*fill);
    }

    const auto colorValues = [](const QList<ZDLColorPtr>& colors) {
        QList<QVariant> values;
        for (const ZDLColorPtr& color : colors)
            values.append(color ? DialogUtilities::colorObject(color.get()) : QVariant());
        return values;
    };
    DialogUtilities::setPopupToRepresentedObjectValues(*m_lineColorPopup, colorValues(lineColors));
    DialogUtilities::setPopupToRepresentedObjectValues(*m_fillColorPopup, colorValues(fillColors));
    {
        QSignalBlocker block(m_lineWeightField);
        DialogUtilities::setNumberFieldValue(m_lineWeightField, lineWeights);
    }
    DialogUtilities::setPopupToWeightValues(*m_lineWeightPopup, lineWeights);
    m_lineWeightPopup->setTitle(localized("pt"));
    DialogUtilities::setPopupToTagValues(*m_lineStylePopup, dashes);
    const auto setAdjuster
        = [](ColorAdjuster* adjuster, const QSet<float>& values, const QList<ZDLColorPtr>& colors) {
              QSignalBlocker block(adjuster);
              adjuster->setEnabled(!values.isEmpty() && !colors.isEmpty());
              if (!values.isEmpty())
                  adjuster->setFloatValue(*values.cbegin());
              else
                  adjuster->clearValue();
              for (const ZDLColorPtr& color : colors) {
                  if (color) {
                      adjuster->setColor(color->getNSColorUsingAlpha(1.0f));
                      break;
                  }
              }
          };
    setAdjuster(m_lineColorAdjuster, lineAdjusts, lineColors);
    setAdjuster(m_fillColorAdjuster, fillAdjusts, fillColors);
    // A slider being dragged keeps what the user is doing.
    if (!m_fillOpacitySlider->isSliderDown())
        setScaledSlider(m_fillOpacitySlider, fillAlphas, kSliderScale);
    if (!m_lineOpacitySlider->isSliderDown())
        setScaledSlider(m_lineOpacitySlider, lineAlphas, kSliderScale);
    if (!m_blurSlider->isSliderDown())
        setScaledSlider(m_blurSlider, blurs, kSliderScale);

    if (onlyNoColor(lineColors)) {
        for (QWidget* control : std::initializer_list<QWidget*> { m_lineColorAdjuster, m_lineWeightField,
                 m_lineStylePopup, m_lineWeightPopup, m_lineOpacitySlider })
            control->setEnabled(false);
    }
    if (!anyGradientFill && onlyNoColor(fillColors)) {
        m_fillColorAdjuster->setEnabled(false);
        m_fillOpacitySlider->setEnabled(false);
    }
}

// --- Actions ---

void PropertiesController::setLineColor()
{
    setColorFromPopup(m_lineColorPopup, stylekeys::kLineColor, localized("Set Line Color"));
}

void PropertiesController::setFillColor()
{
    setColorFromPopup(m_fillColorPopup, stylekeys::kFillColor, localized("Set Fill Color"));
}

void PropertiesController::setColorFromPopup(
    PopupButton* popup, const QString& property, const QString& actionName)
{
    QAction* item = popup->selectedItem();
    // The last item makes a new colour first.
    if (item && item == popup->items().constLast()) {
        addColorAndSet(property);
        return;
    }
    if (ZDLColorPtr color = DialogUtilities::colorOfItem(item, m_model.get()))
        setProperty(property, Value(color), actionName);
}

void PropertiesController::setLineStyle()
{
    if (QAction* item = m_lineStylePopup->selectedItem())
        setProperty(
            stylekeys::kLineDash, Value(qint64(PopupButton::tagOf(item))), localized("Set Line Style"));
}

void PropertiesController::setLineWeight()
{
    const QString text = m_lineWeightField->text().trimmed();
    if (text.isEmpty())
        return;
    const std::optional<double> parsed = DialogController::parseNumber(text);
    const float weight = parsed ? float(*parsed) : -1.0f;
    // A weight that is no number, or absurd, is put back rather than drawn.
    if (!parsed || !std::isfinite(weight) || weight < 0.0f || weight >= 100.0f) {
        updateControlProperties();
        return;
    }
    const ElementList selected = selection();
    if (!selected.isEmpty()) {
        bool allSame = true;
        for (const ObjectPtr& object : selected) {
            if (object && declares(*object, stylekeys::kLineWeight)
                && object->valueForKey(stylekeys::kLineWeight).toFloat() != weight)
                allSame = false;
        }
        if (allSame)
            return;
    }
    setProperty(stylekeys::kLineWeight, Value(weight), localized("Set Line Weight"));
}

void PropertiesController::setLineWeightFromPopup()
{
    const float weight = DialogUtilities::floatFromWeightMenuItem(m_lineWeightPopup->selectedItem());
    m_lineWeightPopup->setTitle(localized("pt"));
    if (weight > 0.0f && weight < 100.0f)
        setProperty(stylekeys::kLineWeight, Value(weight), localized("Set Line Weight"));
}

void PropertiesController::setLineAdjust()
{
    applyProperty(stylekeys::kLineColorAdjust, Value(m_lineColorAdjuster->floatValue()),
        localized("Set Line Color Adjust"));
}

void PropertiesController::setFillAdjust()
{
    applyProperty(stylekeys::kFillColorAdjust, Value(m_fillColorAdjuster->floatValue()),
        localized("Set Fill Color Adjust"));
}

void PropertiesController::setLineOpacity()
{
    applyProperty(stylekeys::kLineAlpha, Value(float(m_lineOpacitySlider->value()) / kSliderScale),
        localized("Set Line Opacity"));
}

void PropertiesController::setFillOpacity()
{
    applyProperty(stylekeys::kFillAlpha, Value(float(m_fillOpacitySlider->value()) / kSliderScale),
        localized("Set Fill Opacity"));
}

void PropertiesController::setBlur()
{
    // The slider's end reaches exactly the largest blur, never past it.
    const float position = std::min(float(m_blurSlider->value()) / kSliderScale, sliderFromBlur(kMaxBlur));
    applyProperty(stylekeys::kBlur, Value(blurFromSlider(position)), localized("Set Blur"));
}

void PropertiesController::setFillType(int type)
{
    if (type != 0 && type != 1)
        return;
    const ElementList selected = selection();
    if (selected.isEmpty()) {
        if (auto model = character())
            model->setFillType(type);
        updateControlProperties();
        return;
    }
    if (!m_document)
        return;
    bool changed = false;
    for (const ObjectPtr& object : selected) {
        auto* path = dynamic_cast<PartPath*>(object.get());
        if (!path)
            continue;
        const FillPtr before = path->fill();
        path->setFillType(type);
        const FillPtr after = path->fill();
        if (after == before)
            continue;
        // Put the old fill back for a moment so that the document records it as the value undo restores.
        path->setFill(before);
        m_document->undoableSetPropertyFor(object, stylekeys::kFill, Value(after));
        changed = true;
    }
    if (changed)
        m_document->undoManager()->setActionName(
            type == 1 ? localized("Set Gradient Fill") : localized("Set Color Fill"));
    updateControlProperties();
}

void PropertiesController::setFillGradient()
{
    previewProperty(stylekeys::kFill, Value(FillPtr(m_fillGradientPopup->gradientFillValue())),
        localized("Set Gradient Fill"));
}

void PropertiesController::addColorAndSetToLine()
{
    addColorAndSet(stylekeys::kLineColor);
}

void PropertiesController::addColorAndSetToFill()
{
    addColorAndSet(stylekeys::kFillColor);
}

void PropertiesController::adjustLineColorLighter()
{
    zdlLog(QStringLiteral("adjustLineColorLighter"));
}

void PropertiesController::addColorAndSet(const QString& property)
{
    prepareColorPopupForProperty(property);
    m_newColorPopup->showWindow();
    // The popup's selection goes back to the value shown.
    updateControlProperties();
}

void PropertiesController::prepareColorPopupForProperty(const QString& property)
{
    QWidget* anchor = property == stylekeys::kLineColor ? m_lineColorPopup : m_fillColorPopup;
    if (!m_newColorPopup)
        m_newColorPopup = new NewColorPopupController(m_model.get(), anchor, this, property);
    else
        m_newColorPopup->setModelAndAnchor(m_model.get(), anchor, property);
}

// --- Writes ---

void PropertiesController::setOnCharacter(const QString& property, const Value& value)
{
    if (auto model = character(); model && declares(*model, property))
        model->setValueForKey(value, property);
    updateControlProperties();
}

void PropertiesController::setProperty(const QString& property, const Value& value, const QString& actionName)
{
    const ElementList selected = selection();
    if (selected.isEmpty()) {
        setOnCharacter(property, value);
        return;
    }
    if (!m_document)
        return;
    bool any = false;
    for (const ObjectPtr& object : selected) {
        if (object && declares(*object, property)) {
            m_document->undoableSetPropertyFor(object, property, value);
            any = true;
        }
    }
    if (any)
        m_document->undoManager()->setActionName(actionName);
}

void PropertiesController::collectOriginalValuesFor(const QString& property, const ElementList& elements)
{
    if (changeOpen())
        return;
    m_setPropertyProperty = property;
    m_setPropertyOriginalValues.clear();
    m_setPropertyOriginalValues.reserve(std::size_t(elements.size()));
    for (const ObjectPtr& object : elements) {
        if (object && declares(*object, property))
            m_setPropertyOriginalValues.emplace_back(object, object->valueForKey(property));
    }
}

void PropertiesController::setOnOpenChange(const Value& value)
{
    for (const auto& [object, original] : m_setPropertyOriginalValues)
        object->setValueForKey(value, m_setPropertyProperty);
    if (m_document)
        m_document->updateViews();
}

void PropertiesController::applyProperty(
    const QString& property, const Value& value, const QString& actionName)
{
    const ElementList selected = selection();
    if (selected.isEmpty()) {
        setOnCharacter(property, value);
        return;
    }
    // A change of another property still open is finished first.
    if (changeOpen() && m_setPropertyProperty != property)
        commitProperty();
    m_setPropertyActionName = actionName;
    collectOriginalValuesFor(property, selected);
    setOnOpenChange(value);
    scheduleCommit();
}

void PropertiesController::scheduleCommit()
{
    DeferredCalls::cancel(this, kCommitKey);
    DeferredCalls::perform(this, kCommitKey, 0, [this] {
        // A control still held commits at its release.
        if (m_controlsHeld == 0)
            commitProperty();
    });
}

void PropertiesController::commitProperty()
{
    DeferredCalls::cancel(this, kCommitKey);
    if (!changeOpen())
        return;
    const auto originals = std::move(m_setPropertyOriginalValues);
    const QString property = m_setPropertyProperty;
    const QString actionName = m_setPropertyActionName;
    m_setPropertyOriginalValues.clear();
    m_setPropertyProperty.clear();
    m_setPropertyActionName.clear();
    if (!m_document)
        return;
    bool any = false;
    for (const auto& [object, original] : originals) {
        const Value current = object->valueForKey(property);
        // The earlier value goes back for a moment, so that the document records it as the value
        // undo restores, whatever it is (no line colour included).
        object->setValueForKey(original, property);
        m_document->undoableSetPropertyFor(object, property, current);
        any = true;
    }
    if (any)
        m_document->undoManager()->setActionName(actionName);
}

void PropertiesController::previewProperty(const QString& key, const Value& value, const QString& actionName)
{
    const ElementList selected = selection();
    if (!selected.isEmpty()) {
        if (changeOpen() && m_setPropertyProperty != key)
            commitProperty();
        m_setPropertyActionName = actionName;
        collectOriginalValuesFor(key, selected);
        setOnOpenChange(value);
        return;
    }
    const auto model = character();
    if (!changeOpen()) {
        m_setPropertyProperty = key;
        m_setPropertyActionName = actionName;
        m_setPropertyOriginalValues.clear();
        if (model && declares(*model, key))
            m_setPropertyOriginalValues.emplace_back(model, model->valueForKey(key));
    }
    setOnCharacter(key, value);
}

void PropertiesController::commitPreviewed()
{
    if (!selection().isEmpty()) {
        commitProperty();
        return;
    }
    m_setPropertyOriginalValues.clear();
    m_setPropertyProperty.clear();
    m_setPropertyActionName.clear();
}

void PropertiesController::cancelPreviewed()
{
    if (changeOpen()) {
        for (const auto& [object, original] : m_setPropertyOriginalValues)
            object->setValueForKey(original, m_setPropertyProperty);
    }
    if (m_document)
        m_document->updateViews();
    m_setPropertyOriginalValues.clear();
    m_setPropertyProperty.clear();
    m_setPropertyActionName.clear();
    needsUpdate();
}

// --- Tolerance ---

void PropertiesController::setToleranceAdjuster(const std::shared_ptr<CurveToleranceAdjuster>& adjuster)
{
    disableTolerance();
    if (!adjuster || !adjuster->editObject())
        return;
    m_tolerator = adjuster;
    const double tolerance = adjuster->tolerance();
    {
        QSignalBlocker block(m_toleranceSlider);
        m_toleranceSlider->setRange(int(std::lround(tolerance / 3 * kToleranceScale)),
            int(std::lround(tolerance * 3 * kToleranceScale)));
        m_toleranceSlider->setValue(int(std::lround(tolerance * kToleranceScale)));
    }
    m_toleranceLabel->setText(localized("Tolerance: %1").arg(tolerance, 0, 'f', 2));
    m_toleranceSliderView->show();
    observeTolerancePath(true);
}

void PropertiesController::observeTolerancePath(bool observe)
{
    if (m_segmentsObservation && m_tolerator && m_tolerator->editObject())
        m_tolerator->editObject()->removeObserver(m_segmentsObservation);
    m_segmentsObservation = 0;
    if (!observe || !m_tolerator || !m_tolerator->editObject())
        return;
    m_segmentsObservation
        = m_tolerator->editObject()->addObserver(PartPath::kSegmentsKey, this, [this](const auto&...) {
              // Another edit of the curve ends the chance to re-fit the stroke; defer, as this may run
              // inside the adjuster's own change.
              if (!m_toleratorChangingCurve)
                  DeferredCalls::perform(
                      this, QStringLiteral("disableTolerance"), 0, [this] { disableTolerance(); });
          });
}

void PropertiesController::disableTolerance()
{
    observeTolerancePath(false);
    m_tolerator.reset();
    m_toleratorChangingCurve = false;
    DeferredCalls::cancel(this, kCommitToleranceKey);
    m_toleranceSliderView->hide();
}

void PropertiesController::setTolerance()
{
    if (!m_tolerator)
        return;
    const double tolerance = double(m_toleranceSlider->value()) / kToleranceScale;
    m_toleratorChangingCurve = true;
    m_tolerator->applyTolerance(tolerance);
    m_toleratorChangingCurve = false;
    m_toleranceLabel->setText(localized("Tolerance: %1").arg(tolerance, 0, 'f', 2));
    DeferredCalls::cancel(this, kCommitToleranceKey);
    DeferredCalls::perform(this, kCommitToleranceKey, 0, [this] {
        if (m_controlsHeld == 0)
            commitTolerance();
    });
}

void PropertiesController::commitTolerance()
{
    DeferredCalls::cancel(this, kCommitToleranceKey);
    if (!m_tolerator || !m_tolerator->isAdjusting())
        return;
    m_toleratorChangingCurve = true;
    m_tolerator->commit();
    m_toleratorChangingCurve = false;
    const double tolerance = m_tolerator->tolerance();
    QSignalBlocker block(m_toleranceSlider);
    m_toleranceSlider->setRange(
        int(std::lround(tolerance / 3 * kToleranceScale)), int(std::lround(tolerance * 3 * kToleranceScale)));
    m_toleranceSlider->setValue(int(std::lround(tolerance * kToleranceScale)));
}

float PropertiesController::blurSliderPosition(float blur) const
{
    // The largest blur shows at the slider's end, a little past its square root.
    const float value = sliderFromBlur(blur);
    return value >= sliderFromBlur(kMaxBlur) ? float(m_blurSlider->maximum()) / kSliderScale : value;
}

float PropertiesController::blurFromSlider(float value)
{
    return value * value;
}

float PropertiesController::sliderFromBlur(float blur)
{
    return std::pow(blur, 0.5f);
}

} // namespace zandrel
