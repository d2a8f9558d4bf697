#include "panels/NewComicSheet.h"

#include "app/ComicWindowContents.h"
#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "panels/PanelFrameControls.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <cmath>

namespace zandrel {

namespace {

const QString kComicWidthKey = QStringLiteral("comicWidth");
const QString kComicHeightKey = QStringLiteral("comicHeight");
const QString kGutterKey = QStringLiteral("gutter");
const QString kNumRowsKey = QStringLiteral("numRows");
const QString kPanelsPerRowKey = QStringLiteral("panelsPerRow");
const QString kPanelShapeKey = QStringLiteral("panelShape");
const QString kPanelWeightKey = QStringLiteral("panelWeight");
const QString kPanelLineStyleKey = QStringLiteral("panelLineStyle");
const QString kCornerRoundnessKey = QStringLiteral("cornerRoundness");

// The comic shows faded behind the controls.
constexpr int kFadeAlpha = int(0.65 * 255);

} // namespace

// --- Overlay ---

NewComicOverlay::NewComicOverlay(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("newComicOverlay"));
    setGeometry(parent->rect());
    parent->installEventFilter(this);
}

void NewComicOverlay::hold(QWidget* controls)
{
    // The controls sit in the middle of a transparent holder that the scroll area stretches over the
    // overlay but never below the controls' smallest size, so that the faded document shows around
    // them and a smaller window scrolls them instead of cutting them.
    auto* holder = new QWidget;
    holder->setObjectName(QStringLiteral("controlsHolder"));
    auto* centre = new QGridLayout(holder);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(controls, 0, 0, Qt::AlignCenter);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("controlsScrollArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setWidget(holder);
    holder->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

void NewComicOverlay::present(QWidget* controls, QLineEdit* firstField)
{
    setGeometry(parentWidget()->rect());
    show();
    raise();
    controls->show();
    if (firstField) {
        firstField->setFocus();
        firstField->selectAll();
    }
    if (QWidget* top = window()) {
        top->raise();
        top->activateWindow();
    }
}

void NewComicOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(255, 255, 255, kFadeAlpha));
}

bool NewComicOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

// --- Controller ---

NewComicViewController::NewComicViewController(ComicDocument* document, QWidget* comicArea)
    : DialogController(comicArea, QStringLiteral("NewComicSheet"))
    , widthPixels(float(newComicDefault(kComicWidthKey)))
    , heightPixels(float(newComicDefault(kComicHeightKey)))
    , gutter(newComicDefault(kGutterKey))
    , numRows(int(newComicDefault(kNumRowsKey)))
    , panelsPerRow(int(newComicDefault(kPanelsPerRowKey)))
    , m_document(document)
    , m_overlay(new NewComicOverlay(comicArea))
    , m_sizeLimits(kSmallestSide, kLargestSide)
    , m_shape(int(newComicDefault(kPanelShapeKey)))
    , m_weight(float(newComicDefault(kPanelWeightKey)))
    , m_lineStyle(qint64(newComicDefault(kPanelLineStyleKey)))
    , m_cornerRoundness(float(newComicDefault(kCornerRoundnessKey)))
{
    m_overlay->hide();
    // The controls are a panel of the overlay, not a window of their own.
    sheet()->setParent(m_overlay, Qt::Widget);
    sheet()->setAutoFillBackground(true);
    // Over the comic itself, which stays in sight around it: the controls give up some of their
    // spacing in a short comic area rather than scroll their OK button away.
    auto* layout = new QVBoxLayout(m_overlay);
    layout->addWidget(sheet(), 0, Qt::AlignCenter);

    const auto text = [this](const QString& label, const QString& key, QString& value) {
        QLineEdit* field = addField(label, key);
        bindText(
            field, [&value] { return value; }, [&value](const QString& typed) { value = typed; });
    };
    text(localized("Name:"), QStringLiteral("name"), name);
    text(localized("Creator:"), QStringLiteral("creator"), creator);
    bindMeasurement(
        addField(localized("Width:"), QStringLiteral("widthPixels")), &widthPixels, &m_sizeLimits);
    bindMeasurement(
        addField(localized("Height:"), QStringLiteral("heightPixels")), &heightPixels, &m_sizeLimits);
    form()->addRow(localized("Units:"), new MeasurementPopup(sheet()));
    QLineEdit* gutterField = addField(localized("Gutter (px):"), kGutterKey);
    bindNumber(
        gutterField, kGutterKey, [this] { return gutter; }, [this](double value) { gutter = value; }, 0.0,
        kLargestGutter);
    addIntegerField(localized("Rows:"), kNumRowsKey, numRows, 1, kMostRowsOrPanels);
    addIntegerField(localized("Panels per row:"), kPanelsPerRowKey, panelsPerRow, 1, kMostRowsOrPanels);
    m_frame = new PanelFrameControls(sheet(), form());
    connect(m_frame, &PanelFrameControls::changed, this, [this] { updateDocument(); });
    // A field the user leaves rebuilds the comic once its property took the text.
    for (QLineEdit* field : sheet()->findChildren<QLineEdit*>()) {
        if (field != m_frame->roundnessField())
            connect(field, &QLineEdit::editingFinished, this, [this] { updateDocument(); });
    }
    for (Measurement* measurement : { &widthPixels, &heightPixels })
        measurement->addObserver(Measurement::kPixelsKey, this, [this](auto&&...) { updateDocument(); });
    addButtons(localized("OK"), [this] { setComicProperties(); });
    if (auto* box = sheet()->findChild<QDialogButtonBox*>())
        box->setStandardButtons(QDialogButtonBox::Ok);
    if (auto* box = sheet()->findChild<QDialogButtonBox*>())
        box->button(QDialogButtonBox::Ok)->setDefault(true);
}

void NewComicViewController::showWindow()
{
    const ComicModel* comic = m_document ? m_document->model().get() : nullptr;
    if (comic) {
        name = comic->name();
        creator = comic->creator();
    }
    m_frame->setValues(m_shape, m_weight, m_lineStyle, m_cornerRoundness);
    refreshFields();
    updateDocument();
    if (m_document)
        m_document->newComicPropertiesStarted();
    m_overlay->present(sheet(), sheet()->findChild<QLineEdit*>(QStringLiteral("name")));
}

void NewComicViewController::close()
{
    for (Measurement* measurement : { &widthPixels, &heightPixels })
        measurement->removeObservers(this);
    if (m_overlay)
        m_overlay->deleteLater();
    DialogController::close();
    // Only OK closes the sheet, with the window still there.
    if (m_document)
        m_document->doneEditingNewComicProperties();
}

void NewComicViewController::cancelDialog()
{
    setComicProperties();
    // Escape hid the controls; a field that refused its text keeps them up.
    if (sheet())
        sheet()->show();
}

bool NewComicViewController::setNilValueForKey(const QString& key)
{
    if (key == kGutterKey)
        gutter = 10.0;
    else if (key == kNumRowsKey)
        numRows = 1;
    else if (key == kPanelsPerRowKey)
        panelsPerRow = 3;
    else
        return DialogController::setNilValueForKey(key);
    return true;
}

void NewComicViewController::updateDocument()
{
    ComicModel* comic = m_document ? m_document->model().get() : nullptr;
    if (!comic)
        return;
    m_shape = m_frame->shape();
    m_weight = m_frame->weight();
    m_lineStyle = m_frame->lineStyle();
    m_cornerRoundness = m_frame->roundness();
    // The comic is not the user's work yet: nothing of the setup is undone later.
    UndoManager* undo = m_document->undoManager();
    undo->disableUndoRegistration();
    comic->setPanelGutter(float(gutter));
    comic->setupWithSize(QSizeF(widthPixels.pixels(), heightPixels.pixels()), numRows, panelsPerRow);
    ComicPanel::setFrameOfPanelsIn(*comic, m_shape, m_weight, m_lineStyle, m_cornerRoundness);
    comic->setCurrentPanel(nullptr);
    undo->enableUndoRegistration();
    m_document->updateViews();
}

void NewComicViewController::setComicProperties()
{
    if (!makeFirstResponder())
        return;
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(kComicWidthKey, double(widthPixels.pixels()));
    defaults.set(kComicHeightKey, double(heightPixels.pixels()));
    defaults.set(kGutterKey, gutter);
    defaults.set(kPanelWeightKey, double(m_frame->weight()));
    defaults.set(kCornerRoundnessKey, double(m_frame->roundness()));
    defaults.set(kNumRowsKey, numRows);
    defaults.set(kPanelsPerRowKey, panelsPerRow);
    defaults.set(kPanelShapeKey, m_frame->shape());
    defaults.set(kPanelLineStyleKey, qint64(m_frame->lineStyle()));
    updateDocument();
    if (ComicModel* comic = m_document ? m_document->model().get() : nullptr) {
        comic->setName(name);
        comic->setCreator(creator);
        comic->setCurrentPanel(std::dynamic_pointer_cast<ComicPanel>(comic->firstPanel()));
        m_document->updateViews();
    }
    close();
}

} // namespace zandrel
