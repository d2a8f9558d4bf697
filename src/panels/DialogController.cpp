#include "panels/DialogController.h"

#include "app/core/ZDLAppController.h"
#include "graphics/Measurement.h"
#include "panels/MeasurementFormatter.h"
#include "platform/Localization.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

namespace zandrel {

DialogController::DialogController(QWidget* hostWindow, const QString& nibName)
    : m_hostWindow(hostWindow ? hostWindow->window() : nullptr)
    , m_nibName(nibName)
{
    m_sheet = new QDialog(m_hostWindow);
    m_sheet->setObjectName(nibName);
    m_sheet->setWindowModality(m_hostWindow ? Qt::WindowModal : Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(m_sheet);
    m_form = new QFormLayout;
    layout->addLayout(m_form);
    // Escape and the window's close box cancel, as the Cancel button does.
    connect(m_sheet, &QDialog::rejected, this, [this] {
        if (!m_closing)
            cancelDialog();
    });
    // A sheet whose window went away takes its controller with it.
    connect(m_sheet, &QObject::destroyed, this, [this] {
        if (!m_closing) {
            m_closing = true;
            emit closed();
            appController()->letGoOf(this);
        }
    });
}

DialogController::~DialogController()
{
    if (m_sheet)
        delete m_sheet.data();
}

void DialogController::release(DialogController* controller)
{
    // The last hold may go from inside one of the sheet's own signals: free it once they are over.
    controller->deleteLater();
}

void DialogController::hold(const std::shared_ptr<DialogController>& controller)
{
    appController()->holdOnTo(controller);
}

bool DialogController::isShown() const
{
    return m_sheet && m_sheet->isVisible();
}

void DialogController::showWindow()
{
    if (!m_sheet)
        return;
    refreshFields();
    m_sheet->adjustSize();
    m_sheet->open();
}

void DialogController::close()
{
    if (m_closing)
        return;
    m_closing = true;
    if (m_sheet) {
        QDialog* sheet = m_sheet;
        m_sheet.clear();
        sheet->hide();
        sheet->deleteLater();
    }
    emit closed();
    appController()->letGoOf(this);
}

void DialogController::cancelDialog()
{
    close();
}

bool DialogController::makeFirstResponder()
{
    // Only text the user typed is read again: the others show their properties already, and reading
    // them would undo what a dependent field just set.
    for (const Binding& binding : m_bindings) {
        if (!binding.field || !binding.field->isModified())
            continue;
        const QString refusal = binding.commit();
        if (!refusal.isEmpty()) {
            binding.field->setFocus();
            binding.field->selectAll();
            showAlertMessage(refusal);
            return false;
        }
        binding.field->setModified(false);
    }
    return true;
}

bool DialogController::setNilValueForKey(const QString&)
{
    return false;
}

void DialogController::showAlertMessage(const QString& message, const QString& explanation)
{
    appController()->showAlertMessage(message, explanation, m_sheet ? m_sheet.data() : m_hostWindow.data());
}

void DialogController::refreshFields()
{
    for (const Binding& binding : m_bindings) {
        if (binding.field)
            binding.show();
    }
}

void DialogController::refreshUneditedFields()
{
    for (const Binding& binding : m_bindings) {
        if (binding.field && !binding.field->isModified())
            binding.show();
    }
}

QString DialogController::integerRangeMessage(qint64 minimum, qint64 maximum)
{
    return localized("Please enter a whole number from %1 to %2.").arg(minimum).arg(maximum);
}

QString DialogController::numberRangeMessage(double minimum, double maximum)
{
    return localized("Please enter a number from %1 to %2.")
        .arg(formatNumber(minimum), formatNumber(maximum));
}

QString DialogController::lengthRangeMessage(float minimumPixels, float maximumPixels)
{
    auto* controller = appController();
    return localized("Please enter a length from %1 to %2.")
        .arg(
            controller->measurementStringFor(minimumPixels), controller->measurementStringFor(maximumPixels));
}

QString DialogController::formatNumber(double value, int decimals)
{
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

std::optional<double> DialogController::parseNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QLineEdit* DialogController::addField(const QString& label, const QString& objectName)
{
    auto* field = new QLineEdit(m_sheet);
    field->setObjectName(objectName);
    m_form->addRow(label, field);
    return field;
}

QButtonGroup* DialogController::addRadioGroup(
    const QString& label, const QList<std::pair<QString, int>>& choices)
{
    auto* group = new QButtonGroup(m_sheet);
    auto* column = new QVBoxLayout;
    for (const auto& [title, tag] : choices) {
        auto* button = new QRadioButton(title, m_sheet);
        group->addButton(button, tag);
        column->addWidget(button);
    }
    if (!group->buttons().isEmpty())
        group->buttons().first()->setChecked(true);
    m_form->addRow(label, column);
    return group;
}

QDialogButtonBox* DialogController::addButtons(const QString& okTitle, std::function<void()> ok)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, m_sheet);
    buttons->button(QDialogButtonBox::Ok)->setText(okTitle);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [ok = std::move(ok)] { ok(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancelDialog(); });
    static_cast<QVBoxLayout*>(m_sheet->layout())->addWidget(buttons);
    return buttons;
}

void DialogController::addBinding(Binding binding)
{
    QLineEdit* field = binding.field;
    auto commit = binding.commit;
    auto show = binding.show;
    // Editing ends with Return or when the field loses the focus: the property follows at once, so
    // that fields that depend on each other update; text the field refuses waits for OK.
    connect(field, &QLineEdit::editingFinished, this, [field, commit, show] {
        if (field->isModified() && commit().isEmpty())
            show();
    });
    m_bindings.push_back(std::move(binding));
}

QString DialogController::commitNumberText(QLineEdit* field, const QString& key, double minimum,
    double maximum, bool integral, const std::function<void(double)>& set)
{
    const QString refusal = integral ? integerRangeMessage(qint64(minimum), qint64(maximum))
                                     : numberRangeMessage(minimum, maximum);
    if (field->text().trimmed().isEmpty())
        return setNilValueForKey(key) ? QString() : refusal;
    const std::optional<double> value = parseNumber(field->text());
    if (!value || *value < minimum || *value > maximum || (integral && *value != std::floor(*value)))
        return refusal;
    set(*value);
    return QString();
}

void DialogController::bindInteger(QLineEdit* field, const QString& key, std::function<qint64()> get,
    std::function<void(qint64)> set, qint64 minimum, qint64 maximum)
{
    Binding binding;
    binding.field = field;
    binding.show = [field, get] { field->setText(QString::number(get())); };
    binding.commit = [this, field, key, set, minimum, maximum] {
        return commitNumberText(
            field, key, double(minimum), double(maximum), true, [set](double value) { set(qint64(value)); });
    };
    addBinding(std::move(binding));
}

QLineEdit* DialogController::addIntegerField(
    const QString& label, const QString& key, int& value, qint64 minimum, qint64 maximum)
{
    QLineEdit* field = addField(label, key);
    bindInteger(
        field, key, [&value] { return value; }, [&value](qint64 typed) { value = int(typed); }, minimum,
        maximum);
    return field;
}

void DialogController::bindNumber(QLineEdit* field, const QString& key, std::function<double()> get,
    std::function<void(double)> set, double minimum, double maximum, int decimals)
{
    Binding binding;
    binding.field = field;
    binding.show = [field, get, decimals] { field->setText(formatNumber(get(), decimals)); };
    binding.commit = [this, field, key, set, minimum, maximum] {
        return commitNumberText(field, key, minimum, maximum, false, set);
    };
    addBinding(std::move(binding));
}

void DialogController::bindText(
    QLineEdit* field, std::function<QString()> get, std::function<void(const QString&)> set)
{
    Binding binding;
    binding.field = field;
    binding.show = [field, get] { field->setText(get()); };
    binding.commit = [field, set] {
        set(field->text());
        return QString();
    };
    addBinding(std::move(binding));
}

void DialogController::bindMeasurement(
    QLineEdit* field, Measurement* measurement, MeasurementFormatter* formatter)
{
    Binding binding;
    binding.field = field;
    binding.show = [field, measurement] { field->setText(formatNumber(measurement->units(), 2)); };
    binding.commit = [field, measurement, formatter] {
        // An emptied length field keeps its length.
        if (field->text().trimmed().isEmpty())
            return QString();
        const std::optional<double> value = parseNumber(field->text());
        if (!value || (formatter && !formatter->accepts(*value))) {
            auto* controller = appController();
            const float low = formatter && formatter->minimum()
                ? controller->getPixelsFromUnits(float(*formatter->minimum()))
                : 0.0f;
            const float high = formatter && formatter->maximum()
                ? controller->getPixelsFromUnits(float(*formatter->maximum()))
                : 1e6f;
            return lengthRangeMessage(std::round(low), std::round(high));
        }
        measurement->setUnits(float(*value));
        return QString();
    };
    addBinding(std::move(binding));
    // Every length field follows a change of the display units.
    measurement->addObserver(Measurement::kUnitsKey, this, [field, measurement](auto&&...) {
        if (field)
            field->setText(formatNumber(measurement->units(), 2));
    });
}

} // namespace zandrel
