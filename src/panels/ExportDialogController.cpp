#include "panels/ExportDialogController.h"

#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/UserDefaults.h"
#include "views/ZDLEditingView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <cmath>

namespace zandrel {

namespace {

constexpr int kQualitySteps = 100;
constexpr const char* kControllerProperty = "controller";

// The editing view of the document in the window: the focused one, else the first shown.
ZDLEditingView* editingViewOf(ZDLDocument& document, QWidget* window)
{
    for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        auto* view = qobject_cast<ZDLEditingView*>(widget);
        if (view && view->document() == &document && view->QWidget::window() == window)
            return view;
    }
    const auto views = window ? window->findChildren<ZDLEditingView*>() : QList<ZDLEditingView*>();
    for (ZDLEditingView* view : views) {
        if (view->document() == &document && view->isVisible())
            return view;
    }
    return nullptr;
}

} // namespace

void ExportDialogController::registerDefaults()
{
    UserDefaults::standard().registerDefaults(QVariantMap {
        { kExportFileTypeKey, int(Jpeg) },
        { kExportWhatKey, int(WholeDocument) },
        { kIncludeFloatersKey, true },
        { kExportResolutionKey, 72.0f },
        { kExportQualityKey, 0.7f },
        { kResUnitsKey, int(PixelsPerInch) },
    });
}

void ExportDialogController::install()
{
    registerDefaults();
    DocumentDialogs::install(kExportDialogAction, [](ZDLDocument& document, QObject* window) {
        ZDLEditingView* view = editingViewOf(document, qobject_cast<QWidget*>(window));
        if (view)
            DialogController::create<ExportDialogController>(document, *view)->showWindow();
    });
}

ExportDialogController::ExportDialogController(ZDLDocument& document, ZDLEditingView& view)
    : DialogController(view.QWidget::window(), QStringLiteral("ExportDialog"))
    , m_currentView(&view)
{
    m_comicDoc = dynamic_cast<ComicDocument*>(&document);
    if (m_comicDoc) {
        const auto& model = m_comicDoc->model();
        const auto panel = model ? model->currentPanel() : nullptr;
        m_panelHasOverlappingFloaters = panel && !panel->overlappingFloatingElements().isEmpty();
    } else {
        m_characterDoc = dynamic_cast<CharacterDocument*>(&document);
    }
    // The stored values may have been edited by hand: anything out of range falls back.
    const UserDefaults& defaults = UserDefaults::standard();
    m_resUnits = defaults.integer(kResUnitsKey) == PixelsPerCentimetre ? PixelsPerCentimetre : PixelsPerInch;
    m_resolution = defaults.floating(kExportResolutionKey);
    if (!(m_resolution >= minimumResolution() && m_resolution <= maximumResolution()))
        m_resolution = m_resUnits == PixelsPerInch ? 72.0f : 72.0f / kCentimetresPerInch;
    m_quality = std::clamp(defaults.floating(kExportQualityKey), 0.0f, 1.0f);
    if (!std::isfinite(m_quality))
        m_quality = 0.7f;
    m_fileType = std::clamp(defaults.integer(kExportFileTypeKey), int(Jpeg), int(Pdf));
    m_whatToExport = std::clamp(defaults.integer(kExportWhatKey), int(WholeDocument), int(CurrentPanel));
    m_includeFloaters = defaults.boolean(kIncludeFloatersKey);
    buildSheet();
}

void ExportDialogController::buildSheet()
{
    QDialog* sheet = this->sheet();
    sheet->setWindowTitle(localized("Export"));
    // The sheet leads to its controller (tests drive the sheet they find in the window).
    sheet->setProperty(kControllerProperty, QVariant::fromValue(this));

    auto* types = new QWidget(sheet);
    auto* typesRow = new QHBoxLayout(types);
    typesRow->setContentsMargins(0, 0, 0, 0);
    typesRow->setSpacing(0);
    m_fileTypeSelector = new QButtonGroup(sheet);
    m_fileTypeSelector->setExclusive(true);
    const std::pair<QString, int> segments[]
        = { { localized("JPEG"), Jpeg }, { localized("PNG"), Png }, { localized("PDF"), Pdf } };
    for (const auto& [title, tag] : segments) {
        auto* segment = new QPushButton(title, types);
        segment->setCheckable(true);
        segment->setObjectName(QStringLiteral("fileType%1").arg(tag));
        m_fileTypeSelector->addButton(segment, tag);
        typesRow->addWidget(segment);
    }
    typesRow->addStretch();
    form()->addRow(localized("Format:"), types);
    connect(m_fileTypeSelector, &QButtonGroup::idClicked, this, [this] { selectFileType(); });

    m_exportPopup = new PopupButton(sheet);
    m_exportPopup->setObjectName(QStringLiteral("exportPopup"));
    m_exportPopup->addItem(
        m_characterDoc ? localized("Whole Character") : localized("Whole Comic"), WholeDocument);
    m_exportPopup->addItem(localized("Current Page"), CurrentPage);
    m_exportPopup->addItem(localized("Selection"), Selection);
    m_exportPopup->addItem(localized("Current Panel"), CurrentPanel);
    form()->addRow(localized("Export:"), m_exportPopup);
    connect(m_exportPopup, &PopupButton::activated, this, [this] { setWhatToExportFromPopup(); });

    m_floatersCheckbox = new QCheckBox(localized("Include floating elements over the panel"), sheet);
    m_floatersCheckbox->setObjectName(QStringLiteral("floatersCheckbox"));
    form()->addRow(QString(), m_floatersCheckbox);

    m_resolutionRow = new QWidget(sheet);
    auto* resolutionRow = new QHBoxLayout(m_resolutionRow);
    resolutionRow->setContentsMargins(0, 0, 0, 0);
    m_resolutionField = new QLineEdit(m_resolutionRow);
    m_resolutionField->setObjectName(QStringLiteral("resolutionField"));
    m_resolutionField->setMaximumWidth(90);
    m_unitsPopup = new PopupButton(m_resolutionRow);
    m_unitsPopup->setObjectName(QStringLiteral("unitsPopup"));
    m_unitsPopup->addItem(localized("pixels per inch"), PixelsPerInch);
    m_unitsPopup->addItem(localized("pixels per centimetre"), PixelsPerCentimetre);
    resolutionRow->addWidget(m_resolutionField);
    resolutionRow->addWidget(m_unitsPopup);
    resolutionRow->addStretch();
    form()->addRow(localized("Resolution:"), m_resolutionRow);
    connect(m_unitsPopup, &PopupButton::activated, this, [this] { setUnitsFromPopup(); });
    connect(m_resolutionField, &QLineEdit::editingFinished, this, [this] {
        if (m_resolutionField->isModified())
            commitResolution();
    });

    m_qualitySlider = new QSlider(Qt::Horizontal, sheet);
    m_qualitySlider->setObjectName(QStringLiteral("qualitySlider"));
    m_qualitySlider->setRange(0, kQualitySteps);
    form()->addRow(localized("Quality:"), m_qualitySlider);
    connect(m_qualitySlider, &QSlider::valueChanged, this,
        [this](int value) { m_quality = float(value) / float(kQualitySteps); });

    addButtons(localized("Export…"), [this] { performExport(); });
}

ExportDialogController* ExportDialogController::ofSheet(const QDialog* sheet)
{
    return sheet ? sheet->property(kControllerProperty).value<ExportDialogController*>() : nullptr;
}

bool ExportDialogController::rowShown(QWidget* rowField) const
{
    return form()->isRowVisible(rowField);
}

void ExportDialogController::setRowShown(QWidget* rowField, bool shown)
{
    form()->setRowVisible(rowField, shown);
}

float ExportDialogController::minimumResolution() const
{
    return m_resUnits == PixelsPerCentimetre ? kMinPerCentimetre : kMinPerInch;
}

float ExportDialogController::maximumResolution() const
{
    return m_resUnits == PixelsPerCentimetre ? kMaxPerCentimetre : kMaxPerInch;
}

void ExportDialogController::showResolution()
{
    m_resolutionField->setText(formatNumber(m_resolution, 6));
    m_resolutionField->setModified(false);
}

bool ExportDialogController::commitResolution()
{
    const QString text = m_resolutionField->text().trimmed();
    if (text.isEmpty()) {
        setNilValueForKey(QStringLiteral("resolution"));
        showResolution();
        return true;
    }
    const std::optional<double> typed = parseNumber(text);
    // Compared in single precision, as the property holds it: the limits are floats.
    const float value = typed ? float(*typed) : NAN;
    if (!(value >= minimumResolution() && value <= maximumResolution())) {
        showAlertMessage(numberRangeMessage(minimumResolution(), maximumResolution()));
        m_resolutionField->setFocus();
        m_resolutionField->selectAll();
        return false;
    }
    m_resolution = value;
    m_resolutionField->setModified(false);
    return true;
}

bool ExportDialogController::setNilValueForKey(const QString& key)
{
    if (key != QStringLiteral("resolution"))
        return DialogController::setNilValueForKey(key);
    m_resolution = 72.0f;
    return true;
}

void ExportDialogController::removeExportItem(int tag)
{
    // A hidden item is not offered: the popup finds only the items it shows.
    if (QAction* item = m_exportPopup->itemWithTag(tag))
        item->setVisible(false);
}

void ExportDialogController::showWindow()
{
    if (m_characterDoc) {
        removeExportItem(CurrentPanel);
        removeExportItem(CurrentPage);
        if (m_whatToExport == CurrentPage || m_whatToExport == CurrentPanel)
            m_whatToExport = WholeDocument;
    }
    const auto& model = m_comicDoc ? m_comicDoc->model() : nullptr;
    if (model && model->numPages() == 1) {
        removeExportItem(CurrentPage);
        if (m_whatToExport == CurrentPage)
            m_whatToExport = WholeDocument;
    }
    if (!m_currentView || m_currentView->numSelected() == 0) {
        removeExportItem(Selection);
        if (m_whatToExport == Selection)
            m_whatToExport = WholeDocument;
    }
    m_floatersCheckbox->setChecked(m_includeFloaters);
    m_qualitySlider->setValue(int(std::lround(m_quality * kQualitySteps)));
    if (QAbstractButton* segment = m_fileTypeSelector->button(m_fileType))
        segment->setChecked(true);
    selectFileType();
    m_exportPopup->selectItemWithTag(m_whatToExport);
    setWhatToExportFromPopup();
    m_unitsPopup->selectItemWithTag(m_resUnits);
    showResolution();
    DialogController::showWindow();
    if (m_resolutionField->isEnabled())
        m_resolutionField->setFocus();
}

void ExportDialogController::selectFileType()
{
    m_fileType = std::max(0, m_fileTypeSelector->checkedId());
    // A comic of several pages exports them all only as PDF; an image shows one page.
    QAction* current = m_exportPopup->itemWithTag(CurrentPage);
    if (current && current->isVisible()) {
        QAction* whole = m_exportPopup->itemWithTag(WholeDocument);
        whole->setEnabled(m_fileType == Pdf);
        if (m_fileType != Pdf && m_whatToExport == WholeDocument) {
            m_whatToExport = CurrentPage;
            m_exportPopup->selectItemWithTag(CurrentPage);
        }
    }
    const bool image = m_fileType != Pdf;
    m_resolutionField->setEnabled(image);
    setRowShown(m_resolutionRow, image);
    setRowShown(m_qualitySlider, m_fileType == Jpeg);
    if (image)
        m_resolutionField->setFocus();
    sheet()->adjustSize();
}

void ExportDialogController::setWhatToExportFromPopup()
{
    m_whatToExport = std::max(0, m_exportPopup->selectedTag());
    setRowShown(m_floatersCheckbox, m_whatToExport == CurrentPanel && m_panelHasOverlappingFloaters);
    sheet()->adjustSize();
}

void ExportDialogController::setUnitsFromPopup()
{
    // The value being typed is taken in the units it was typed in.
    if (m_resolutionField->isModified() && !commitResolution()) {
        m_unitsPopup->selectItemWithTag(m_resUnits);
        return;
    }
    const int tag = m_unitsPopup->selectedTag();
    if (tag != m_resUnits) {
        if (tag == PixelsPerCentimetre)
            m_resolution = m_resolution / kCentimetresPerInch;
        else if (tag == PixelsPerInch)
            m_resolution = m_resolution * kCentimetresPerInch;
        m_resUnits = tag;
        showResolution();
    }
    m_resolutionField->setFocus();
}

void ExportDialogController::performExport()
{
    if (!makeFirstResponder())
        return;
    if (m_fileType != Pdf && m_resolutionField->isModified() && !commitResolution())
        return;
    m_includeFloaters = m_floatersCheckbox->isChecked();
    close();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(kExportResolutionKey, m_resolution);
    defaults.set(kExportQualityKey, m_quality);
    defaults.set(kExportFileTypeKey, m_fileType);
    defaults.set(kExportWhatKey, m_whatToExport);
    defaults.set(kIncludeFloatersKey, m_includeFloaters);
    defaults.set(kResUnitsKey, m_resUnits);
    float perInch = m_resolution;
    if (m_resUnits == PixelsPerCentimetre)
        perInch = m_resolution * kCentimetresPerInch;
    ZDLEditingView* view = m_currentView;
    if (!view)
        return;
    if (m_fileType == Pdf)
        view->exportPDFOf(m_whatToExport, m_includeFloaters);
    else if (m_fileType == Png)
        view->exportPNGOf(m_whatToExport, m_includeFloaters, perInch);
    else
        view->exportJPEGOf(m_whatToExport, m_includeFloaters, perInch, m_quality);
}

} // namespace zandrel
