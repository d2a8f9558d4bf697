#pragma once

#include <QString>

namespace zandrel {

// The names the standard keyed-archive layout gives the platform's own classes, spelt once for the
// archiver, the unarchiver, the class registry and the model classes that name them. A model class
// declares its own archived name beside itself (kClassName).
struct PlatformClass {
    static inline const QString kObject = QStringLiteral("NSObject");
    static inline const QString kString = QStringLiteral("NSString");
    static inline const QString kMutableString = QStringLiteral("NSMutableString");
    static inline const QString kData = QStringLiteral("NSData");
    static inline const QString kMutableData = QStringLiteral("NSMutableData");
    static inline const QString kValue = QStringLiteral("NSValue");
    static inline const QString kNumber = QStringLiteral("NSNumber");
    static inline const QString kDate = QStringLiteral("NSDate");
    static inline const QString kArray = QStringLiteral("NSArray");
    static inline const QString kMutableArray = QStringLiteral("NSMutableArray");
    static inline const QString kSet = QStringLiteral("NSSet");
    static inline const QString kMutableSet = QStringLiteral("NSMutableSet");
    static inline const QString kDictionary = QStringLiteral("NSDictionary");
    static inline const QString kMutableDictionary = QStringLiteral("NSMutableDictionary");
    static inline const QString kColor = QStringLiteral("NSColor");
    static inline const QString kAffineTransform = QStringLiteral("NSAffineTransform");
    static inline const QString kAttributedString = QStringLiteral("NSAttributedString");
    static inline const QString kMutableAttributedString = QStringLiteral("NSMutableAttributedString");
    static inline const QString kTextStorage = QStringLiteral("NSTextStorage");
    static inline const QString kFont = QStringLiteral("NSFont");
    static inline const QString kParagraphStyle = QStringLiteral("NSParagraphStyle");
    static inline const QString kMutableParagraphStyle = QStringLiteral("NSMutableParagraphStyle");
    static inline const QString kImage = QStringLiteral("NSImage");
    static inline const QString kImageRep = QStringLiteral("NSImageRep");
};

// The keys of the standard layout: the top dictionary, the class records, and the keys the
// platform's value classes archive their contents under.
struct ArchiveLayoutKey {
    static inline const QString kArchiver = QStringLiteral("$archiver");
    static inline const QString kVersion = QStringLiteral("$version");
    static inline const QString kTop = QStringLiteral("$top");
    static inline const QString kObjects = QStringLiteral("$objects");
    static inline const QString kNull = QStringLiteral("$null");
    static inline const QString kClass = QStringLiteral("$class");
    static inline const QString kClassName = QStringLiteral("$classname");
    static inline const QString kClasses = QStringLiteral("$classes");
    // The name the top dictionary gives the archiver, and the key of the root object.
    static inline const QString kArchiverName = QStringLiteral("NSKeyedArchiver");
    static inline const QString kRoot = QStringLiteral("root");

    static inline const QString kMembers = QStringLiteral("NS.objects");
    static inline const QString kKeys = QStringLiteral("NS.keys");
    static inline const QString kStringText = QStringLiteral("NS.string");
    static inline const QString kDataBytes = QStringLiteral("NS.data");
    static inline const QString kDoubleValue = QStringLiteral("NS.dblval");
    static inline const QString kBoolValue = QStringLiteral("NS.boolval");
    static inline const QString kIntegerValue = QStringLiteral("NS.intval");
    // Which geometry an NSValue holds (1 point, 2 size, 3 rect) and its text.
    static inline const QString kSpecial = QStringLiteral("NS.special");
    static inline const QString kPointValue = QStringLiteral("NS.pointval");
    static inline const QString kSizeValue = QStringLiteral("NS.sizeval");
    static inline const QString kRectValue = QStringLiteral("NS.rectval");
    static inline const QString kColorSpace = QStringLiteral("NSColorSpace");
    static inline const QString kRGB = QStringLiteral("NSRGB");
    static inline const QString kWhite = QStringLiteral("NSWhite");
    // The misspelling is part of the format.
    static inline const QString kCMYK = QStringLiteral("NSCYMK");
    static inline const QString kTransformM11 = QStringLiteral("m11");
    static inline const QString kTransformM12 = QStringLiteral("m12");
    static inline const QString kTransformM21 = QStringLiteral("m21");
    static inline const QString kTransformM22 = QStringLiteral("m22");
    static inline const QString kTransformTX = QStringLiteral("tX");
    static inline const QString kTransformTY = QStringLiteral("tY");
};

} // namespace zandrel
