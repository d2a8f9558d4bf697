#pragma once

#include "app/core/DocumentError.h"
#include "app/core/ModalAlert.h"
#include "graphics/Dash.h"

#include <QList>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

namespace zandrel {

class KeyedArchiver;
class KeyedUnarchiver;

// Names of the exceptions raised while a file is read from a newer program.
inline const QString kFileTooNewException = QStringLiteral("fileTooNew");
inline const QString kUserCancelledException = QStringLiteral("userCancelled");

// Notifications the controller posts with itself as object, and the keys of their user info.
inline const QString kMeasurementUnitsWillChangeNotification = QStringLiteral("measurementUnitsWillChange");
inline const QString kMeasurementUnitsChangedNotification = QStringLiteral("measurementUnitsChanged");
inline const QString kMeasurementUnitsDidChangeNotification = QStringLiteral("measurementUnitsDidChange");
inline const QString kConversionFactorKey = QStringLiteral("conversionFactor");
inline const QString kOldUnitsKey = QStringLiteral("oldUnits");
inline const QString kNewUnitsKey = QStringLiteral("newUnits");

// User-defaults keys: the display units, and the settings registered for the application.
inline const QString kDefaultUnitsKey = QStringLiteral("defaultUnits");
inline const QString kDeveloperKey = QStringLiteral("developer");
inline const QString kDefaultDescriptionKey = QStringLiteral("defaultDescription");
inline const QString kDefaultHashtagsKey = QStringLiteral("defaultHashtags");
inline const QString kFavoriteFontsKey = QStringLiteral("favoriteFonts");
inline const QString kUnfavoriteFontsKey = QStringLiteral("unfavoriteFonts");
inline const QString kLastCheckedArtStoreKey = QStringLiteral("lastCheckedArtStore");
inline const QString kLastVisitedArtStoreKey = QStringLiteral("lastVisitedArtStore");

// The application-wide services the models and documents reach: the archive version header and the
// errors of failed reads, the dash table, the display units and the pasteboard flag. This class is
// the headless part; the application installs a subclass that adds windows, menus and fonts and
// shows the questions asked through runModalAlert.
class ZDLAppController {
public:
    // Display units.
    enum Units : int { Pixels = 0, Inches = 1, Centimetres = 2 };

    ZDLAppController();
    virtual ~ZDLAppController();
    ZDLAppController(const ZDLAppController&) = delete;
    ZDLAppController& operator=(const ZDLAppController&) = delete;

    // The installed controller; a headless one is made on first use when none was installed.
    static ZDLAppController* appController();
    // Makes the controller the installed one, destroying the one installed before. Returns it.
    static ZDLAppController* install(std::unique_ptr<ZDLAppController> controller);

    // Registers the defaults the controller relies on. Runs once, before the first controller is made.
    static void registerUserDefaults();

    // --- Archive version header ---
    void encodeFileVersion(qint32 fileVersion, const QString& minimumAppVersion, qint32 losslessVersion,
        const QString& losslessAppVersion, KeyedArchiver& coder) const;
    // Returns when the reader may go on; raises kFileTooNewException when the file cannot be read
    // by this program, kUserCancelledException when the user declines a lossy read.
    void validateFileVersion(qint32 fileVersion, qint32 losslessVersion, KeyedUnarchiver& coder);
    // The error to report for an exception raised while a document was read. Anything that is not
    // one of the two version exceptions, a foreign exception included, is reported as corrupt data.
    static DocumentError getErrorForException(const std::exception& exception);

    // --- Questions to the user ---
    // Runs a modal alert and returns the code of the button chosen (ModalAlert::kFirstButton...).
    // The base class asks the handler set below, or answers the first button when there is none:
    // without anyone to ask, the cautious choice is taken.
    virtual int runModalAlert(const ModalAlert& alert);
    void setModalAlertHandler(std::function<int(const ModalAlert&)> handler);

    // --- Dashes ---
    qsizetype numberOfDashes() const { return m_dashes.size(); }
    // An index at or past the end, a negative one included, gives entry 0, the solid line.
    const Dash& getDashAtIndex(qint64 index) const;

    // --- Measurement units ---
    // Pixels per unit: 72 to the inch, 28.346457 to the centimetre, 1 for pixels and unknown units.
    static float pixelsPerUnit(int units);
    static float getPixelsFromUnits(float length, int units);
    static float getUnitsFromPixels(float pixels, int units);
    // The length in the units, rounded to 0.01 (inches, centimetres) or 0.1, with the unit's suffix.
    static QString measurementStringFor(float pixels, int units);

    int measurementUnits() const { return m_measurementUnits; }
    // Posts the three units notifications around the change and saves the units in the defaults,
    // also when the units do not change.
    void setMeasurementUnits(int units);
    float getPixelsFromUnits(float length) const { return getPixelsFromUnits(length, m_measurementUnits); }
    float getUnitsFromPixels(float pixels) const { return getUnitsFromPixels(pixels, m_measurementUnits); }
    QString measurementStringFor(float pixels) const
    {
        return measurementStringFor(pixels, m_measurementUnits);
    }

    // --- Pasteboard flag ---
    // True only while the program archives copied or dragged elements for the pasteboard.
    bool writingPasteboard() const { return m_writingPasteboard; }
    void setWritingPasteboard(bool writing) { m_writingPasteboard = writing; }

private:
    QList<Dash> m_dashes;
    qint32 m_measurementUnits = Pixels;
    bool m_writingPasteboard = false;
    std::function<int(const ModalAlert&)> m_alertHandler;
};

// Shorthand for ZDLAppController::appController().
inline ZDLAppController* appController()
{
    return ZDLAppController::appController();
}

} // namespace zandrel
