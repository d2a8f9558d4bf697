#include "panels/ElementPropertiesSheets.h"

#include "app/AppController.h"
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "colorui/ColorAdjuster.h"
#include "colorui/ColorPopups.h"
#include "colorui/GradientGeometryControl.h"
#include "colorui/GradientPopups.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/Gradient.h"
#include "graphics/StyleKeys.h"
#include "panels/DialogUtilities.h"
#include "panels/PanelFrameControls.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"

#include <QAction>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cmath>

namespace zandrel {

namespace {

// The opacity slider works in percent.
constexpr int kOpacitySteps = 100;

// A popup well's size in the sheets.
constexpr QSize kWellSize(60, 30);

QWidget* rowOf(QWidget* parent, std::initializer_list<QWidget*> widgets)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets)
        layout->addWidget(widget);
    layout->addStretch();
    return row;
}

PopupButton* taggedPopup(QWidget* parent, const QString& name, const QStringList& titles)
{
    auto* popup = new PopupButton(parent);
    popup->setObjectName(name);
    for (int tag = 0; tag < titles.size(); ++tag)
        popup->addItem(titles.at(tag), tag);
    return popup;
}

// A colour popup with the adjuster of its colour beside it, in a row of their own.
QWidget* colorControls(QWidget* parent, const QString& prefix, PopupButton*& popup, ColorAdjuster*& adjuster)
{
    popup = new PopupButton(parent);
    popup->setObjectName(prefix + QStringLiteral("Popup"));
    adjuster = new ColorAdjuster(parent);
    adjuster->setObjectName(prefix + QStringLiteral("Adjuster"));
    adjuster->setMinimumSize(210, 24);
    return rowOf(parent, { popup, adjuster });
}

GradientPopupButton* gradientWell(QWidget* parent)
{
    auto* well = new GradientPopupButton(parent);
    well->setObjectName(QStringLiteral("gradientWell"));
    well->setFixedSize(kWellSize);
    return well;
}

template <class T> void addUnique(QList<T>& list, const T& value)
{
    if (!list.contains(value))
        list.append(value);
}

QList<QVariant> colorObjects(const QList<ZDLColorPtr>& colors)
{
    QList<QVariant> objects;
    for (const ZDLColorPtr& color : colors)
        objects.append(color ? DialogUtilities::colorObject(color.get()) : QVariant());
    return objects;
}

// The adjuster shows the colour of any member and the adjustment of any member; disabled for none.
void showAdjustment(ColorAdjuster* adjuster, const QList<ZDLColorPtr>& colors, const QSet<float>& adjusts)
{
    adjuster->setEnabled(!adjusts.isEmpty());
    if (!colors.isEmpty() && colors.first())
        adjuster->setColor(colors.first()->color());
    if (!adjusts.isEmpty())
        adjuster->setFloatValue(*adjusts.cbegin());
}

} // namespace

// --- Panel properties ---

PanelPropertiesDialogController::PanelPropertiesDialogController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("PanelPropertiesDialog"))
    , m_comicDoc(document)
{
    sheet()->setWindowTitle(localized("Panel Properties"));
    if (m_comicDoc && m_comicDoc->model() && m_comicDoc->model()->currentPanel())
        m_panels.push_back(m_comicDoc->model()->currentPanel());

    m_setSelector = new SegmentedControl({ localized("This Panel"), localized("All Panels") }, sheet());
    m_setSelector->setObjectName(QStringLiteral("setSelector"));
    m_setSelector->setSelectedSegments({ 0 });
    form()->addRow(localized("Change:"), m_setSelector);
    m_frame = new PanelFrameControls(sheet(), form());

    m_fillSelector
        = new SegmentedControl({ localized("None"), localized("Color"), localized("Gradient") }, sheet());
    m_fillSelector->setObjectName(QStringLiteral("fillSelector"));
    form()->addRow(localized("Fill:"), m_fillSelector);
    m_colorControls = colorControls(sheet(), QStringLiteral("color"), m_colorPopup, m_colorAdjuster);
    form()->addRow(localized("Fill color:"), m_colorControls);
    m_gradientWell = gradientWell(sheet());
    form()->addRow(localized("Gradient:"), m_gradientWell);
    // The fill layers as the panel declares them; the frame controls offer its shapes.
    const ElementField<ComicPanel>& layer = *fieldNamed(ComicPanel::fields(), ComicPanel::kFillLayerKey);
    m_layerPopup = taggedPopup(sheet(), QStringLiteral("layerPopup"), layer.sheetChoices());
    form()->addRow(layer.sheetLabel(), m_layerPopup);
    m_opacitySlider = new QSlider(Qt::Horizontal, sheet());
    m_opacitySlider->setObjectName(QStringLiteral("opacitySlider"));
    m_opacitySlider->setRange(0, kOpacitySteps);
    form()->addRow(localized("Fill opacity:"), m_opacitySlider);
    addButtons(localized("OK"), [this] { applyProperties(); });

    connect(m_setSelector, &SegmentedControl::action, this,
        [this] { selectPanels(m_setSelector->selectedSegment()); });
    connect(m_frame->shapePopup(), &PopupButton::activated, this, [this] { m_shapeSet = true; });
    connect(m_frame->weightPopup(), &PopupButton::activated, this, [this] { m_weightSet = true; });
    connect(m_frame->lineStylePopup(), &PopupButton::activated, this, [this] { m_lineStyleSet = true; });
    connect(m_frame->roundnessPopup(), &PopupButton::activated, this, [this] { m_roundnessSet = true; });
    connect(m_frame->roundnessField(), &QLineEdit::editingFinished, this,
        &PanelPropertiesDialogController::setRoundness);
    connect(m_fillSelector, &SegmentedControl::action, this,
        [this] { setFillType(m_fillSelector->selectedSegment()); });
    connect(m_colorPopup, &PopupButton::activated, this, [this](QAction* item) {
        if (PopupButton::tagOf(item) == DialogUtilities::kAddColorTag)
            addColorAndSetToFill();
        else
            setColor(DialogUtilities::colorOfItem(item, m_comicDoc->model()->comicColorsModel().get()));
    });
    // A new adjustment alone is a change of the fill too.
    connect(m_colorAdjuster, &ColorAdjuster::action, this, [this] { m_fillSet = true; });
    connect(m_gradientWell, &PopupWell::action, this, [this] {
        m_fillSet = true;
        showFillKind(GradientFillKind);
    });
    connect(m_layerPopup, &PopupButton::activated, this, [this] { m_layerSet = true; });
    connect(m_opacitySlider, &QSlider::actionTriggered, this, [this] { m_opacitySet = true; });
}

void PanelPropertiesDialogController::showWindow()
{
    ComicStructureList all;
    if (m_comicDoc && m_comicDoc->model())
        m_comicDoc->model()->getPanelsInArray(all);
    m_setSelector->setEnabled(all.size() != 1);
    setupColorPopup();
    setPopupValues();
    DialogController::showWindow();
}

void PanelPropertiesDialogController::selectPanels(int segment)
{
    m_panels.clear();
    const std::shared_ptr<ComicModel> comic = m_comicDoc ? m_comicDoc->model() : nullptr;
    if (!comic)
        return;
    if (segment == 0) {
        if (comic->currentPanel())
            m_panels.push_back(comic->currentPanel());
    } else {
        ComicStructureList all;
        comic->getPanelsInArray(all);
        for (const auto& element : all) {
            if (auto panel = std::dynamic_pointer_cast<ComicPanel>(element))
                m_panels.push_back(panel);
        }
    }
    setPopupValues();
}

void PanelPropertiesDialogController::setupColorPopup()
{
    const auto comic = m_comicDoc ? m_comicDoc->model() : nullptr;
    DialogUtilities::setupColorPopup(
        *m_colorPopup, comic ? comic->comicColorsModel().get() : nullptr, false, true);
}

void PanelPropertiesDialogController::showFillKind(int kind)
{
    m_fillSelector->setSelectedSegments({ kind });
    const bool filled = kind != NoFill;
    form()->setRowVisible(m_layerPopup, filled);
    form()->setRowVisible(m_opacitySlider, filled);
    form()->setRowVisible(m_colorControls, kind == ColorFillKind);
    form()->setRowVisible(m_gradientWell, kind == GradientFillKind);
    sheet()->adjustSize();
}

void PanelPropertiesDialogController::setPopupValues()
{
    const std::shared_ptr<ComicModel> comic = m_comicDoc ? m_comicDoc->model() : nullptr;
    const auto current = comic ? comic->currentPanel() : nullptr;
    QSet<int> shapes, weights, lineStyles, layers, kinds;
    QSet<float> opacities, roundnesses;
    std::shared_ptr<ColorFill> shownColor;
    std::shared_ptr<GradientFill> shownGradient;
    for (const auto& panel : m_panels) {
        shapes.insert(panel->shape());
        weights.insert(PanelFrameControls::weightToInt(panel->weight()));
        lineStyles.insert(int(panel->lineStyle()));
        layers.insert(panel->fillLayer());
        opacities.insert(panel->fillAlpha() * kOpacitySteps);
        roundnesses.insert(panel->roundness());
        const FillPtr& fill = panel->fill();
        if (!fill) {
            kinds.insert(NoFill);
        } else if (auto color = std::dynamic_pointer_cast<ColorFill>(fill)) {
            kinds.insert(ColorFillKind);
            if (!shownColor || panel == current)
                shownColor = color;
        } else if (auto gradient = std::dynamic_pointer_cast<GradientFill>(fill)) {
            kinds.insert(GradientFillKind);
            if (!shownGradient || panel == current)
                shownGradient = gradient;
        }
    }
    if (!m_roundnessSet) {
        QLineEdit* field = m_frame->roundnessField();
        if (roundnesses.size() == 1) {
            const float roundness = *roundnesses.cbegin();
            field->setText(DialogUtilities::roundnessText(roundness));
            m_frame->roundnessLabel()->setVisible(roundness >= 0);
        } else {
            field->clear();
            m_frame->roundnessLabel()->setVisible(true);
        }
        DialogUtilities::setPopupToRoundnessValues(*m_frame->roundnessPopup(), roundnesses);
    }
    if (!m_shapeSet)
        DialogUtilities::setPopupToTagValues(*m_frame->shapePopup(), shapes);
    if (!m_weightSet)
        DialogUtilities::setPopupToTagValues(*m_frame->weightPopup(), weights);
    if (!m_lineStyleSet)
        DialogUtilities::setPopupToTagValues(*m_frame->lineStylePopup(), lineStyles);
    if (!m_layerSet)
        DialogUtilities::setPopupToTagValues(*m_layerPopup, layers);
    if (!m_opacitySet)
        DialogUtilities::setFloatValue(m_opacitySlider, opacities);
    if (m_fillSet)
        return;
    if (kinds.size() == 1) {
        showFillKind(*kinds.cbegin());
    } else {
        // A mix: every kind seen is lit, and no kind's controls are offered.
        showFillKind(NoFill);
        m_fillSelector->setSelectedSegments(kinds);
    }
    if (shownGradient)
        m_gradientWell->setGradientFillValue(*shownGradient);
    m_currentColor = shownColor ? shownColor->fillColor() : nullptr;
    if (!m_currentColor && comic && comic->comicColorsModel())
        m_currentColor = comic->comicColorsModel()->whiteColor();
    m_colorAdjuster->setFloatValue(shownColor ? shownColor->fillColorAdjust() : 0.0f);
    if (m_currentColor) {
        DialogUtilities::setPopupToRepresentedObjectValues(
            *m_colorPopup, { DialogUtilities::colorObject(m_currentColor.get()) });
        m_colorAdjuster->setColor(m_currentColor->color());
    }
}

void PanelPropertiesDialogController::setFillType(int kind)
{
    m_fillSet = true;
    showFillKind(kind);
}

void PanelPropertiesDialogController::setColor(const ZDLColorPtr& color)
{
    if (!color)
        return;
    m_fillSet = true;
    m_currentColor = color;
    m_colorAdjuster->setColor(color->color());
}

void PanelPropertiesDialogController::addColorAndSetToFill()
{
    // "Add Color..." is a command, never the colour shown.
    m_colorPopup->selectItem(m_currentColor
            ? m_colorPopup->itemWithRepresentedObject(DialogUtilities::colorObject(m_currentColor.get()))
            : nullptr);
    CharacterModel* colors = m_comicDoc->model()->comicColorsModel().get();
    if (!m_newColorPopup) {
        m_newColorPopup = new NewColorPopupController(colors, m_colorPopup, nullptr, QString());
        m_newColorPopup->setColorSetter([this](const ZDLColorPtr& color) { setWithNewColor(color); });
    }
    m_newColorPopup->showWindow();
}

void PanelPropertiesDialogController::setWithNewColor(const ZDLColorPtr& color)
{
    if (!color)
        return;
    setupColorPopup();
    m_fillSet = true;
    m_currentColor = color;
    m_colorPopup->selectItem(
        m_colorPopup->itemWithRepresentedObject(DialogUtilities::colorObject(color.get())));
    m_colorAdjuster->setColor(color->color());
}

bool PanelPropertiesDialogController::roundnessTextIsValid() const
{
    const QString text = m_frame->roundnessField()->text().trimmed();
    return text.isEmpty() || text.toLower() == DialogUtilities::fullRoundnessString().toLower()
        || parseNumber(text).has_value();
}

void PanelPropertiesDialogController::setRoundness()
{
    // An emptied field keeps the panels' roundness.
    if (m_frame->roundnessField()->text().trimmed().isEmpty())
        return;
    m_roundnessSet = true;
}

void PanelPropertiesDialogController::applyProperties()
{
    if (!makeFirstResponder())
        return;
    // The word for full roundness or a number; anything else would silently become a sharp corner.
    if (m_roundnessSet && !roundnessTextIsValid()) {
        m_frame->roundnessField()->setFocus();
        m_frame->roundnessField()->selectAll();
        showAlertMessage(localized("Please enter a corner roundness from 0 to %1, or “%2”.")
                             .arg(DialogUtilities::kMaxRoundness)
                             .arg(DialogUtilities::fullRoundnessString()));
        return;
    }
    const bool changed = m_shapeSet || m_weightSet || m_lineStyleSet || m_fillSet || m_layerSet
        || m_opacitySet || m_roundnessSet;
    if (!changed || !m_comicDoc || m_panels.empty()) {
        close();
        return;
    }
    const auto setAll = [this](const QString& key, const Value& value) {
        for (const auto& panel : m_panels)
            m_comicDoc->undoableSetPropertyFor(panel, key, value);
    };
    if (m_layerSet)
        setAll(ComicPanel::kFillLayerKey, Value(std::max(0, m_layerPopup->selectedTag())));
    if (m_roundnessSet && !m_frame->roundnessField()->text().trimmed().isEmpty())
        setAll(ComicPanel::kRoundnessKey, Value(m_frame->roundness()));
    if (m_opacitySet)
        setAll(stylekeys::kFillAlpha, Value(float(m_opacitySlider->value()) / kOpacitySteps));
    if (m_shapeSet)
        setAll(ComicPanel::kShapeKey, Value(m_frame->shape()));
    if (m_lineStyleSet)
        setAll(ComicPanel::kLineStyleKey, Value(m_frame->lineStyle()));
    if (m_weightSet)
        setAll(ComicPanel::kWeightKey, Value(m_frame->weight()));
    if (m_fillSet) {
        FillPtr fill;
        const int kind = m_fillSelector->selectedSegment();
        if (kind == ColorFillKind && m_currentColor) {
            auto color = std::make_shared<ColorFill>();
            color->setFillColor(m_currentColor);
            color->setFillColorAdjust(m_colorAdjuster->floatValue());
            fill = color;
        } else if (kind == GradientFillKind) {
            fill = m_gradientWell->gradientFillValue();
        }
        // Each panel owns its fill: a later edit of one panel's fill must not reach the others.
        // Several kinds still lit (nothing chosen) leave the fills alone.
        if (kind >= 0) {
            for (const auto& panel : m_panels)
                m_comicDoc->undoableSetPropertyFor(
                    panel, stylekeys::kFill, Value(fill ? ObjectPtr(fill->copy()) : ObjectPtr()));
        }
    }
    m_comicDoc->undoManager()->setActionName(localized("Set Panel Properties"));
    close();
}

// --- Balloon properties ---

BalloonPropertiesController::BalloonPropertiesController(const QList<std::shared_ptr<Balloon>>& balloons,
    CharacterModel* model, ZDLDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("BalloonPropertiesDialog"))
    , m_document(document)
    , m_model(model)
    , m_editBalloons(balloons)
{
    sheet()->setWindowTitle(localized("Balloon Properties"));
    // The fields a balloon offers as popups of codes: "balloonShapePopup" for "shape".
    for (const ElementField<Balloon>& field : Balloon::fields()) {
        if (!field.sheetChoices)
            continue;
        const QString& name = field.property.name;
        auto* popup = taggedPopup(sheet(),
            QStringLiteral("balloon%1%2Popup").arg(name.left(1).toUpper(), name.mid(1)),
            field.sheetChoices());
        form()->addRow(field.sheetLabel(), popup);
        m_fieldPopups.push_back({ &field, popup, {} });
    }

    form()->addRow(localized("Line color:"),
        colorControls(sheet(), QStringLiteral("lineColor"), m_lineColorPopup, m_lineColorAdjuster));

    auto* weightField = new QLineEdit(sheet());
    weightField->setObjectName(QStringLiteral("lineWeightField"));
    weightField->setMaximumWidth(80);
    m_lineWeightPopup = new PopupButton(sheet());
    m_lineWeightPopup->setObjectName(QStringLiteral("lineWeightPopup"));
    m_lineWeightPopup->setPullsDown(true);
    m_lineWeightPopup->setTitle(localized("Presets"));
    for (const double weight : { 0.5, 1.0, 1.5, 2.0, 3.0, 4.0, 6.0 })
        m_lineWeightPopup->addItem(localized("%1 pt").arg(weight), int(weight * 10));
    form()->addRow(localized("Line weight:"),
        rowOf(sheet(), { weightField, new QLabel(localized("pt"), sheet()), m_lineWeightPopup }));
    bindNumber(
        weightField, QStringLiteral("lineWeight"), [this] { return m_typedWeight; },
        [this](double weight) { setLineWeight(float(weight)); }, 0.0, kLargestLineWeight);

    m_lineDashPopup = new PopupButton(sheet());
    m_lineDashPopup->setObjectName(QStringLiteral("lineDashPopup"));
    AppController::setupLineStyleMenu(m_lineDashPopup->itemMenu());
    form()->addRow(localized("Line style:"), m_lineDashPopup);

    m_fillTypeSelector = new SegmentedControl({ localized("Color"), localized("Gradient") }, sheet());
    m_fillTypeSelector->setObjectName(QStringLiteral("fillTypeSelector"));
    form()->addRow(localized("Fill:"), m_fillTypeSelector);
    m_fillColorControls
        = colorControls(sheet(), QStringLiteral("fillColor"), m_fillColorPopup, m_fillColorAdjuster);
    form()->addRow(localized("Fill color:"), m_fillColorControls);
    m_gradientWell = gradientWell(sheet());
    form()->addRow(localized("Gradient:"), m_gradientWell);
    addButtons(localized("OK"), [this] { applyBalloonProperties(); });

    updateColorMenus();
    for (const auto& balloon : m_editBalloons) {
        for (FieldPopup& field : m_fieldPopups)
            field.values.insert(int(field.field->property.getter(*balloon).toInteger()));
        addUnique(m_lineColors,
            std::dynamic_pointer_cast<ZDLColor>(balloon->valueForKey(stylekeys::kLineColor).toObject()));
        m_lineColorAdjusts.insert(balloon->valueForKey(stylekeys::kLineColorAdjust).toFloat());
        m_lineWeights.insert(balloon->valueForKey(stylekeys::kLineWeight).toFloat());
        m_lineDashes.insert(balloon->valueForKey(stylekeys::kLineDash).toInt());
        const auto fill = std::dynamic_pointer_cast<Fill>(balloon->valueForKey(stylekeys::kFill).toObject());
        if (auto color = std::dynamic_pointer_cast<ColorFill>(fill)) {
            if (!m_colorFill)
                m_colorFill = std::static_pointer_cast<ColorFill>(color->copy());
            addUnique(m_fillColors, color->fillColor());
            m_fillColorAdjusts.insert(color->fillColorAdjust());
        } else if (auto gradient = std::dynamic_pointer_cast<GradientFill>(fill);
                   gradient && !m_gradientFill) {
            m_gradientFill = std::static_pointer_cast<GradientFill>(gradient->copy());
        }
    }

    const auto tagChoice = [](QSet<int>& values) {
        return [&values](QAction* item) { values = { PopupButton::tagOf(item) }; };
    };
    for (FieldPopup& field : m_fieldPopups)
        connect(field.popup, &PopupButton::activated, this, tagChoice(field.values));
    connect(m_lineDashPopup, &PopupButton::activated, this, tagChoice(m_lineDashes));
    connect(m_lineColorPopup, &PopupButton::activated, this, [this](QAction* item) {
        if (PopupButton::tagOf(item) == DialogUtilities::kAddColorTag)
            addColor(true);
        else
            setLineColor();
    });
    connect(m_fillColorPopup, &PopupButton::activated, this, [this](QAction* item) {
        if (PopupButton::tagOf(item) == DialogUtilities::kAddColorTag)
            addColor(false);
        else
            setFillColor();
    });
    connect(m_lineColorAdjuster, &ColorAdjuster::action, this,
        [this] { m_lineColorAdjusts = { m_lineColorAdjuster->floatValue() }; });
    connect(m_fillColorAdjuster, &ColorAdjuster::action, this, [this] {
        m_setFillAdjust = true;
        if (!m_colorFill)
            m_colorFill = std::make_shared<ColorFill>();
        m_colorFill->setFillColorAdjust(m_fillColorAdjuster->floatValue());
    });
    connect(m_lineWeightPopup, &PopupButton::activated, this,
        [this](QAction* item) { setLineWeight(DialogUtilities::floatFromWeightMenuItem(item)); });
    connect(m_fillTypeSelector, &SegmentedControl::action, this,
        [this] { setFillType(m_fillTypeSelector->selectedSegment()); });
    connect(m_gradientWell, &PopupWell::action, this, [this] {
        m_setGradient = true;
        m_gradientFill = m_gradientWell->gradientFillValue();
    });
}

void BalloonPropertiesController::showWindow()
{
    updateControls();
    DialogController::showWindow();
    // The bound field shows one weight; a mix shows as an empty field.
    updateControls();
}

bool BalloonPropertiesController::setNilValueForKey(const QString& key)
{
    // An emptied weight field keeps the balloons' weights.
    return key == QStringLiteral("lineWeight") || DialogController::setNilValueForKey(key);
}

void BalloonPropertiesController::updateColorMenus()
{
    DialogUtilities::setupColorPopup(*m_lineColorPopup, m_model, true, true);
    DialogUtilities::setupColorPopup(*m_fillColorPopup, m_model, false, true);
}

ZDLColorPtr BalloonPropertiesController::colorOf(const QAction* item) const
{
    return DialogUtilities::colorOfItem(item, m_model);
}

void BalloonPropertiesController::showFillGroups(bool colour, bool gradient)
{
    form()->setRowVisible(m_fillColorControls, colour);
    form()->setRowVisible(m_gradientWell, gradient);
    sheet()->adjustSize();
}

void BalloonPropertiesController::updateControls()
{
    DialogUtilities::setPopupToRepresentedObjectValues(*m_lineColorPopup, colorObjects(m_lineColors));
    showAdjustment(m_lineColorAdjuster, m_lineColors, m_lineColorAdjusts);
    auto* weightField = sheet()->findChild<QLineEdit*>(QStringLiteral("lineWeightField"));
    if (m_lineWeights.size() == 1)
        m_typedWeight = *m_lineWeights.cbegin();
    DialogUtilities::setNumberFieldValue(weightField, m_lineWeights);
    DialogUtilities::setPopupToWeightValues(*m_lineWeightPopup, m_lineWeights);
    m_lineWeightPopup->setTitle(localized("Presets"));
    DialogUtilities::setPopupToTagValues(*m_lineDashPopup, m_lineDashes);
    for (FieldPopup& field : m_fieldPopups)
        DialogUtilities::setPopupToTagValues(*field.popup, field.values);
    if (!m_gradientFill) {
        m_fillTypeSelector->setSelectedSegments({ 0 });
        showFillGroups(true, false);
        showColorChoices();
        showAdjustment(m_fillColorAdjuster, m_fillColors, m_fillColorAdjusts);
    } else if (!m_colorFill) {
        m_fillTypeSelector->setSelectedSegments({ 1 });
        showFillGroups(false, true);
        m_gradientWell->setGradientFillValue(*m_gradientFill);
    } else {
        m_fillTypeSelector->setSelectedSegments({ 0, 1 });
        showFillGroups(false, false);
    }
}

void BalloonPropertiesController::setFillType(int segment)
{
    if (segment == 0) {
        m_setGradient = false;
        if (m_gradientFill) {
            // Gradient-filled balloons become colour-filled: the first colour fill's colour, else white.
            m_setFillColor = true;
            m_setFillAdjust = true;
            if (!m_colorFill) {
                m_colorFill = std::make_shared<ColorFill>();
                m_colorFill->setFillColor(m_model ? m_model->whiteColor() : ZDLColor::whiteColor());
            }
            m_fillColors = { m_colorFill->fillColor() };
            m_fillColorAdjusts = { m_colorFill->fillColorAdjust() };
        }
        showFillGroups(true, false);
        showColorChoices();
        showAdjustment(m_fillColorAdjuster, m_fillColors, m_fillColorAdjusts);
    } else {
        m_setFillColor = false;
        m_setFillAdjust = false;
        if (m_colorFill) {
            m_setGradient = true;
            if (!m_gradientFill) {
                // The gradient starts from the colour the balloons had.
                m_gradientFill = std::make_shared<GradientFill>();
                if (GradientPtr gradient = m_gradientFill->gradient();
                    gradient && m_colorFill->nsColor().isValid()) {
                    gradient->setColor(m_colorFill->nsColor(), 0);
                    m_gradientFill->setGradient(gradient);
                }
            }
        }
        showFillGroups(false, true);
        if (m_gradientFill)
            m_gradientWell->setGradientFillValue(*m_gradientFill);
    }
}

void BalloonPropertiesController::setLineColor()
{
    const ZDLColorPtr color = colorOf(m_lineColorPopup->selectedItem());
    if (!color)
        return;
    m_lineColorAdjuster->setColor(color->color());
    m_lineColors = { color };
}

void BalloonPropertiesController::setFillColor()
{
    const ZDLColorPtr color = colorOf(m_fillColorPopup->selectedItem());
    if (!color)
        return;
    m_setFillColor = true;
    m_fillColorAdjuster->setColor(color->color());
    if (!m_colorFill)
        m_colorFill = std::make_shared<ColorFill>();
    m_colorFill->setFillColor(color);
    m_fillColors = { color };
}

void BalloonPropertiesController::showColorChoices()
{
    DialogUtilities::setPopupToRepresentedObjectValues(*m_lineColorPopup, colorObjects(m_lineColors));
    DialogUtilities::setPopupToRepresentedObjectValues(*m_fillColorPopup, colorObjects(m_fillColors));
    // Balloons without a colour fill can be given one.
    m_fillColorPopup->setEnabled(true);
}

void BalloonPropertiesController::addColor(bool toLine)
{
    // "Add Color..." is a command, never the colour shown.
    showColorChoices();
    PopupButton* anchor = toLine ? m_lineColorPopup : m_fillColorPopup;
    if (!m_newColorPopup)
        m_newColorPopup = new NewColorPopupController(m_model, anchor, nullptr, QString());
    m_newColorPopup->setModelAndAnchor(m_model, anchor, QString());
    m_newColorPopup->setColorSetter(
        [this, toLine](const ZDLColorPtr& color) { setWithNewColor(toLine, color); });
    m_newColorPopup->showWindow();
}

void BalloonPropertiesController::setWithNewColor(bool toLine, const ZDLColorPtr& color)
{
    if (!color)
        return;
    updateColorMenus();
    showColorChoices();
    PopupButton* popup = toLine ? m_lineColorPopup : m_fillColorPopup;
    popup->selectItem(popup->itemWithRepresentedObject(DialogUtilities::colorObject(color.get())));
    if (toLine)
        setLineColor();
    else
        setFillColor();
}

void BalloonPropertiesController::setLineWeight(float weight)
{
    m_lineWeights = { weight };
    m_typedWeight = weight;
    auto* weightField = sheet()->findChild<QLineEdit*>(QStringLiteral("lineWeightField"));
    weightField->setText(formatNumber(weight));
    DialogUtilities::setPopupToWeightValues(*m_lineWeightPopup, m_lineWeights);
    m_lineWeightPopup->setTitle(localized("Presets"));
}

void BalloonPropertiesController::applyBalloonProperties()
{
    if (!makeFirstResponder())
        return;
    bool wrote = false;
    const auto write
        = [this, &wrote](const std::shared_ptr<Balloon>& balloon, const QString& key, const Value& value) {
              m_document->undoableSetPropertyFor(balloon, key, value);
              wrote = true;
          };
    for (const auto& balloon : m_editBalloons) {
        if (!m_document)
            break;
        for (const FieldPopup& field : m_fieldPopups) {
            if (field.values.size() == 1
                && field.field->property.getter(*balloon).toInteger() != *field.values.cbegin())
                write(balloon, field.field->property.name, Value(*field.values.cbegin()));
        }
        if (m_lineColors.size() == 1 && m_lineColors.first()
            && balloon->valueForKey(stylekeys::kLineColor).toObject() != m_lineColors.first())
            write(balloon, stylekeys::kLineColor, Value(m_lineColors.first()));
        if (m_lineColorAdjusts.size() == 1
            && balloon->valueForKey(stylekeys::kLineColorAdjust).toFloat() != *m_lineColorAdjusts.cbegin())
            write(balloon, stylekeys::kLineColorAdjust, Value(*m_lineColorAdjusts.cbegin()));
        if (m_lineWeights.size() == 1
            && balloon->valueForKey(stylekeys::kLineWeight).toFloat() != *m_lineWeights.cbegin())
            write(balloon, stylekeys::kLineWeight, Value(*m_lineWeights.cbegin()));
        if (m_lineDashes.size() == 1
            && balloon->valueForKey(stylekeys::kLineDash).toInt() != *m_lineDashes.cbegin())
            write(balloon, stylekeys::kLineDash, Value(qint64(*m_lineDashes.cbegin())));
        if (m_setGradient && m_gradientFill) {
            // Each balloon owns its fill.
            write(balloon, stylekeys::kFill, Value(ObjectPtr(m_gradientFill->copy())));
        } else if ((m_setFillColor || m_setFillAdjust) && m_colorFill) {
            const auto old
                = std::dynamic_pointer_cast<ColorFill>(balloon->valueForKey(stylekeys::kFill).toObject());
            auto fill
                = old ? std::static_pointer_cast<ColorFill>(old->copy()) : std::make_shared<ColorFill>();
            if (m_setFillColor)
                fill->setFillColor(m_colorFill->fillColor());
            if (m_setFillAdjust)
                fill->setFillColorAdjust(m_colorFill->fillColorAdjust());
            write(balloon, stylekeys::kFill, Value(ObjectPtr(fill)));
        }
    }
    if (wrote)
        m_document->undoManager()->setActionName(localized("Set Balloon Properties"));
    close();
}

} // namespace zandrel
