#include "panels/ScaleSheets.h"

#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartPath.h"
#include "graphics/ArrayUtils.h"
#include "graphics/StyleKeys.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "views/ZDLEditingView.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <cmath>

namespace zandrel {

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// After a field took its text, every field shows what it now depends on.
void refreshAfterEditing(DialogController& controller, QDialog* sheet)
{
    for (QLineEdit* field : sheet->findChildren<QLineEdit*>())
        QObject::connect(field, &QLineEdit::editingFinished, &controller,
            [&controller] { controller.refreshUneditedFields(); });
}

} // namespace

// --- Scale ---

ScaleDialogController::ScaleDialogController(ZDLEditingView* view, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("ScaleDialog"))
    , m_editView(view)
    , m_objectsToScale(view ? view->selection() : ElementList())
{
    sheet()->setWindowTitle(localized("Scale"));
    auto* current = new QLabel(sheet());
    current->setObjectName(QStringLiteral("currentSize"));
    form()->addRow(localized("Current size:"), current);
    const auto number = [this](const QString& label, const char* name, double& value,
                            void (ScaleDialogController::*setter)(double), double minimum, double maximum) {
        QLineEdit* field = addField(label, key(name));
        bindNumber(
            field, key(name), [&value] { return value; },
            [this, setter](double typed) { (this->*setter)(typed); }, minimum, maximum);
        return field;
    };
    number(localized("Width (%):"), "widthPercent", widthPercent, &ScaleDialogController::setWidthPercent,
        -kLargestPercent, kLargestPercent);
    number(localized("Height (%):"), "heightPercent", heightPercent, &ScaleDialogController::setHeightPercent,
        -kLargestPercent, kLargestPercent);
    number(localized("Width (px):"), "widthPixels", widthPixels, &ScaleDialogController::setWidthPixels,
        -kLargestPixels, kLargestPixels);
    number(localized("Height (px):"), "heightPixels", heightPixels, &ScaleDialogController::setHeightPixels,
        -kLargestPixels, kLargestPixels);
    m_lockedButton = new QCheckBox(localized("Keep proportions"), sheet());
    m_lockedButton->setObjectName(QStringLiteral("lockedButton"));
    m_lockedButton->setChecked(true);
    connect(m_lockedButton, &QCheckBox::toggled, this, [this] { changeLockedSetting(); });
    m_lineWeightsCheckbox = new QCheckBox(localized("Scale line weights"), sheet());
    m_lineWeightsCheckbox->setObjectName(QStringLiteral("lineWeightsCheckbox"));
    m_blursCheckbox = new QCheckBox(localized("Scale blurs"), sheet());
    m_blursCheckbox->setObjectName(QStringLiteral("blursCheckbox"));
    for (QCheckBox* box : { m_lockedButton, m_lineWeightsCheckbox, m_blursCheckbox })
        form()->addRow(QString(), box);
    refreshAfterEditing(*this, sheet());
    addButtons(localized("Scale"), [this] { performScaling(); });

    const QRectF geometric = ArrayUtils::getElementsBounds(m_objectsToScale);
    const QRectF visual = ArrayUtils::getElementsFilteredBounds(m_objectsToScale);
    m_width.geometric = geometric.width();
    m_width.visual = visual.width();
    m_height.geometric = geometric.height();
    m_height.visual = visual.height();
}

void ScaleDialogController::showWindow()
{
    currentWidth = ZDLAppController::measurementStringFor(float(m_width.visual), ZDLAppController::Pixels);
    currentHeight = ZDLAppController::measurementStringFor(float(m_height.visual), ZDLAppController::Pixels);
    sheet()
        ->findChild<QLabel*>(QStringLiteral("currentSize"))
        ->setText(QStringLiteral("%1 × %2").arg(currentWidth, currentHeight));
    // A dimension without extent (a straight line) keeps its scale: no percent of nothing is a size.
    setWidthPercent(100.0);
    if (m_height.geometric > 0)
        setHeightPercent(100.0);
    for (const auto& [dimension, percentKey, pixelsKey] :
        { std::tuple(&m_width, "widthPercent", "widthPixels"),
            std::tuple(&m_height, "heightPercent", "heightPixels") }) {
        const bool sized = dimension->geometric > 0;
        sheet()->findChild<QLineEdit*>(key(percentKey))->setEnabled(sized);
        sheet()->findChild<QLineEdit*>(key(pixelsKey))->setEnabled(sized);
    }
    m_blursCheckbox->setChecked(true);
    m_lineWeightsCheckbox->setChecked(m_editView && dynamic_cast<ComicDocument*>(m_editView->document()));
    DialogController::showWindow();
}

void ScaleDialogController::setPercent(Dimension& dimension, Dimension& other, double percent)
{
    dimension.percent = percent;
    if (!dimension.matching)
        dimension.pixels = percent * dimension.geometric / 100.0 + (dimension.visual - dimension.geometric);
    if (m_dimensionsLocked && !m_linkingDimensions && other.geometric > 0) {
        m_linkingDimensions = true;
        setPercent(other, dimension, percent);
        m_linkingDimensions = false;
    }
}

void ScaleDialogController::setPixels(Dimension& dimension, Dimension& other, double pixels)
{
    dimension.pixels = pixels;
    if (dimension.matching || dimension.geometric <= 0)
        return;
    // The typed size stays as typed; the lock still carries the percent to the other dimension.
    dimension.matching = true;
    setPercent(
        dimension, other, (pixels - (dimension.visual - dimension.geometric)) / dimension.geometric * 100.0);
    dimension.matching = false;
}

void ScaleDialogController::setWidthPercent(double percent)
{
    setPercent(m_width, m_height, percent);
}

void ScaleDialogController::setHeightPercent(double percent)
{
    setPercent(m_height, m_width, percent);
}

void ScaleDialogController::setWidthPixels(double pixels)
{
    setPixels(m_width, m_height, pixels);
}

void ScaleDialogController::setHeightPixels(double pixels)
{
    setPixels(m_height, m_width, pixels);
}

bool ScaleDialogController::setNilValueForKey(const QString& name)
{
    if (name == key("widthPercent"))
        setWidthPercent(100.0);
    else if (name == key("heightPercent"))
        setHeightPercent(100.0);
    else if (name == key("widthPixels"))
        setWidthPixels(m_width.visual);
    else if (name == key("heightPixels"))
        setHeightPixels(m_height.visual);
    else
        return DialogController::setNilValueForKey(name);
    return true;
}

void ScaleDialogController::changeLockedSetting()
{
    m_dimensionsLocked = m_lockedButton->isChecked();
    if (m_dimensionsLocked && m_height.geometric > 0)
        setHeightPercent(widthPercent);
    refreshUneditedFields();
}

void ScaleDialogController::performScaling()
{
    if (!makeFirstResponder())
        return;
    for (const double percent : { widthPercent, heightPercent }) {
        if (!std::isfinite(percent) || std::abs(percent) < kSmallestPercent
            || std::abs(percent) > kLargestPercent) {
            showAlertMessage(localized("Please choose a scale from %1 % to %2 %.")
                                 .arg(formatNumber(kSmallestPercent), formatNumber(kLargestPercent)));
            return;
        }
    }
    if (m_editView) {
        // One factor for the marks: equal percentages give their own, unequal ones their mean.
        const float factor = float(std::sqrt(std::abs(widthPercent * heightPercent)) / 100.0);
        const bool lines = m_lineWeightsCheckbox->isChecked();
        const bool blurs = m_blursCheckbox->isChecked();
        if (lines || blurs)
            m_editView->undoableScaleMarksInElements(m_objectsToScale, factor, lines, blurs);
        m_editView->scaleSelection(
            float(widthPercent / 100.0), float(heightPercent / 100.0), localized("Scale"));
    }
    close();
}

// --- Resample ---

ResampleDialogController::ResampleDialogController(
    QWidget* hostWindow, const QSize& sourceSize, Resampler resample)
    : DialogController(hostWindow, QStringLiteral("ResampleDialog"))
    , m_source(sourceSize)
    , m_resample(std::move(resample))
{
    sheet()->setWindowTitle(localized("Resample Image"));
    auto* current = new QLabel(sheet());
    current->setText(QStringLiteral("%1 × %2").arg(
        ZDLAppController::measurementStringFor(float(m_source.width()), ZDLAppController::Pixels),
        ZDLAppController::measurementStringFor(float(m_source.height()), ZDLAppController::Pixels)));
    form()->addRow(localized("Current size:"), current);
    const double smallest = 100.0 / std::max(1, std::max(m_source.width(), m_source.height()));
    bindNumber(
        addField(localized("Scale (%):"), key("percent")), key("percent"), [this] { return percent; },
        [this](double value) { setPercent(value); }, smallest, 100.0);
    bindInteger(
        addField(localized("Width (px):"), key("widthPixels")), key("widthPixels"),
        [this] { return qint64(widthPixels); }, [this](qint64 value) { setWidthPixels(double(value)); }, 1,
        std::max(1, m_source.width()));
    bindInteger(
        addField(localized("Height (px):"), key("heightPixels")), key("heightPixels"),
        [this] { return qint64(heightPixels); }, [this](qint64 value) { setHeightPixels(double(value)); }, 1,
        std::max(1, m_source.height()));
    refreshAfterEditing(*this, sheet());
    addButtons(localized("Resample"), [this] { performResample(); });
}

void ResampleDialogController::showWindow()
{
    m_matching = false;
    setPercent(100.0);
    DialogController::showWindow();
}

void ResampleDialogController::setPercent(double value)
{
    percent = value;
    if (m_matching)
        return;
    widthPixels = std::trunc(value * m_source.width() / 100.0);
    heightPixels = std::trunc(value * m_source.height() / 100.0);
}

void ResampleDialogController::setWidthPixels(double width)
{
    widthPixels = width;
    if (m_matching || m_source.width() <= 0)
        return;
    percent = width / m_source.width() * 100.0;
    heightPixels = std::trunc(percent * m_source.height() / 100.0);
}

void ResampleDialogController::setHeightPixels(double height)
{
    heightPixels = height;
    if (m_matching || m_source.height() <= 0)
        return;
    percent = height / m_source.height() * 100.0;
    widthPixels = std::trunc(percent * m_source.width() / 100.0);
}

bool ResampleDialogController::setNilValueForKey(const QString& name)
{
    if (name == key("percent"))
        setPercent(100.0);
    else if (name == key("widthPixels"))
        setWidthPixels(m_source.width());
    else if (name == key("heightPixels"))
        setHeightPixels(m_source.height());
    else
        return DialogController::setNilValueForKey(name);
    return true;
}

void ResampleDialogController::performResample()
{
    if (!makeFirstResponder())
        return;
    // A scale that leaves no pixel would make an empty image.
    if (widthPixels >= 1 && heightPixels >= 1 && percent > 0 && m_resample)
        m_resample(float(percent / 100.0));
    close();
}

// --- Blur ---

AdjustBlurController::AdjustBlurController(CharacterDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("AdjustBlur"))
    , m_document(document)
{
    sheet()->setWindowTitle(localized("Adjust Blur"));
    bindNumber(
        addField(localized("Multiply every blur by:"), key("blurFactor")), key("blurFactor"),
        [this] { return blurFactor; }, [this](double value) { blurFactor = value; }, 0.0, kLargestFactor);
    addButtons(localized("OK"), [this] { commitBlurAdjustment(); });
}

void AdjustBlurController::showWindow()
{
    blurFactor = 1.0;
    DialogController::showWindow();
}

void AdjustBlurController::commitBlurAdjustment()
{
    if (!makeFirstResponder())
        return;
    const auto model = m_document ? m_document->model() : nullptr;
    if (!model || blurFactor <= 0.0 || blurFactor == 1.0) {
        close();
        return;
    }
    // The paths inside every part, groups opened.
    ElementList paths;
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(model->children())) {
        if (const auto* container = asProtocol<Parent>(element))
            paths += ArrayUtils::flattenContainedPathsArray(container->children());
    }
    double total = 0.0;
    int count = 0;
    for (const ObjectPtr& object : paths) {
        auto* path = dynamic_cast<PartPath*>(object.get());
        if (!path || !(path->blur() > 0.0f))
            continue;
        const float blur = std::min(float(path->blur() * blurFactor), kLargestBlur);
        m_document->undoableSetPropertyFor(object, stylekeys::kBlur, Value(blur));
        total += blur;
        ++count;
    }
    if (count > 0)
        Log::write(QStringLiteral("Average blur: %1").arg(total / count, 0, 'f', 6));
    close();
}

} // namespace zandrel
