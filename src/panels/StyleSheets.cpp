#include "panels/StyleSheets.h"

#include "app/AppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/UIUtils.h"
#include "colorui/ColorAdjuster.h"
#include "colorui/ColorPopups.h"
#include "colorui/GradientGeometryControl.h"
#include "colorui/GradientPopups.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "panels/DialogUtilities.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"

#include <QAction>
#include <QDataStream>
#include <QDrag>
#include <QDropEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// The opacity sliders run in hundredths, the blur slider in tenths of a blur unit.
constexpr int kOpacitySteps = 100;
constexpr int kBlurStepsPerUnit = 10;
void selectColor(PopupButton& popup, const ZDLColorPtr& color)
{
    QAction* item
        = color ? popup.itemWithRepresentedObject(DialogUtilities::colorObject(color.get())) : nullptr;
    popup.selectItem(item);
    if (!item) {
        popup.setTitle(color ? color->name() : QString());
        popup.setIcon(QIcon());
    }
}

// The list as the character's "styles" key takes it.
Value stylesValue(const QList<NamedShapeStylePtr>& styles)
{
    ValueList list;
    for (const NamedShapeStylePtr& style : styles)
        list.append(Value(ObjectPtr(style)));
    return Value(list);
}

// Replaces the character's styles as one undoable step of the name.
void undoableSetStyles(ZDLDocument& document, const std::shared_ptr<CharacterModel>& model,
    const QList<NamedShapeStylePtr>& styles, const char* actionName)
{
    document.undoableSetPropertyFor(model, CharacterModel::kStylesKey, stylesValue(styles));
    document.undoManager()->setActionName(localized(actionName));
}

QSlider* newSlider(QWidget* parent, const QString& name, int maximum)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(0, maximum);
    slider->setMinimumWidth(160);
    return slider;
}

} // namespace

// --- The list ---

StyleTable::StyleTable(EditStylesController* controller, QWidget* parent)
    : QListWidget(parent)
    , m_controller(controller)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setIconSize(QSize(30, 16));
}

int StyleTable::dropRowAt(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return count();
    const QRect rect = visualRect(index);
    return index.row() + (point.y() > rect.center().y() ? 1 : 0);
}

void StyleTable::startDrag(Qt::DropActions)
{
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    if (rows.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(EditStylesController::dragDataForRows(rows));
    if (QListWidgetItem* first = item(rows.first()))
        drag->setPixmap(first->icon().pixmap(iconSize()));
    // The drop has moved the styles already: nothing is left to remove here.
    drag->exec(Qt::MoveAction);
}

void StyleTable::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == this && event->mimeData()->hasFormat(EditStylesController::kStyleDragType))
        event->acceptProposedAction();
    else
        event->ignore();
}

void StyleTable::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->source() != this || !event->mimeData()->hasFormat(EditStylesController::kStyleDragType)) {
        event->ignore();
        return;
    }
    QListWidget::dragMoveEvent(event);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void StyleTable::dropEvent(QDropEvent* event)
{
    const bool moved = event->source() == this
        && m_controller->acceptDrop(event->mimeData(), dropRowAt(event->position().toPoint()));
    if (moved) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
    setState(NoState);
    viewport()->update();
}

// --- The styles sheet ---

EditStylesController::EditStylesController(
    const std::shared_ptr<CharacterModel>& model, ZDLDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("EditStylesDialog"))
    , m_model(model)
    , m_document(document)
{
    QDialog* box = sheet();
    box->setWindowTitle(localized("Edit Styles"));
    auto* sheetLayout = qobject_cast<QVBoxLayout*>(box->layout());

    m_stylesLabel = new QLabel(box);
    m_stylesLabel->setObjectName(QStringLiteral("stylesLabel"));
    m_table = new StyleTable(this, box);
    m_table->setObjectName(QStringLiteral("table"));
    m_table->setMinimumSize(180, 260);
    m_deleteButton = new QPushButton(localized("Delete"), box);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_deleteButton->setAutoDefault(false);
    m_previewImage = new QLabel(box);
    m_previewImage->setObjectName(QStringLiteral("previewImage"));
    m_previewImage->setFixedSize(60, 52);
    m_previewImage->setAlignment(Qt::AlignCenter);

    // The list and its button on the left, the preview over the style's fields on the right.
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(m_table, 1);
    listColumn->addWidget(m_deleteButton, 0, Qt::AlignLeft);
    auto* fieldsColumn = new QVBoxLayout;
    fieldsColumn->addWidget(m_previewImage, 0, Qt::AlignHCenter);
    sheetLayout->removeItem(form());
    fieldsColumn->addLayout(form());
    fieldsColumn->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(listColumn);
    columns->addLayout(fieldsColumn, 1);
    sheetLayout->insertWidget(0, m_stylesLabel);
    sheetLayout->insertLayout(1, columns);

    m_nameField = addField(localized("Name:"), QStringLiteral("nameField"));
    bindText(
        m_nameField, [this] { return m_currentStyle ? m_currentStyle->name() : QString(); },
        [this](const QString& text) { setName(text); });

    m_lineColorPopup = new PopupButton(box);
    m_lineColorPopup->setObjectName(QStringLiteral("lineColorPopup"));
    m_lineColorAdjuster = new ColorAdjuster(box);
    m_lineColorAdjuster->setObjectName(QStringLiteral("lineColorAdjuster"));
    m_lineColorAdjuster->setMinimumSize(170, 18);
    auto* lineColorRow = new QHBoxLayout;
    lineColorRow->addWidget(m_lineColorPopup);
    lineColorRow->addWidget(m_lineColorAdjuster, 1);
    form()->addRow(localized("Line color:"), lineColorRow);

    m_lineStylePopup = new PopupButton(box);
    m_lineStylePopup->setObjectName(QStringLiteral("lineStylePopup"));
    AppController::setupLineStyleMenu(m_lineStylePopup->itemMenu());
    form()->addRow(localized("Line style:"), m_lineStylePopup);

    m_lineWeightField = new QLineEdit(box);
    m_lineWeightField->setObjectName(QStringLiteral("lineWeightField"));
    m_lineWeightField->setMaximumWidth(70);
    bindNumber(
        m_lineWeightField, QStringLiteral("lineWeight"),
        [this] { return m_currentStyle ? double(m_currentStyle->lineWeight()) : 0.0; },
        [this](double weight) { setLineWeight(weight); }, 0.0, kLargestWeight);
    m_lineWeightPopup = new PopupButton(box);
    m_lineWeightPopup->setObjectName(QStringLiteral("lineWeightPopup"));
    DialogUtilities::addLineWeightItems(*m_lineWeightPopup);
    auto* weightRow = new QHBoxLayout;
    weightRow->addWidget(m_lineWeightField);
    weightRow->addWidget(new QLabel(localized("pt"), box));
    weightRow->addWidget(m_lineWeightPopup);
    weightRow->addStretch();
    form()->addRow(localized("Line weight:"), weightRow);

    m_lineOpacitySlider = newSlider(box, QStringLiteral("lineOpacitySlider"), kOpacitySteps);
    form()->addRow(localized("Line opacity:"), m_lineOpacitySlider);

    m_fillTypeSelector = new SegmentedControl({ localized("Color"), localized("Gradient") }, box);
    m_fillTypeSelector->setObjectName(QStringLiteral("fillTypeSelector"));
    form()->addRow(localized("Fill:"), m_fillTypeSelector);

    m_fillColorView = new QWidget(box);
    m_fillColorView->setObjectName(QStringLiteral("fillColorView"));
    auto* fillColorRow = new QHBoxLayout(m_fillColorView);
    fillColorRow->setContentsMargins(0, 0, 0, 0);
    m_fillColorPopup = new PopupButton(m_fillColorView);
    m_fillColorPopup->setObjectName(QStringLiteral("fillColorPopup"));
    m_fillColorAdjuster = new ColorAdjuster(m_fillColorView);
    m_fillColorAdjuster->setObjectName(QStringLiteral("fillColorAdjuster"));
    m_fillColorAdjuster->setMinimumSize(170, 18);
    fillColorRow->addWidget(m_fillColorPopup);
    fillColorRow->addWidget(m_fillColorAdjuster, 1);
    m_fillGradientPopup = new GradientPopupButton(box);
    m_fillGradientPopup->setObjectName(QStringLiteral("fillGradientPopup"));
    m_fillGradientPopup->setFixedSize(120, 24);
    auto* fillRow = new QHBoxLayout;
    fillRow->addWidget(m_fillColorView, 1);
    fillRow->addWidget(m_fillGradientPopup);
    fillRow->addStretch();
    form()->addRow(localized("Fill color:"), fillRow);

    m_fillOpacitySlider = newSlider(box, QStringLiteral("fillOpacitySlider"), kOpacitySteps);
    form()->addRow(localized("Fill opacity:"), m_fillOpacitySlider);
    m_blurSlider = newSlider(box, QStringLiteral("blurSlider"), int(kLargestBlur) * kBlurStepsPerUnit);
    form()->addRow(localized("Blur:"), m_blurSlider);

    addButtons(localized("Save"), [this] { saveChanges(); });

    connect(
        m_table, &QListWidget::itemSelectionChanged, this, &EditStylesController::tableSelectionDidChange);
    connect(m_deleteButton, &QPushButton::clicked, this, &EditStylesController::deleteStyle);
    connect(m_lineColorPopup, &PopupButton::activated, this, [this](QAction* item) {
        if (PopupButton::tagOf(item) == DialogUtilities::kAddColorTag)
            addColorAndSetToLine();
        else
            setLineColor();
    });
    connect(m_fillColorPopup, &PopupButton::activated, this, [this](QAction* item) {
        if (PopupButton::tagOf(item) == DialogUtilities::kAddColorTag)
            addColorAndSetToFill();
        else
            setFillColor();
    });
    connect(m_lineStylePopup, &PopupButton::activated, this, &EditStylesController::setLineStyle);
    connect(m_lineWeightPopup, &PopupButton::activated, this, &EditStylesController::setLineWeightFromPopup);
    connect(m_lineColorAdjuster, &ColorAdjuster::action, this, &EditStylesController::setLineAdjust);
    connect(m_fillColorAdjuster, &ColorAdjuster::action, this, &EditStylesController::setFillAdjust);
    connect(m_lineOpacitySlider, &QSlider::valueChanged, this, &EditStylesController::setLineOpacity);
    connect(m_fillOpacitySlider, &QSlider::valueChanged, this, &EditStylesController::setFillOpacity);
    connect(m_blurSlider, &QSlider::valueChanged, this, &EditStylesController::setBlur);
    connect(m_fillTypeSelector, &SegmentedControl::action, this, &EditStylesController::setFillType);
    connect(m_fillGradientPopup, &PopupWell::action, this, &EditStylesController::setFillGradient);

    updateColorControls();
}

EditStylesController::~EditStylesController()
{
    if (m_newColorPopup)
        m_newColorPopup->close();
    delete m_newColorPopup;
}

void EditStylesController::showWindow()
{
    m_styles.clear();
    if (m_model) {
        for (const NamedShapeStylePtr& style : m_model->styles()) {
            if (style)
                m_styles.append(std::static_pointer_cast<NamedShapeStyle>(style->copy()));
        }
        m_stylesLabel->setText(localized("Styles in “%1”").arg(m_model->characterName()));
    }
    m_currentStyle.reset();
    reloadTable();
    updateControls();
    // A list whose first row is only current looks chosen while its fields stay empty: choose it.
    if (!m_styles.isEmpty())
        selectRow(0);
    DialogController::showWindow();
}

void EditStylesController::reloadTable()
{
    const QSignalBlocker blocker(m_table);
    m_table->clear();
    const qreal scale = m_table->devicePixelRatioF();
    for (const NamedShapeStylePtr& style : m_styles) {
        QPixmap preview = QPixmap::fromImage(style->image(scale));
        preview.setDevicePixelRatio(scale);
        m_table->addItem(new QListWidgetItem(QIcon(preview), style->name()));
    }
    const qsizetype row = m_styles.indexOf(m_currentStyle);
    if (row >= 0)
        m_table->setCurrentRow(int(row));
}

void EditStylesController::selectRow(int row)
{
    m_table->setCurrentRow(row);
    m_table->item(row)->setSelected(true);
}

void EditStylesController::updateColorControls()
{
    if (!m_model)
        return;
    DialogUtilities::setupColorPopup(*m_lineColorPopup, m_model.get(), true, true);
    DialogUtilities::setupColorPopup(*m_fillColorPopup, m_model.get(), true, true);
}

void EditStylesController::showWeight(float weight)
{
    DialogUtilities::setPopupToWeightValues(*m_lineWeightPopup, { weight });
    QAction* match = nullptr;
    for (QAction* item : m_lineWeightPopup->items()) {
        if (!item->isSeparator() && DialogUtilities::floatFromWeightMenuItem(item) == weight)
            match = item;
    }
    m_lineWeightPopup->selectItem(match);
    if (!match)
        m_lineWeightPopup->setTitle(localized("%1 pt").arg(formatNumber(weight)));
}

void EditStylesController::updateControls()
{
    m_loading = true;
    const NamedShapeStyle* style = m_currentStyle.get();
    const bool on = style != nullptr;
    for (QWidget* control : std::initializer_list<QWidget*> { m_deleteButton, m_nameField, m_lineColorPopup,
             m_lineStylePopup, m_lineColorAdjuster, m_lineWeightField, m_lineWeightPopup, m_lineOpacitySlider,
             m_fillTypeSelector, m_fillOpacitySlider, m_blurSlider })
        control->setEnabled(on);
    if (!style) {
        m_previewImage->clear();
        m_nameField->clear();
        m_fillColorView->hide();
        m_fillGradientPopup->hide();
        m_loading = false;
        return;
    }
    flushCache();
    m_nameField->setText(style->name());

    selectColor(*m_lineColorPopup, style->lineColor());
    m_lineColorAdjuster->setColor(style->lineColor() ? style->lineColor()->color() : RgbColor());
    m_lineColorAdjuster->setFloatValue(style->lineColorAdjust());
    if (!m_lineStylePopup->selectItemWithTag(int(style->lineDash())))
        m_lineStylePopup->setTitle(QString());
    m_lineWeightField->setText(formatNumber(style->lineWeight()));
    showWeight(style->lineWeight());
    m_lineOpacitySlider->setValue(int(std::lround(style->lineAlpha() * kOpacitySteps)));

    // A style without fill lights neither kind; a click on either gives it one.
    const bool anyFill = style->fill() != nullptr;
    const bool colorFill = anyFill && style->fillType() == FillTypeColor;
    m_fillTypeSelector->setSelectedSegments(anyFill ? QSet<int> { colorFill ? 0 : 1 } : QSet<int> {});
    m_fillColorView->setVisible(colorFill);
    m_fillGradientPopup->setVisible(anyFill && !colorFill);
    if (!anyFill) {
        m_fillGradientPopup->setGradientFillValue(GradientFill());
    } else if (colorFill) {
        const ZDLColorPtr fillColor = style->fillColor();
        selectColor(*m_fillColorPopup, fillColor);
        m_fillColorAdjuster->setColor(fillColor ? fillColor->color() : RgbColor());
        m_fillColorAdjuster->setFloatValue(style->fillColorAdjust());
    } else if (const auto* gradient = dynamic_cast<const GradientFill*>(style->fill().get())) {
        m_fillGradientPopup->setGradientFillValue(*gradient);
    } else {
        m_fillGradientPopup->setGradientFillValue(GradientFill());
    }
    m_fillOpacitySlider->setValue(int(std::lround(style->fillAlpha() * kOpacitySteps)));
    m_blurSlider->setValue(int(std::lround(style->blur() * kBlurStepsPerUnit)));
    m_loading = false;
}

void EditStylesController::flushCache()
{
    if (!m_currentStyle) {
        m_previewImage->clear();
        return;
    }
    m_currentStyle->flushCache();
    const qreal scale = m_previewImage->devicePixelRatioF();
    QPixmap preview = QPixmap::fromImage(m_currentStyle->largeImage(scale));
    preview.setDevicePixelRatio(scale);
    m_previewImage->setPixmap(preview);
    // The row shows the same.
    const qsizetype row = m_styles.indexOf(m_currentStyle);
    if (QListWidgetItem* item = row >= 0 ? m_table->item(int(row)) : nullptr) {
        QPixmap small = QPixmap::fromImage(m_currentStyle->image(scale));
        small.setDevicePixelRatio(scale);
        item->setIcon(QIcon(small));
    }
}

void EditStylesController::tableSelectionDidChange()
{
    // What the fields hold still belongs to the style they were showing.
    if (m_currentStyle)
        makeFirstResponder();
    const QList<QListWidgetItem*> chosen = m_table->selectedItems();
    const int row = chosen.isEmpty() ? -1 : m_table->row(chosen.first());
    m_currentStyle = row >= 0 && row < m_styles.size() ? m_styles.at(row) : nullptr;
    updateControls();
    refreshFields();
    if (m_currentStyle)
        m_nameField->setFocus();
}

// --- Edits ---

void EditStylesController::editCurrentStyle(const std::function<void(NamedShapeStyle&)>& edit)
{
    // Controls being filled in report nothing.
    if (!m_currentStyle || m_loading)
        return;
    edit(*m_currentStyle);
    flushCache();
}

void EditStylesController::setName(const QString& text)
{
    if (!m_currentStyle)
        return;
    QString requested = text.trimmed();
    // A style needs a name to be told apart in the menus.
    if (requested.isEmpty())
        requested = localized("New Style");
    const QString name = UIUtils::uniqueNameForItem(m_currentStyle.get(), m_styles, requested);
    if (name == m_currentStyle->name())
        return;
    m_currentStyle->setName(name);
    const qsizetype row = m_styles.indexOf(m_currentStyle);
    if (QListWidgetItem* item = row >= 0 ? m_table->item(int(row)) : nullptr)
        item->setText(name);
}

void EditStylesController::setLineColor()
{
    const ZDLColorPtr color = DialogUtilities::colorOfItem(m_lineColorPopup->selectedItem(), m_model.get());
    if (!m_currentStyle || !color)
        return;
    m_currentStyle->setLineColor(color);
    m_lineColorAdjuster->setColor(color->color());
    flushCache();
}

void EditStylesController::setLineStyle()
{
    if (!m_currentStyle || !m_lineStylePopup->selectedItem())
        return;
    m_currentStyle->setLineDash(m_lineStylePopup->selectedTag());
    flushCache();
}

void EditStylesController::setLineAdjust()
{
    editCurrentStyle(
        [this](NamedShapeStyle& style) { style.setLineColorAdjust(m_lineColorAdjuster->floatValue()); });
}

void EditStylesController::setLineOpacity()
{
    editCurrentStyle([this](NamedShapeStyle& style) {
        style.setLineAlpha(float(m_lineOpacitySlider->value()) / kOpacitySteps);
    });
}

void EditStylesController::setLineWeight(double weight)
{
    if (!m_currentStyle || m_loading || !std::isfinite(weight))
        return;
    const float clamped = std::clamp(float(weight), 0.0f, kLargestWeight);
    if (clamped == m_currentStyle->lineWeight())
        return;
    m_currentStyle->setLineWeight(clamped);
    showWeight(clamped);
    flushCache();
}

void EditStylesController::setLineWeightFromPopup()
{
    if (!m_currentStyle)
        return;
    const float weight = DialogUtilities::floatFromWeightMenuItem(m_lineWeightPopup->selectedItem());
    m_currentStyle->setLineWeight(weight);
    m_lineWeightField->setText(formatNumber(weight));
    showWeight(weight);
    flushCache();
}

void EditStylesController::setFillColor()
{
    const ZDLColorPtr color = DialogUtilities::colorOfItem(m_fillColorPopup->selectedItem(), m_model.get());
    if (!m_currentStyle || !color)
        return;
    m_currentStyle->setFillColor(color);
    m_fillColorAdjuster->setColor(color->color());
    flushCache();
}

void EditStylesController::setFillAdjust()
{
    editCurrentStyle(
        [this](NamedShapeStyle& style) { style.setFillColorAdjust(m_fillColorAdjuster->floatValue()); });
}

void EditStylesController::setFillOpacity()
{
    editCurrentStyle([this](NamedShapeStyle& style) {
        style.setFillAlpha(float(m_fillOpacitySlider->value()) / kOpacitySteps);
    });
}

void EditStylesController::setFillType()
{
    if (!m_currentStyle || m_loading)
        return;
    const int segment = m_fillTypeSelector->selectedSegment();
    const int type = !m_currentStyle->fill() ? -1 : m_currentStyle->fillType() == FillTypeColor ? 0 : 1;
    if (segment < 0 || segment == type)
        return;
    if (segment == 0) {
        auto fill = std::make_shared<ColorFill>();
        if (m_model) {
            fill->setFillColor(m_model->fillColor());
            fill->setFillColorAdjust(m_model->fillColorAdjust());
        }
        m_currentStyle->setFill(fill);
    } else {
        m_currentStyle->setFill(gradientFillFrom(m_currentStyle->fill()));
    }
    updateControls();
    flushCache();
}

void EditStylesController::setFillGradient()
{
    editCurrentStyle(
        [this](NamedShapeStyle& style) { style.setFill(m_fillGradientPopup->gradientFillValue()); });
}

void EditStylesController::setBlur()
{
    editCurrentStyle(
        [this](NamedShapeStyle& style) { style.setBlur(float(m_blurSlider->value()) / kBlurStepsPerUnit); });
}

void EditStylesController::prepareColorPopupForProperty(const QString& property)
{
    PopupButton* anchor = property == stylekeys::kLineColor ? m_lineColorPopup : m_fillColorPopup;
    if (!m_newColorPopup)
        m_newColorPopup = new NewColorPopupController(m_model.get(), anchor, nullptr, QString());
    m_newColorPopup->setModelAndAnchor(m_model.get(), anchor, QString());
    if (property == stylekeys::kLineColor)
        m_newColorPopup->setColorSetter([this](const ZDLColorPtr& color) { setLineWithNewColor(color); });
    else
        m_newColorPopup->setColorSetter([this](const ZDLColorPtr& color) { setFillWithNewColor(color); });
}

void EditStylesController::addColorAndSetToLine()
{
    // Until a colour comes back, the menu shows what the style has.
    updateControls();
    if (!m_currentStyle || !m_model)
        return;
    prepareColorPopupForProperty(stylekeys::kLineColor);
    m_newColorPopup->showWindow();
}

void EditStylesController::addColorAndSetToFill()
{
    updateControls();
    if (!m_currentStyle || !m_model)
        return;
    prepareColorPopupForProperty(stylekeys::kFillColor);
    m_newColorPopup->showWindow();
}

void EditStylesController::setLineWithNewColor(const ZDLColorPtr& color)
{
    updateColorControls();
    if (m_currentStyle && color)
        m_currentStyle->setLineColor(color);
    updateControls();
}

void EditStylesController::setFillWithNewColor(const ZDLColorPtr& color)
{
    updateColorControls();
    if (m_currentStyle && color)
        m_currentStyle->setFillColor(color);
    updateControls();
}

void EditStylesController::deleteStyle()
{
    if (!m_currentStyle)
        return;
    m_styles.removeAll(m_currentStyle);
    m_currentStyle.reset();
    reloadTable();
    m_table->clearSelection();
    updateControls();
    refreshFields();
}

void EditStylesController::saveChanges()
{
    if (!makeFirstResponder())
        return;
    if (m_model && m_document)
        undoableSetStyles(*m_document, m_model, m_styles, "Edit Styles");
    close();
}

// --- Reordering ---

QMimeData* EditStylesController::dragDataForRows(const QList<int>& rows)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    stream << sorted;
    auto* data = new QMimeData;
    data->setData(kStyleDragType, bytes);
    return data;
}

bool EditStylesController::acceptDrop(const QMimeData* data, int row)
{
    if (!data || row < 0 || row > m_styles.size() || !data->hasFormat(kStyleDragType))
        return false;
    QDataStream stream(data->data(kStyleDragType));
    // The rows are read one by one: a count the list cannot hold is refused before anything is
    // allocated for it.
    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok || count == 0 || count > quint32(m_styles.size()))
        return false;
    QList<int> rows;
    for (quint32 i = 0; i < count; ++i) {
        qint32 index = -1;
        stream >> index;
        if (stream.status() != QDataStream::Ok)
            return false;
        rows.append(index);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // Every row must be one of this list's.
    if (rows.first() < 0 || rows.last() >= m_styles.size())
        return false;
    QList<NamedShapeStylePtr> moved;
    int insertAt = row;
    for (const int index : rows) {
        moved.append(m_styles.at(index));
        if (index < row)
            --insertAt;
    }
    for (const NamedShapeStylePtr& style : moved)
        m_styles.removeOne(style);
    for (qsizetype i = 0; i < moved.size(); ++i)
        m_styles.insert(insertAt + i, moved.at(i));
    reloadTable();
    selectRow(int(insertAt + moved.size() - 1));
    return true;
}

// --- The new-style sheet ---

NewStyleController::NewStyleController(const NamedShapeStylePtr& style, ZDLDocument* document,
    const std::shared_ptr<CharacterModel>& model, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("NewStyleDialog"))
    , m_newStyle(style)
    , m_document(document)
    , m_model(model)
{
    sheet()->setWindowTitle(localized("Save as Style"));
    m_nameField = addField(localized("Style name:"), QStringLiteral("nameField"));
    m_nameField->setMinimumWidth(220);
    addButtons(localized("OK"), [this] { performNewStyle(); });
}

void NewStyleController::showWindow()
{
    DialogController::showWindow();
    if (m_model && m_newStyle)
        m_nameField->setText(m_model->uniqueNameForStyle(m_newStyle.get(), localized("New Style")));
    m_nameField->setFocus();
    m_nameField->selectAll();
}

void NewStyleController::performNewStyle()
{
    if (!makeFirstResponder())
        return;
    if (m_model && m_newStyle && m_document) {
        QString requested = m_nameField->text().trimmed();
        if (requested.isEmpty())
            requested = localized("New Style");
        m_newStyle->setName(m_model->uniqueNameForStyle(m_newStyle.get(), requested));
        undoableSetStyles(*m_document, m_model, m_model->styles() + QList { m_newStyle }, "Save Style");
    }
    close();
}

} // namespace zandrel
