#pragma once

#include "graphics/Measurement.h"
#include "panels/DialogController.h"
#include "panels/MeasurementFormatter.h"

#include <QPointer>
#include <memory>

class QButtonGroup;
class QLineEdit;

namespace zandrel {

class ComicDocument;
class ComicPage;
class ComicView;
class PanelFrameControls;

// The sheets that change the structure of a comic: split the current panel, delete or insert a row,
// the gutter, a new page and the page margins. Each ends in one undo step of the document or view.

// Counts of rows and panels the sheets take: a grid larger than this is no comic page.
inline constexpr int kMostRowsOrPanels = 50;

class SplitPanelDialogController : public DialogController {
    Q_OBJECT

public:
    SplitPanelDialogController(ComicDocument* document, QWidget* hostWindow);
    bool setNilValueForKey(const QString& key) override;
    void performSplit();

    int numRows = 2;
    int panelsPerRow = 2;

private:
    // Parts smaller than the smallest panel are refused, naming the field that asks for them; the
    // sheet stays open.
    bool refusedAsTooSmall();
    void refuse(const QString& key, const QString& message, const QString& explanation);

    QPointer<ComicView> m_editView;
};

class DeleteRowController : public DialogController {
    Q_OBJECT

public:
    DeleteRowController(ComicDocument* document, QWidget* hostWindow);
    void showWindow() override;
    void cancelDialog() override;
    void performDelete();

    QButtonGroup* spaceRadioGroup() const { return m_spaceRadioGroup; }

private:
    ComicDocument* m_comicDoc;
    QPointer<ComicView> m_currentView;
    QButtonGroup* m_spaceRadioGroup = nullptr;
};

class GutterSizeController : public DialogController {
    Q_OBJECT

public:
    static constexpr double kLargestGutter = 500.0;

    GutterSizeController(ComicDocument* document, QWidget* hostWindow);
    void showWindow() override;
    void setGutterSize();

    double gutter = 0.0;

private:
    ComicDocument* m_document;
};

class NewPageController : public DialogController {
    Q_OBJECT

public:
    NewPageController(ComicDocument* document, QWidget* hostWindow);
    void showWindow() override;
    void performNewPage();

    PanelFrameControls* frameControls() const { return m_frame; }
    int numRows = 1;
    int panelsPerRow = 1;

private:
    ComicDocument* m_comicDoc;
    QButtonGroup* m_whereRadioGroup = nullptr;
    PanelFrameControls* m_frame = nullptr;
};

class InsertRowController : public DialogController {
    Q_OBJECT

public:
    static constexpr float kLargestRow = 20000.0f;

    InsertRowController(ComicDocument* document, QWidget* hostWindow);
    void showWindow() override;
    void close() override;
    void setHowToGetSpace();
    void performInsert();

    int numPanels = 1;
    Measurement addPixels;

private:
    ComicDocument* m_comicDoc;
    QPointer<ComicView> m_currentView;
    QButtonGroup* m_whereRadioGroup = nullptr;
    QButtonGroup* m_spaceRadioGroup = nullptr;
    QLineEdit* m_addPixelsField = nullptr;
    QLineEdit* m_numPanelsField = nullptr;
    MeasurementFormatter m_rowLimits;
};

class PageMarginsController : public DialogController {
    Q_OBJECT

public:
    static constexpr float kLargestMargin = 5000.0f;

    PageMarginsController(ComicDocument* document, QWidget* hostWindow);
    void showWindow() override;
    void performMarginSet();

    Measurement topToSet;
    Measurement leftToSet;
    Measurement rightToSet;
    Measurement bottomToSet;

private:
    ComicDocument* m_document;
    std::shared_ptr<ComicPage> m_page;
    MeasurementFormatter m_marginLimits;
};

} // namespace zandrel
