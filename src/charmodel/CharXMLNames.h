#pragma once

#include <QString>

namespace zandrel {

// The element and attribute names of the XML character format, spelt once for the importer and
// for the classes that read their own attributes (the model, colours, paths).
struct CharXML {
    static inline const QString kCharacterDocumentElement = QStringLiteral("CharacterDocument");
    static inline const QString kTracingFileElement = QStringLiteral("TracingFile");
    static inline const QString kColorElement = QStringLiteral("Color");
    static inline const QString kPartElement = QStringLiteral("Part");
    static inline const QString kCurveElement = QStringLiteral("Curve");

    static inline const QString kCharacterNameAttribute = QStringLiteral("characterName");
    static inline const QString kCreatorAttribute = QStringLiteral("creator");
    static inline const QString kScaleAttribute = QStringLiteral("scale");
    static inline const QString kAlphaAttribute = QStringLiteral("alpha");
    static inline const QString kPathAttribute = QStringLiteral("path");
    static inline const QString kNameAttribute = QStringLiteral("name");
    // A colour's value, and a path's fill colour by name.
    static inline const QString kColorAttribute = QStringLiteral("color");
    static inline const QString kColorAdjustAttribute = QStringLiteral("colorAdjust");
    static inline const QString kLineColorAttribute = QStringLiteral("lineColor");
    static inline const QString kLineColorAdjustAttribute = QStringLiteral("lineColorAdjust");
    static inline const QString kLineWeightAttribute = QStringLiteral("lineWeight");
    static inline const QString kFillAlphaAttribute = QStringLiteral("fillAlpha");
    static inline const QString kBlurAttribute = QStringLiteral("blur");
    static inline const QString kClosedAttribute = QStringLiteral("closed");
    static inline const QString kCurveDataAttribute = QStringLiteral("curveData");

    // The value of a true flag, and the kind of a control point in "curveData".
    static inline const QString kTrue = QStringLiteral("true");
    static inline const QString kControlPointKind = QStringLiteral("c");
};

} // namespace zandrel
