#include "colorui/ColorPopups.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "colorui/ColorControlDrawing.h"
#include "colorui/ColorEditorController.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/PainterCanvas.h"
#include "platform/UndoManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace zandrel {

namespace {

const QString kColorPopupName = QStringLiteral("ColorPopupWindow");
const QString kNewColorPopupName = QStringLiteral("NewColorPopup");
const char* const kNewColorName = "New Color";
const char* const kAddColorAndSet = "Add Color and Set";
// The deferred hand-over of a finished colour to whoever asked for it.
const QString kHandOverKey = QStringLiteral("handOverNewColor");

UndoManager* undoManagerOf(const CharacterModel* model)
{
    return model && model->document() ? model->document()->undoManager() : nullptr;
}

} // namespace

// --- ColorPopupButton ---

ColorPopupButton::ColorPopupButton(QWidget* parent)
    : PopupWell(parent)
    , m_color(1, 1, 1, 1)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_popupController = new ColorPopupController(this);
}

ColorPopupButton::~ColorPopupButton() = default;

void ColorPopupButton::setColor(const RgbColor& color)
{
    m_color = color;
    update();
}

int ColorPopupButton::attachmentSide() const
{
    return m_popupController->attachmentSide();
}

void ColorPopupButton::setAttachmentSide(int side)
{
    m_popupController->setAttachmentSide(side);
}

void ColorPopupButton::takeColorValue(const RgbColor& color)
{
    setColor(color);
    sendAction();
}

void ColorPopupButton::popupColorPanel()
{
    m_popupController->setModeless(modeless());
    m_popupController->showWindow();
}

void ColorPopupButton::mousePressEvent(QMouseEvent* event)
{
    if (isEnabled() && event->button() == Qt::LeftButton)
        popupColorPanel();
}

void ColorPopupButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    const QRectF bounds = rect();
    fillCheckerboard(canvas, bounds);
    if (m_color.isValid())
        canvas.fillRect(bounds, CanvasPaint(m_color.toQColor()));
    const QRectF inset = bounds.adjusted(0.5, 0.5, -0.5, -0.5);
    const bool large = inset.width() > kSmallWellWidth && inset.height() > kSmallWellHeight;
    drawWellFrameAndTriangle(canvas, bounds, large);
}

// --- ColorPopupController ---

ColorPopupController::ColorPopupController(ColorPopupButton* host)
    : ValuePopupController(host, kColorPopupName)
    , m_hostButton(host)
{
    auto* layout = new QVBoxLayout(contentArea());
    layout->setContentsMargins(0, 0, 0, 0);
    m_editorController = new ColorEditorController(contentArea());
    layout->addWidget(m_editorController);
    addOkAndCancel(layout);
    connect(m_editorController, &ColorEditorController::action, this, &ColorPopupController::editorChanged);
}

void ColorPopupController::beginEditingHostValue()
{
    m_savedValue = m_hostButton->color();
    m_editorController->beginEditingColor(m_hostButton->color());
}

void ColorPopupController::writeEditedValueToHost()
{
    m_hostButton->setColor(m_editorController->color());
}

void ColorPopupController::restoreHostValue()
{
    m_hostButton->setColor(m_savedValue);
}

void ColorPopupController::close()
{
    if (!isShown())
        return;
    m_editorController->doneEditing();
    PopupController::close();
}

// --- NewColorPopupController ---

NewColorPopupController::NewColorPopupController(
    CharacterModel* model, QWidget* anchor, PropertyPreviewer* propsController, const QString& editProperty)
    : PopupController(anchor, kNewColorPopupName)
    , m_model(model)
    , m_propsController(propsController)
    , m_editProperty(editProperty)
{
    auto* layout = new QVBoxLayout(contentArea());
    layout->setContentsMargins(0, 0, 0, 0);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(localized(QStringLiteral("Name:")), contentArea()));
    m_nameField = new QLineEdit(contentArea());
    m_nameField->setObjectName(QStringLiteral("nameField"));
    nameRow->addWidget(m_nameField, 1);
    layout->addLayout(nameRow);
    m_editorController = new ColorEditorController(contentArea());
    layout->addWidget(m_editorController);
    addOkAndCancel(layout);
    connect(m_editorController, &ColorEditorController::action, this, &NewColorPopupController::colorChanged);
    connect(m_nameField, &QLineEdit::textEdited, this, &NewColorPopupController::nameChanged);
}

void NewColorPopupController::setModelAndAnchor(
    CharacterModel* model, QWidget* anchor, const QString& editProperty)
{
    m_model = model;
    setAnchorView(anchor);
    m_editProperty = editProperty;
}

void NewColorPopupController::editProvisionally(const std::function<void()>& edit)
{
    UndoManager* undo = undoManagerOf(m_model);
    if (undo)
        undo->disableUndoRegistration();
    edit();
    if (undo)
        undo->enableUndoRegistration();
}

void NewColorPopupController::preview()
{
    if (m_propsController && !m_editProperty.isEmpty() && m_newColor)
        m_propsController->previewProperty(m_editProperty, Value(m_newColor), localized(kAddColorAndSet));
}

void NewColorPopupController::showWindow()
{
    if (!m_model || !anchorView())
        return;
    m_newColor = std::make_shared<ZDLColor>();
    m_newColor->setName(m_model->uniqueNameForColor(m_newColor.get(), localized(kNewColorName)));
    // The platform's blue.
    const RgbColor blue(0.0, 0.0, 1.0, 1.0);
    m_newColor->setColor(blue);
    editProvisionally([this] { m_model->addColor(m_newColor); });
    preview();
    m_nameField->setText(m_newColor->name());
    m_editorController->beginEditingColor(blue);
    PopupController::showWindow();
    m_nameField->setFocus();
    m_nameField->selectAll();
}

void NewColorPopupController::colorChanged()
{
    if (!m_newColor)
        return;
    editProvisionally([this] { m_newColor->setColor(m_editorController->color()); });
    preview();
}

void NewColorPopupController::nameChanged(const QString& text)
{
    if (!m_newColor || !m_model)
        return;
    editProvisionally(
        [this, text] { m_newColor->setName(m_model->uniqueNameForColor(m_newColor.get(), text)); });
}

void NewColorPopupController::perform()
{
    if (!isShown() || !m_newColor || !m_model)
        return;
    const ZDLColorPtr color = m_newColor;
    QString requested = m_nameField->text().trimmed();
    // A colour needs a name to be told apart in the lists.
    if (requested.isEmpty())
        requested = localized(kNewColorName);

    // The provisional colour leaves the list first, so that naming and colouring it are no steps
    // of their own; the list then records the one addition. The inspector's commit joins it in the
    // same pass of the event loop and names the step.
    editProvisionally([this, color] { m_model->removeColor(color); });
    color->setName(m_model->uniqueNameForColor(color.get(), requested));
    color->setColor(m_editorController->color());
    m_model->undoableAddColor(color);
    if (m_propsController && !m_editProperty.isEmpty()) {
        preview();
        m_propsController->commitPreviewed();
    }
    // Whoever asked for the colour gets it once the popup has gone.
    if (ColorSetter setter = m_colorSetter) {
        const QPointer<NewColorPopupController> self(this);
        DeferredCalls::perform(this, kHandOverKey, 0, [self, setter, color] {
            if (self)
                setter(color);
        });
    }
    close();
}

void NewColorPopupController::cancelDialog()
{
    if (!isShown())
        return;
    if (m_newColor && m_model)
        editProvisionally([this] { m_model->removeColor(m_newColor); });
    if (m_propsController && !m_editProperty.isEmpty())
        m_propsController->cancelPreviewed();
    PopupController::cancelDialog();
}

void NewColorPopupController::close()
{
    if (!isShown())
        return;
    m_editorController->doneEditing();
    m_newColor.reset();
    PopupController::close();
}

} // namespace zandrel
