#include "panels/DialogUtilities.h"

#include "charmodel/CharacterModel.h"
#include "graphics/ZDLColor.h"
#include "panels/DialogController.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/Object.h"

#include <QAbstractSlider>
#include <QAction>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// Deselects every item of the popup, leaving the title as it is.
void deselectItems(PopupButton& popup)
{
    popup.deselectAll();
    for (QAction* item : popup.items())
        PopupButton::setState(item, 0);
}

// A control disabled because nothing shown has its property shows no value rather than the last
// one it showed, which belonged to other objects.
void showNoValue(PopupButton& popup)
{
    popup.setTitle(QString());
    popup.setIcon(QIcon());
}

int stateFor(bool contains, qsizetype count)
{
    if (!contains)
        return 0;
    return count == 1 ? 1 : -1;
}

// Marks the items whose value is among values (mixed when there are several); an empty set
// disables the popup. Items the filter refuses keep no mark.
template <class ValueOf, class Shown>
void setPopupToFloatValues(PopupButton& popup, const QSet<float>& values, Shown shown, ValueOf valueOf)
{
    if (values.isEmpty()) {
        popup.setEnabled(false);
        return;
    }
    popup.setEnabled(true);
    deselectItems(popup);
    for (QAction* item : popup.items()) {
        if (shown(item))
            PopupButton::setState(item, stateFor(values.contains(valueOf(item)), values.size()));
    }
}

} // namespace

QString DialogUtilities::multipleString()
{
    return localized("Multiple");
}

void DialogUtilities::setMultipleOnPopup(PopupButton& popup)
{
    deselectItems(popup);
    const QString multiple = multipleString();
    if (!popup.itemWithTitle(multiple)) {
        auto* item = new QAction(multiple, popup.itemMenu());
        const QList<QAction*> items = popup.items();
        popup.itemMenu()->insertAction(items.isEmpty() ? nullptr : items.first(), item);
        item->setVisible(false);
        // No tag of its own: the hidden item never answers a tag search.
        item->setProperty("zdlPopupTag", -1000);
    }
    popup.setTitle(multiple);
}

void DialogUtilities::setPopupToTagValues(PopupButton& popup, const QSet<int>& values)
{
    if (values.isEmpty()) {
        popup.setEnabled(false);
        deselectItems(popup);
        showNoValue(popup);
        return;
    }
    popup.setEnabled(true);
    deselectItems(popup);
    if (values.size() >= 2)
        setMultipleOnPopup(popup);
    for (QAction* item : popup.items()) {
        if (item->isSeparator() || !item->isVisible())
            continue;
        const int tag = PopupButton::tagOf(item);
        if (values.contains(tag) && values.size() == 1)
            popup.selectItem(item);
        else
            PopupButton::setState(item, stateFor(values.contains(tag), values.size()));
    }
}

float DialogUtilities::floatFromWeightTitle(const QString& title)
{
    // The first word, split at single spaces; a number at its start ("1.5pt" reads 1.5).
    const QString word = title.trimmed().section(QLatin1Char(' '), 0, 0);
    static const QRegularExpression leadingNumber(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const QRegularExpressionMatch match = leadingNumber.match(word);
    return match.hasMatch() ? match.captured(0).toFloat() : 0.0f;
}

float DialogUtilities::floatFromWeightMenuItem(const QAction* item)
{
    if (!item)
        return 0.0f;
    QString title = item->text();
    if (title.startsWith(QStringLiteral("\u2013 ")))
        title.remove(0, 2);
    return floatFromWeightTitle(title);
}

void DialogUtilities::setPopupToWeightValues(PopupButton& popup, const QSet<float>& values)
{
    setPopupToFloatValues(
        popup, values, [](const QAction* item) { return !item->isSeparator(); },
        [](const QAction* item) { return floatFromWeightMenuItem(item); });
}

const QList<float>& DialogUtilities::lineWeightPresets()
{
    static const QList<float> presets { 0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 3.0f, 4.0f, 6.0f, 8.0f, 12.0f };
    return presets;
}

void DialogUtilities::addLineWeightItems(PopupButton& popup)
{
    const QList<float>& presets = lineWeightPresets();
    for (int tag = 0; tag < presets.size(); ++tag)
        popup.addItem(localized("%1 pt").arg(double(presets.at(tag))), tag);
}

float DialogUtilities::roundnessOfItem(const QAction* item)
{
    const int tag = PopupButton::tagOf(item);
    if (tag == kSharpTag)
        return 0.0f;
    if (tag == kFullyRoundTag)
        return kFullRoundness;
    return floatFromWeightMenuItem(item);
}

void DialogUtilities::setPopupToRoundnessValues(PopupButton& popup, const QSet<float>& values)
{
    // The presets' title item stands for nothing.
    setPopupToFloatValues(
        popup, values, [](const QAction* item) { return !item->isSeparator() && item->isEnabled(); },
        [](const QAction* item) { return roundnessOfItem(item); });
}

const QString& DialogUtilities::fullRoundnessString()
{
    static const QString full = localized("full");
    return full;
}

void DialogUtilities::setRoundnessFieldFromPopup(QLineEdit* field, PopupButton* popup, QLabel* label)
{
    if (!field || !popup)
        return;
    if (label)
        label->setVisible(true);
    QAction* chosen = popup->selectedItem();
    const int tag = PopupButton::tagOf(chosen);
    if (tag == kFullyRoundTag) {
        field->setText(fullRoundnessString());
        if (label)
            label->setVisible(false);
    } else if (tag == kSharpTag) {
        field->setText(QStringLiteral("0"));
    } else {
        field->setText(DialogController::formatNumber(floatFromWeightMenuItem(chosen)));
    }
    setPopupToRoundnessValues(*popup, { roundnessFromField(field) });
}

float DialogUtilities::roundnessFromText(const QString& text)
{
    if (text.trimmed().toLower() == fullRoundnessString().toLower())
        return kFullRoundness;
    const std::optional<double> value = DialogController::parseNumber(text);
    if (!value)
        return 0.0f;
    return std::clamp(float(*value), 0.0f, kMaxRoundness);
}

float DialogUtilities::roundnessFromField(const QLineEdit* field)
{
    return field ? roundnessFromText(field->text()) : 0.0f;
}

QString DialogUtilities::roundnessText(float roundness)
{
    return roundness < 0 ? fullRoundnessString() : DialogController::formatNumber(roundness);
}

void DialogUtilities::setPopupToRepresentedObjectValues(PopupButton& popup, const QList<QVariant>& values)
{
    if (values.isEmpty()) {
        popup.setEnabled(false);
        deselectItems(popup);
        showNoValue(popup);
        return;
    }
    popup.setEnabled(true);
    deselectItems(popup);
    if (values.size() >= 2)
        setMultipleOnPopup(popup);
    const QList<QAction*> items = popup.items();
    for (qsizetype i = 0; i + 2 < items.size(); ++i)
        PopupButton::setState(items.at(i), 0);
    for (const QVariant& value : values) {
        if (!value.isValid() || value.isNull())
            continue;
        QAction* item = popup.itemWithRepresentedObject(value);
        if (!item)
            continue;
        if (values.size() == 1)
            popup.selectItem(item);
        else
            PopupButton::setState(item, -1);
    }
}

namespace {

// A colour's swatch as its menu item shows it: over a checkerboard where it is translucent, the
// none colour crossed out in red.
QIcon swatchIcon(const ZDLColor& color)
{
    constexpr int kWidth = 24;
    constexpr int kHeight = 17;
    constexpr int kCell = 4;
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    for (int y = 0; y < kHeight; y += kCell) {
        for (int x = (y / kCell % 2) * kCell; x < kWidth; x += 2 * kCell)
            painter.fillRect(x, y, kCell, kCell, QColor(128, 128, 128));
    }
    if (!color.isNone() && color.color().isValid())
        painter.fillRect(0, 0, kWidth, kHeight, color.color().toQColor());
    if (color.isNone()) {
        painter.setPen(QPen(Qt::red, 1));
        painter.drawLine(0, 0, kWidth, kHeight);
        painter.drawLine(0, kHeight, kWidth, 0);
    }
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(0, 0, kWidth - 1, kHeight - 1);
    return QIcon(pixmap);
}

} // namespace

void DialogUtilities::setupColorPopup(
    PopupButton& popup, const CharacterModel* model, bool withNone, bool withAdd)
{
    popup.removeAllItems();
    if (!model)
        return;
    const QList<ZDLColorPtr> colors = model->colors();
    for (qsizetype index = 0; index < colors.size(); ++index) {
        const ZDLColorPtr& color = colors.at(index);
        if (!color || (color->isNone() && !withNone))
            continue;
        popup.addItem(color->name(), int(index), colorObject(color.get()))->setIcon(swatchIcon(*color));
    }
    if (withAdd) {
        popup.itemMenu()->addSeparator();
        popup.addItem(localized("Add Color..."), kAddColorTag);
    }
}

QVariant DialogUtilities::colorObject(const ZDLColor* color)
{
    return QVariant::fromValue<void*>(const_cast<ZDLColor*>(color));
}

std::shared_ptr<ZDLColor> DialogUtilities::colorOfItem(const QAction* item, const CharacterModel* model)
{
    const QVariant object = PopupButton::representedObjectOf(item);
    if (!model || !object.isValid())
        return nullptr;
    for (const ZDLColorPtr& color : model->colors()) {
        if (colorObject(color.get()) == object)
            return color;
    }
    return nullptr;
}

void DialogUtilities::collectValueOfProperty(const QString& key, const Object& object, QList<Value>& values)
{
    if (!object.respondsToKey(key))
        return;
    const Value value = object.valueForKey(key);
    if (!values.contains(value))
        values.append(value);
}

int DialogUtilities::stateForTag(int tag, const QSet<int>& values)
{
    return stateFor(values.contains(tag), values.size());
}

void DialogUtilities::markTaggedMenuItem(QAction* item, const QSet<int>& values)
{
    PopupButton::setState(item, stateForTag(PopupButton::tagOf(item), values));
}

void DialogUtilities::setFloatValue(QAbstractSlider* control, const QSet<float>& values)
{
    if (!control)
        return;
    control->setEnabled(!values.isEmpty());
    if (!values.isEmpty()) {
        control->setValue(int(std::lround(*values.cbegin())));
    } else {
        // No value: the handle rests at the start, which no one takes for a setting of anything.
        const QSignalBlocker block(control);
        control->setValue(control->minimum());
    }
}

void DialogUtilities::setNumberFieldValue(QLineEdit* field, const QSet<float>& values)
{
    if (!field)
        return;
    field->setEnabled(!values.isEmpty());
    if (values.isEmpty()) {
        const QSignalBlocker block(field);
        field->clear();
        return;
    }
    field->setText(values.size() == 1 ? DialogController::formatNumber(*values.cbegin()) : QString());
}

} // namespace zandrel
