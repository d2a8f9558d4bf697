#pragma once

#include "platform/PropertyTable.h"

#include <QStringList>
#include <vector>

namespace zandrel {

class KeyedArchiver;
class KeyedUnarchiver;

// One property of an element class, declared once for everything that needs to know of it: the
// property itself (name, getter and, unless read-only, setter: the document's undoable property
// changes and observers go through it), how files keep it, whether it shows in the drawing and
// what the properties sheet offers for it. A class lists its fields in the order of its archive,
// and builds its property table, its archiving and its drawing's cache key from the list, so that
// a field added in one place is archived, undone, drawn afresh and offered in the sheet.
template <class Owner> struct ElementField {
    Property property;
    // Writes the field under its archive keys; null for a field files do not keep. A field may
    // write nothing for a value it leaves out.
    void (*encode)(const Owner&, KeyedArchiver&) = nullptr;
    // Reads it back from a file, each missing or unusable key as the field decides.
    void (*decode)(Owner&, KeyedUnarchiver&) = nullptr;
    // A change shows in the drawing: the field's value is part of the key of a cached drawing.
    bool drawn = false;
    // Offered in the properties sheet as a popup under this label, with one title per code from
    // 0; none when the sheet has no popup for the field (it may have a control of its own).
    QString (*sheetLabel)() = nullptr;
    QStringList (*sheetChoices)() = nullptr;
};

template <class Owner> using ElementFields = std::vector<ElementField<Owner>>;

// The properties of the fields, for the owner's property table.
template <class Owner> std::vector<Property> propertiesOf(const ElementFields<Owner>& fields)
{
    std::vector<Property> properties;
    properties.reserve(fields.size());
    for (const ElementField<Owner>& field : fields)
        properties.push_back(field.property);
    return properties;
}

// The field of the property of that name; null when the owner declares none.
template <class Owner>
const ElementField<Owner>* fieldNamed(const ElementFields<Owner>& fields, const QString& name)
{
    for (const ElementField<Owner>& field : fields) {
        if (field.property.name == name)
            return &field;
    }
    return nullptr;
}

template <class Owner>
void encodeFields(const ElementFields<Owner>& fields, const Owner& owner, KeyedArchiver& coder)
{
    for (const ElementField<Owner>& field : fields) {
        if (field.encode)
            field.encode(owner, coder);
    }
}

template <class Owner>
void decodeFields(const ElementFields<Owner>& fields, Owner& owner, KeyedUnarchiver& coder)
{
    for (const ElementField<Owner>& field : fields) {
        if (field.decode)
            field.decode(owner, coder);
    }
}

// The values of the drawn fields, in declaration order: two owners whose drawn values are equal
// draw alike as far as their own fields go.
template <class Owner>
std::vector<Value> drawnValuesOf(const ElementFields<Owner>& fields, const Owner& owner)
{
    std::vector<Value> values;
    for (const ElementField<Owner>& field : fields) {
        if (field.drawn)
            values.push_back(field.property.getter(owner));
    }
    return values;
}

} // namespace zandrel
