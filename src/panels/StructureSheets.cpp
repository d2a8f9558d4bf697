#include "panels/StructureSheets.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicRow.h"
#include "panels/PanelFrameControls.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "views/ComicView.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFormLayout>
#include <QLineEdit>
#include <QLineF>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// New rows and pages propose a panel for every this many pixels of the comic's width.
constexpr double kProposedPanelWidth = 300.0;

ComicView* comicViewIn(QWidget* window)
{
    return window ? window->window()->findChild<ComicView*>() : nullptr;
}

int proposedPanelsPerRow(const ComicModel* comic)
{
    if (!comic)
        return 1;
    const float panels = std::ceil(float(comic->size().width() / kProposedPanelWidth));
    return std::clamp(int(panels), 1, kMostRowsOrPanels);
}

// The current panel's row among the rows of the current page, with its index; none when the panel
// is not in a row of the page.
std::pair<std::shared_ptr<ComicRow>, qsizetype> currentTopLevelRow(const ComicModel* comic)
{
    const auto panel = comic ? comic->currentPanel() : nullptr;
    const auto& page = comic ? comic->currentPage() : nullptr;
    ComicRow* row = panel ? panel->getTopLevelRowContainer() : nullptr;
    if (!row || !page)
        return { nullptr, -1 };
    const auto& rows = page->contents();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].get() == row)
            return { std::dynamic_pointer_cast<ComicRow>(rows[i]), qsizetype(i) };
    }
    return { nullptr, -1 };
}

QString countKey(const char* key)
{
    return QString::fromLatin1(key);
}

} // namespace

// --- Split panel ---

SplitPanelDialogController::SplitPanelDialogController(ComicDocument*, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("SplitPanel"))
    , m_editView(comicViewIn(hostWindow))
{
    sheet()->setWindowTitle(localized("Split Panel"));
    addIntegerField(localized("Rows:"), countKey("numRows"), numRows, 1, kMostRowsOrPanels);
    addIntegerField(
        localized("Panels per row:"), countKey("panelsPerRow"), panelsPerRow, 1, kMostRowsOrPanels);
    addButtons(localized("Split"), [this] { performSplit(); });
}

bool SplitPanelDialogController::setNilValueForKey(const QString& key)
{
    if (key == countKey("numRows"))
        numRows = 1;
    else if (key == countKey("panelsPerRow"))
        panelsPerRow = 2;
    else
        return DialogController::setNilValueForKey(key);
    return true;
}

void SplitPanelDialogController::performSplit()
{
    if (!makeFirstResponder() || refusedAsTooSmall())
        return;
    if (m_editView)
        m_editView->splitPanelIntoRows(numRows, panelsPerRow);
    close();
}

bool SplitPanelDialogController::refusedAsTooSmall()
{
    const auto panel = m_editView ? m_editView->currentPanel() : nullptr;
    if (!panel)
        return false;
    // Neighbouring parts share the panel's edges; of two opposite edges the shorter decides.
    const double width = std::min(QLineF(panel->topLeft(), panel->topRight()).length(),
        QLineF(panel->bottomLeft(), panel->bottomRight()).length());
    const double height = std::min(QLineF(panel->topLeft(), panel->bottomLeft()).length(),
        QLineF(panel->topRight(), panel->bottomRight()).length());
    const QSizeF smallest = panel->minimumSize();
    const auto fitting
        = [](double length, double side) { return std::max(1, int(std::floor(length / side))); };
    // One part along an edge leaves the panel as large as it is.
    if (numRows > 1 && height / numRows < smallest.height()) {
        refuse(countKey("numRows"),
            localized("This \"Rows\" setting would make the split panels too small for the current panel."),
            localized("The current panel has room for at most %1 rows.")
                .arg(fitting(height, smallest.height())));
        return true;
    }
    if (panelsPerRow > 1 && width / panelsPerRow < smallest.width()) {
        refuse(countKey("panelsPerRow"),
            localized("This \"Panels per row\" setting would make the split panels too small for the current "
                      "panel."),
            localized("The current panel has room for at most %1 panels per row.")
                .arg(fitting(width, smallest.width())));
        return true;
    }
    return false;
}

void SplitPanelDialogController::refuse(
    const QString& key, const QString& message, const QString& explanation)
{
    showAlertMessage(message, explanation);
    if (auto* field = sheet()->findChild<QLineEdit*>(key)) {
        field->setFocus(Qt::OtherFocusReason);
        field->selectAll();
    }
}

// --- Delete row ---

DeleteRowController::DeleteRowController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("DeleteRowDialog"))
    , m_comicDoc(document)
    , m_currentView(comicViewIn(hostWindow))
{
    sheet()->setWindowTitle(localized("Delete Row"));
    m_spaceRadioGroup = addRadioGroup(localized("Comic size:"),
        { { localized("Keep the comic's size"), 0 }, { localized("Reduce the comic's height"), 1 } });
    addButtons(localized("Delete"), [this] { performDelete(); });
}

void DeleteRowController::showWindow()
{
    if (m_currentView)
        m_currentView->setShowCurrentRow(true);
    DialogController::showWindow();
}

void DeleteRowController::cancelDialog()
{
    if (m_currentView)
        m_currentView->setShowCurrentRow(false);
    DialogController::cancelDialog();
}

void DeleteRowController::performDelete()
{
    if (!makeFirstResponder())
        return;
    if (m_currentView)
        m_currentView->setShowCurrentRow(false);
    const ComicModel* comic = m_comicDoc ? m_comicDoc->model().get() : nullptr;
    const auto [row, index] = currentTopLevelRow(comic);
    if (row) {
        float height = 0.0f;
        if (m_spaceRadioGroup->checkedId() == 1) {
            height = float(((row->bottomLeft().y() - row->topLeft().y())
                               + (row->bottomRight().y() - row->topRight().y()))
                * 0.5);
        }
        m_comicDoc->undoableDeleteRowInPage(comic->currentPage(), index, height);
    }
    close();
}

// --- Gutter ---

GutterSizeController::GutterSizeController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("GutterSizeDialog"))
    , m_document(document)
{
    sheet()->setWindowTitle(localized("Gutter Size"));
    QLineEdit* field = addField(localized("Gutter (px):"), QStringLiteral("gutter"));
    bindNumber(
        field, QStringLiteral("gutter"), [this] { return gutter; }, [this](double value) { gutter = value; },
        0.0, kLargestGutter);
    addButtons(localized("OK"), [this] { setGutterSize(); });
}

void GutterSizeController::showWindow()
{
    if (m_document && m_document->model())
        gutter = m_document->model()->panelGutter();
    DialogController::showWindow();
}

void GutterSizeController::setGutterSize()
{
    if (!makeFirstResponder())
        return;
    const std::shared_ptr<ComicModel> comic = m_document ? m_document->model() : nullptr;
    if (!comic || float(gutter) == comic->panelGutter()) {
        close();
        return;
    }
    // The gutter is tried on the model: only the laid-out panels tell whether they still fit.
    const float old = comic->panelGutter();
    comic->setPanelGutter(float(gutter));
    const QSizeF minimum = comic->minimumSize();
    const QRectF bounds = comic->bounds();
    if (minimum.width() > bounds.width() || minimum.height() > bounds.height()) {
        comic->setPanelGutter(old);
        showAlertMessage(localized("This gutter setting would make existing panels too small for the "
                                   "existing page size and margins."));
        return;
    }
    m_document->undoableSetPropertyFor(comic, ComicModel::kPanelGutterKey, Value(float(gutter)), Value(old));
    m_document->undoManager()->setActionName(localized("Set Gutter Size"));
    close();
}

// --- New page ---

NewPageController::NewPageController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("NewPageDialog"))
    , m_comicDoc(document)
{
    sheet()->setWindowTitle(localized("New Page"));
    m_whereRadioGroup = addRadioGroup(
        localized("Insert:"), { { localized("Before this page"), 0 }, { localized("After this page"), 1 } });
    m_whereRadioGroup->button(1)->setChecked(true);
    addIntegerField(localized("Rows:"), countKey("numRows"), numRows, 1, kMostRowsOrPanels);
    addIntegerField(
        localized("Panels per row:"), countKey("panelsPerRow"), panelsPerRow, 1, kMostRowsOrPanels);
    m_frame = new PanelFrameControls(sheet(), form());
    addButtons(localized("Add Page"), [this] { performNewPage(); });
}

void NewPageController::showWindow()
{
    const ComicModel* comic = m_comicDoc ? m_comicDoc->model().get() : nullptr;
    const auto& page = comic ? comic->currentPage() : nullptr;
    numRows = page ? std::clamp(int(page->numContents()), 1, kMostRowsOrPanels) : 1;
    panelsPerRow = proposedPanelsPerRow(comic);
    if (const auto panel = comic ? comic->currentPanel() : nullptr)
        m_frame->setValues(panel->shape(), panel->weight(), panel->lineStyle(), panel->roundness());
    else
        m_frame->setValues(PanelShapePlain, 1.0f, 0, 0.0f);
    DialogController::showWindow();
}

void NewPageController::performNewPage()
{
    if (!makeFirstResponder())
        return;
    if (const ComicModel* comic = m_comicDoc ? m_comicDoc->model().get() : nullptr) {
        const qsizetype index = comic->currentPageIndex() + (m_whereRadioGroup->checkedId() == 1 ? 1 : 0);
        m_comicDoc->undoableAddPageAt(index, numRows, panelsPerRow, m_frame->shape(), m_frame->lineStyle(),
            m_frame->weight(), m_frame->roundness());
    }
    close();
}

// --- Insert row ---

InsertRowController::InsertRowController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("InsertRowDialog"))
    , m_comicDoc(document)
    , m_currentView(comicViewIn(hostWindow))
    , m_rowLimits(1.0, kLargestRow)
{
    sheet()->setWindowTitle(localized("Insert Row"));
    m_whereRadioGroup = addRadioGroup(
        localized("Insert:"), { { localized("Above this row"), 0 }, { localized("Below this row"), 1 } });
    m_whereRadioGroup->button(1)->setChecked(true);
    m_numPanelsField
        = addIntegerField(localized("Panels:"), countKey("numPanels"), numPanels, 1, kMostRowsOrPanels);
    m_spaceRadioGroup = addRadioGroup(localized("Room for the row:"),
        { { localized("Share the page's height"), 0 }, { localized("Make the comic taller by:"), 1 } });
    m_addPixelsField = addField(localized("Row height:"), QStringLiteral("addPixels"));
    bindMeasurement(m_addPixelsField, &addPixels, &m_rowLimits);
    form()->addRow(localized("Units:"), new MeasurementPopup(sheet()));
    connect(m_spaceRadioGroup, &QButtonGroup::idClicked, this, [this] { setHowToGetSpace(); });
    addButtons(localized("Insert"), [this] { performInsert(); });
}

void InsertRowController::showWindow()
{
    const ComicModel* comic = m_comicDoc ? m_comicDoc->model().get() : nullptr;
    const auto& page = comic ? comic->currentPage() : nullptr;
    const double rows = page && page->numContents() > 0 ? double(page->numContents()) : 1.0;
    addPixels.setPixels(comic ? float(comic->size().height() / rows) : 100.0f);
    numPanels = proposedPanelsPerRow(comic);
    if (m_currentView)
        m_currentView->setShowCurrentRow(true);
    m_addPixelsField->setEnabled(false);
    DialogController::showWindow();
    m_numPanelsField->setFocus();
}

void InsertRowController::setHowToGetSpace()
{
    const bool adding = m_spaceRadioGroup->checkedId() == 1;
    m_addPixelsField->setEnabled(adding);
    (adding ? m_addPixelsField : m_numPanelsField)->setFocus();
}

void InsertRowController::close()
{
    if (m_currentView)
        m_currentView->setShowCurrentRow(false);
    DialogController::close();
}

void InsertRowController::performInsert()
{
    if (!makeFirstResponder())
        return;
    const ComicModel* comic = m_comicDoc ? m_comicDoc->model().get() : nullptr;
    const auto [row, index] = currentTopLevelRow(comic);
    if (row) {
        const float height = m_spaceRadioGroup->checkedId() == 1 ? addPixels.pixels() : 0.0f;
        m_comicDoc->undoableInsertRowInPage(
            comic->currentPage(), index + (m_whereRadioGroup->checkedId() == 1 ? 1 : 0), height, numPanels);
    }
    close();
}

// --- Page margins ---

PageMarginsController::PageMarginsController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("PageMarginsDialog"))
    , m_document(document)
    , m_page(document && document->model() ? document->model()->currentPage() : nullptr)
    , m_marginLimits(0.0, kLargestMargin)
{
    sheet()->setWindowTitle(localized("Page Margins"));
    const std::pair<const char*, Measurement*> margins[] = { { "Top:", &topToSet }, { "Left:", &leftToSet },
        { "Right:", &rightToSet }, { "Bottom:", &bottomToSet } };
    for (const auto& [label, measurement] : margins) {
        QString key = QString::fromLatin1(label).toLower();
        key.chop(1);
        bindMeasurement(
            addField(localized(label), key + QStringLiteral("Margin")), measurement, &m_marginLimits);
    }
    form()->addRow(localized("Units:"), new MeasurementPopup(sheet()));
    addButtons(localized("OK"), [this] { performMarginSet(); });
}

void PageMarginsController::showWindow()
{
    if (m_page) {
        topToSet.setPixels(m_page->topMargin());
        leftToSet.setPixels(m_page->leftMargin());
        rightToSet.setPixels(m_page->rightMargin());
        bottomToSet.setPixels(m_page->bottomMargin());
    }
    DialogController::showWindow();
}

void PageMarginsController::performMarginSet()
{
    if (!makeFirstResponder())
        return;
    if (!m_page || !m_document) {
        close();
        return;
    }
    const float top = topToSet.pixels();
    const float left = leftToSet.pixels();
    const float right = rightToSet.pixels();
    const float bottom = bottomToSet.pixels();
    if (top == m_page->topMargin() && left == m_page->leftMargin() && right == m_page->rightMargin()
        && bottom == m_page->bottomMargin()) {
        close();
        return;
    }
    const QSizeF minimum = m_page->minimumSize();
    const QRectF bounds = m_page->bounds();
    if (minimum.height() + double(top) + double(bottom) > bounds.height()
        || minimum.width() + double(left) + double(right) > bounds.width()) {
        showAlertMessage(
            localized("These margin settings would make existing panels too small on this page size."));
        return;
    }
    m_page->setMarginsTop(top, left, right, bottom);
    m_document->updateViews();
    m_document->undoManager()->setActionName(localized("Set Margins"));
    close();
}

} // namespace zandrel
