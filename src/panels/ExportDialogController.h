#pragma once

#include "panels/DialogController.h"

#include <QPointer>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSlider;
class QWidget;

namespace zandrel {

class CharacterDocument;
class ComicDocument;
class PopupButton;
class ZDLDocument;
class ZDLEditingView;

// The sheet in which the user chooses how to export a comic or a character: the file type, what to
// export, whether the floating elements over the current panel go with it, the resolution in
// pixels per inch or per centimetre, and the JPEG quality. Every choice is remembered in the user
// defaults; OK calls the editing view's export, which asks for the file.
class ExportDialogController : public DialogController {
    Q_OBJECT

public:
    // Codes of the file-type segments and of the units popup.
    enum FileType : int { Jpeg = 0, Png = 1, Pdf = 2 };
    enum ResolutionUnits : int { PixelsPerInch = 1, PixelsPerCentimetre = 2 };
    // What to export (the view's export kinds).
    enum WhatToExport : int { WholeDocument = 0, CurrentPage = 1, Selection = 2, CurrentPanel = 3 };

    static inline const QString kExportFileTypeKey = QStringLiteral("exportFileType");
    static inline const QString kExportWhatKey = QStringLiteral("exportWhat");
    static inline const QString kIncludeFloatersKey = QStringLiteral("includeFloaters");
    static inline const QString kExportResolutionKey = QStringLiteral("exportResolution");
    static inline const QString kExportQualityKey = QStringLiteral("exportQuality");
    static inline const QString kResUnitsKey = QStringLiteral("resUnits");

    static constexpr float kMinPerInch = 36.0f;
    static constexpr float kMaxPerInch = 600.0f;
    static constexpr float kCentimetresPerInch = 2.54f;
    static constexpr float kMinPerCentimetre = 36.0f / 2.54f;
    static constexpr float kMaxPerCentimetre = 600.0f / 2.54f;

    // Registers the defaults of the keys above.
    static void registerDefaults();
    // Makes the comic view's and the parts view's "exportDialog:" open the sheet for the window's
    // editing view of the document.
    static void install();

    ExportDialogController(ZDLDocument& document, ZDLEditingView& view);

    void showWindow() override;
    bool setNilValueForKey(const QString& key) override;

    // --- Actions ---
    void selectFileType();
    void setWhatToExportFromPopup();
    void setUnitsFromPopup();
    void performExport();

    // --- Properties ---
    float resolution() const { return m_resolution; }
    int resUnits() const { return m_resUnits; }
    int fileType() const { return m_fileType; }
    int whatToExport() const { return m_whatToExport; }
    bool includeFloaters() const { return m_includeFloaters; }
    float quality() const { return m_quality; }
    bool panelHasOverlappingFloaters() const { return m_panelHasOverlappingFloaters; }

    // --- Controls, for tests ---
    // The controller of a shown export sheet.
    static ExportDialogController* ofSheet(const QDialog* sheet);
    QButtonGroup* fileTypeSelector() const { return m_fileTypeSelector; }
    PopupButton* exportPopup() const { return m_exportPopup; }
    PopupButton* unitsPopup() const { return m_unitsPopup; }
    QLineEdit* resolutionField() const { return m_resolutionField; }
    QCheckBox* floatersCheckbox() const { return m_floatersCheckbox; }
    QSlider* qualitySlider() const { return m_qualitySlider; }
    bool rowShown(QWidget* rowField) const;

private:
    void buildSheet();
    void setRowShown(QWidget* rowField, bool shown);
    void removeExportItem(int tag);
    // The resolution field's text into the property; false (after telling the user) when it is
    // not a number in the units' range.
    bool commitResolution();
    void showResolution();
    float minimumResolution() const;
    float maximumResolution() const;

    QPointer<ZDLEditingView> m_currentView;
    ComicDocument* m_comicDoc = nullptr;
    CharacterDocument* m_characterDoc = nullptr;
    bool m_panelHasOverlappingFloaters = false;

    float m_resolution = 72.0f;
    int m_resUnits = PixelsPerInch;
    int m_fileType = Jpeg;
    int m_whatToExport = WholeDocument;
    bool m_includeFloaters = true;
    float m_quality = 0.7f;

    QButtonGroup* m_fileTypeSelector = nullptr;
    PopupButton* m_exportPopup = nullptr;
    PopupButton* m_unitsPopup = nullptr;
    QLineEdit* m_resolutionField = nullptr;
    QCheckBox* m_floatersCheckbox = nullptr;
    QSlider* m_qualitySlider = nullptr;
    QWidget* m_resolutionRow = nullptr;
};

} // namespace zandrel
