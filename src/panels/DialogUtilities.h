#pragma once

#include "platform/Value.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <memory>

class QAbstractSlider;
class QAction;
class QLabel;
class QLineEdit;

namespace zandrel {

class CharacterModel;
class Object;
class PopupButton;
class ZDLColor;

// The mixed-value display of the sheets and inspectors, and the reading of their weight and
// roundness controls. The values of one property over the chosen objects are gathered into a set: a
// control shows one value as such, several as mixed ("Multiple" as a popup's title, state -1 on the
// items, an empty number field), and none as disabled. This is the widget half of UIUtils (whose
// unique names the models use).
class DialogUtilities {
public:
    DialogUtilities() = delete;

    // Roundness limits, in points; -1 is full roundness.
    static constexpr float kMaxRoundness = 144.0f;
    static constexpr float kFullRoundness = -1.0f;
    // Tags of the roundness presets.
    static constexpr int kSharpTag = 1;
    static constexpr int kFullyRoundTag = 2;

    static QString multipleString();
    // Deselects everything, inserts a hidden "Multiple" item at the top once, and shows it as title.
    static void setMultipleOnPopup(PopupButton& popup);
    static void setPopupToTagValues(PopupButton& popup, const QSet<int>& values);
    // The number that begins an item's title ("1.5 pt" gives 1.5); 0 when it does not begin with one.
    static float floatFromWeightMenuItem(const QAction* item);
    static float floatFromWeightTitle(const QString& title);
    static void setPopupToWeightValues(PopupButton& popup, const QSet<float>& values);
    // The line weights, in points, that the weight menus of the part editor's inspector and of the
    // styles sheet offer: both set the lines of part paths, so they offer the same.
    static const QList<float>& lineWeightPresets();
    // Appends one item a preset, titled "<weight> pt" and tagged with its index.
    static void addLineWeightItems(PopupButton& popup);
    static void setPopupToRoundnessValues(PopupButton& popup, const QSet<float>& values);
    // The value a roundness preset stands for.
    static float roundnessOfItem(const QAction* item);
    // The localised "full", made once.
    static const QString& fullRoundnessString();
    // The field and its unit label from the chosen preset; the popup then shows the field's value.
    static void setRoundnessFieldFromPopup(QLineEdit* field, PopupButton* popup, QLabel* label);
    // -1 for the word "full" in any case, else the number clamped to 0 ... 144 (0 for no number).
    static float roundnessFromField(const QLineEdit* field);
    static float roundnessFromText(const QString& text);
    // The field's text for a roundness: the number, or the word for full roundness.
    static QString roundnessText(float roundness);
    // Null variants stand for objects without the property; they select nothing. The last two items
    // (a separator and "Add Color...") keep their state.
    static void setPopupToRepresentedObjectValues(PopupButton& popup, const QList<QVariant>& values);
    // The tag of a colour popup's "Add Color..." item.
    static constexpr int kAddColorTag = -2;
    // Fills a colour popup with the model's colours in order, each with its swatch, tagged with its
    // index and representing the colour (colourObject); the none colour, first in every model, only
    // when asked for. With an add item, a separator and "Add Color..." (kAddColorTag) end the menu.
    static void setupColorPopup(PopupButton& popup, const CharacterModel* model, bool withNone, bool withAdd);
    static QVariant colorObject(const ZDLColor* color);
    // The model's colour an item of such a popup represents; null for any other item.
    static std::shared_ptr<ZDLColor> colorOfItem(const QAction* item, const CharacterModel* model);
    // Adds the object's value for the key when its class has that property.
    static void collectValueOfProperty(const QString& key, const Object& object, QList<Value>& values);
    // 1 when the set holds the tag alone, -1 when it holds it among others, else 0.
    static int stateForTag(int tag, const QSet<int>& values);
    static void markTaggedMenuItem(QAction* item, const QSet<int>& values);
    static void setFloatValue(QAbstractSlider* control, const QSet<float>& values);
    static void setNumberFieldValue(QLineEdit* field, const QSet<float>& values);

    // The first item bearing the name, or null.
    template <class T>
    static std::shared_ptr<T> getItemNamed(const QString& name, const QList<std::shared_ptr<T>>& items)
    {
        for (const auto& item : items) {
            if (item && item->name() == name)
                return item;
        }
        return nullptr;
    }
};

} // namespace zandrel
