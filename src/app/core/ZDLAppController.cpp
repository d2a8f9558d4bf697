#include "app/core/ZDLAppController.h"

#include "platform/ArchiveNames.h"
#include "platform/DeferredCalls.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>
#include <new>

namespace zandrel {

namespace {

std::unique_ptr<ZDLAppController>& installedController()
{
    static std::unique_ptr<ZDLAppController> controller;
    return controller;
}

const QString kFileVersionKey = QStringLiteral("fileVersion");
const QString kLosslessVersionKey = QStringLiteral("losslessVersion");
// The misspelling is part of the file format.
const QString kMinimumAppVersionKey = QStringLiteral("minimimAppVersion");
const QString kMinimumLosslessAppVersionKey = QStringLiteral("minimimLosslessAppVersion");

// (dash, gap) in line widths. Files store indices into this table, so the order is fixed.
constexpr double kDashTable[][2] = {
    { 1, 1 },
    { 2, 1 },
    { 3, 1 },
    { 2, 2 },
    { 3, 2 },
    { 4, 2 },
    { 2, 3 },
    { 3, 3 },
    { 4, 3 },
    { 5, 3 },
    { 2, 4 },
    { 3, 4 },
    { 4, 4 },
    { 5, 4 },
};

QString versionString(KeyedUnarchiver& coder, const QString& key)
{
    // Anything but a string is refused and reads as empty.
    return coder.decodeObjectOfClass(PlatformClass::kString, key).toString();
}

} // namespace

ZDLAppController::ZDLAppController()
{
    setStoreAddress(ArtStore::storeAddress());
    registerUserDefaults();
    makeInterfaceColors();
    const auto& defaults = UserDefaults::standard();
    for (const QString& family : defaults.stringArray(kFavoriteFontsKey))
        m_userFavoriteFonts.insert(family);
    for (const QString& family : defaults.stringArray(kUnfavoriteFontsKey))
        m_userUnfavoriteFonts.insert(family);
    m_dashes.reserve(std::size(kDashTable) + 1);
    m_dashes.append(Dash());
    for (const auto& pattern : kDashTable)
        m_dashes.append(Dash { pattern[0], pattern[1] });
}

ZDLAppController::~ZDLAppController()
{
    // A message still waiting (a catalog save's) must not reach a controller that is gone.
    DeferredCalls::cancelAll(this);
    // Installs still going on stop here, their threads ended, before what they call on is gone.
    m_artProductInstalls.clear();
}

ZDLAppController* ZDLAppController::appController()
{
    auto& controller = installedController();
    if (!controller)
        controller = std::make_unique<ZDLAppController>();
    return controller.get();
}

ZDLAppController* ZDLAppController::install(std::unique_ptr<ZDLAppController> controller)
{
    auto& installed = installedController();
    // The old controller goes only after the new one is in place, so that nothing it does while it
    // is destroyed can make a fresh headless one.
    std::unique_ptr<ZDLAppController> previous = std::move(installed);
    installed = std::move(controller);
    previous.reset();
    return appController();
}

void ZDLAppController::registerUserDefaults()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;

    // Both dates were once parsed with a fixed locale and GMT from this text; ISO parsing is the same.
    const QDateTime artStoreDate
        = QDateTime::fromString(QStringLiteral("2016-04-05T12:00:00-06:00"), Qt::ISODate);
    UserDefaults::standard().registerDefaults(QVariantMap {
        { kDefaultUnitsKey, 0 },
        { kDeveloperKey, false },
        { kDefaultDescriptionKey, localized("My latest comic from Zandrel.") },
        { kDefaultHashtagsKey, localized("#zandrel") },
        { kFavoriteFontsKey, QStringList() },
        { kUnfavoriteFontsKey, QStringList() },
        { kLastCheckedArtStoreKey, artStoreDate },
        { kLastVisitedArtStoreKey, artStoreDate },
    });
}

// --- Archive version header ---

void ZDLAppController::encodeFileVersion(qint32 fileVersion, const QString& minimumAppVersion,
    qint32 losslessVersion, const QString& losslessAppVersion, KeyedArchiver& coder) const
{
    coder.encodeInt32(fileVersion, kFileVersionKey);
    coder.encodeInt32(losslessVersion, kLosslessVersionKey);
    coder.encodeObject(Value(minimumAppVersion), kMinimumAppVersionKey);
    coder.encodeObject(Value(losslessAppVersion), kMinimumLosslessAppVersionKey);
}

void ZDLAppController::validateFileVersion(qint32 fileVersion, qint32 losslessVersion, KeyedUnarchiver& coder)
{
    if (coder.decodeInt32ForKey(kFileVersionKey) > fileVersion) {
        const QString needed = versionString(coder, kMinimumAppVersionKey);
        Exception::raise(kFileTooNewException,
            localized("Zandrel version %1 or newer is needed to open this file.").arg(needed));
    }
    if (coder.decodeInt32ForKey(kLosslessVersionKey) > losslessVersion) {
        const QString needed = versionString(coder, kMinimumLosslessAppVersionKey);
        ModalAlert alert;
        alert.message = localized(
            "This file was created by a newer version of Zandrel. This version can open it but may lose some "
            "data.");
        alert.informativeText
            = localized("Zandrel version %1 or later can open this file without data loss.").arg(needed);
        alert.buttons = { localized("Cancel"), localized("Continue") };
        if (runModalAlert(alert) == ModalAlert::kFirstButton)
            Exception::raise(kUserCancelledException, localized("The user cancelled opening the file."));
    }
}

DocumentError ZDLAppController::getErrorForException(const std::exception& exception)
{
    if (const auto* named = dynamic_cast<const Exception*>(&exception)) {
        if (named->name() == kUserCancelledException)
            return DocumentError::userCancelled();
        if (named->name() == kFileTooNewException)
            return DocumentError::unreadableFile(
                localized("It was created with a newer version of Zandrel."), named->reason());
        if (named->name() == kBeyondLimitsException)
            return DocumentError::unreadableFile(
                localized("It is larger than Zandrel can open."), named->reason());
    }
    // Qt's containers throw this too when they cannot grow: the file may be sound, the machine short.
    if (dynamic_cast<const std::bad_alloc*>(&exception))
        return DocumentError::unreadableFile(localized("There is not enough memory to open it."));
    return DocumentError::unreadableFile(localized("The data is corrupted."));
}

// --- Questions to the user ---

int ZDLAppController::runModalAlert(const ModalAlert& alert)
{
    if (m_alertHandler) {
        ModalAlert shown = alert;
        shown.informativeText = alert.shownInformativeText();
        return m_alertHandler(shown);
    }
    return ModalAlert::kFirstButton;
}

void ZDLAppController::setModalAlertHandler(std::function<int(const ModalAlert&)> handler)
{
    m_alertHandler = std::move(handler);
}

// --- Dashes ---

const Dash& ZDLAppController::getDashAtIndex(qint64 index) const
{
    // Unsigned comparison: a negative index is past the end as well.
    if (static_cast<quint64>(index) >= static_cast<quint64>(m_dashes.size()))
        return m_dashes.first();
    return m_dashes.at(index);
}

// --- Measurement units ---

float ZDLAppController::pixelsPerUnit(int units)
{
    switch (units) {
    case Inches:
        return 72.0f;
    case Centimetres:
        return 28.346457f;
    default:
        return 1.0f;
    }
}

float ZDLAppController::getPixelsFromUnits(float length, int units)
{
    return length * pixelsPerUnit(units);
}

float ZDLAppController::getUnitsFromPixels(float pixels, int units)
{
    return pixels / pixelsPerUnit(units);
}

QString ZDLAppController::measurementStringFor(float pixels, int units)
{
    const bool fine = units == Inches || units == Centimetres;
    const int decimals = fine ? 2 : 1;
    const double steps = std::pow(10.0, decimals);
    // Rounds half to even, as the number formatting of the platform does.
    const double rounded = std::nearbyint(double(getUnitsFromPixels(pixels, units)) * steps) / steps;
    QString number = QLocale().toString(rounded, 'f', decimals);
    // A decimal-style number shows no trailing zeros: "1.5", "2".
    const QString point = QLocale().decimalPoint();
    if (number.contains(point)) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(point))
            number.chop(point.size());
    }
    if (number == QStringLiteral("-0"))
        number = QStringLiteral("0");
    switch (units) {
    case Inches:
        return localized("%1 in").arg(number);
    case Centimetres:
        return localized("%1 cm").arg(number);
    default:
        return localized("%1 px").arg(number);
    }
}

void ZDLAppController::setMeasurementUnits(int units)
{
    const ValueMap userInfo {
        { kConversionFactorKey, pixelsPerUnit(m_measurementUnits) / pixelsPerUnit(units) },
        { kOldUnitsKey, m_measurementUnits },
        { kNewUnitsKey, units },
    };
    auto& center = NotificationCenter::defaultCenter();
    center.post(kMeasurementUnitsWillChangeNotification, this, userInfo);
    m_measurementUnits = units;
    center.post(kMeasurementUnitsChangedNotification, this, userInfo);
    UserDefaults::standard().set(kDefaultUnitsKey, units);
    center.post(kMeasurementUnitsDidChangeNotification, this, userInfo);
}

} // namespace zandrel
