#include "colorui/ColorSheets.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "colorui/ColorControlDrawing.h"
#include "colorui/ColorEditorController.h"
#include "colorui/ColorSetWindows.h"
#include "colorui/ColorSwatchGrid.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/PainterCanvas.h"

#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

namespace zandrel {

// --- New colour ---

NewColorDialogController::NewColorDialogController(QWidget* hostWindow, ZDLDocument* document,
    const std::shared_ptr<CharacterModel>& model, int insertionIndex, const RgbColor& initialColor)
    : DialogController(hostWindow, QStringLiteral("NewColorDialog"))
    , m_document(document)
    , m_model(model)
    , m_insertionIndex(insertionIndex)
    , m_initialColor(initialColor)
{
    sheet()->setWindowTitle(localized("New Color"));
    m_editingController = new ColorEditorController(sheet());
    m_editingController->setObjectName(QStringLiteral("editingController"));
    form()->addRow(m_editingController);
    QLineEdit* field = addField(localized("Name:"), QStringLiteral("name"));
    bindText(
        field, [this] { return name; }, [this](const QString& text) { name = text; });
    addButtons(localized("OK"), [this] { perform(); });
}

void NewColorDialogController::showWindow()
{
    m_editingController->beginEditingColor(m_initialColor);
    DialogController::showWindow();
    if (auto* field = sheet()->findChild<QLineEdit*>(QStringLiteral("name")))
        field->setFocus();
}

void NewColorDialogController::close()
{
    m_editingController->doneEditing();
    DialogController::close();
}

void NewColorDialogController::perform()
{
    if (!makeFirstResponder())
        return;
    const std::shared_ptr<CharacterModel> model = m_model.lock();
    if (model && m_document) {
        const QString requested = name.trimmed().isEmpty() ? localized("Color") : name.trimmed();
        const ZDLColorPtr color = ZDLColor::colorFromNSColor(m_editingController->color(), requested);
        color->setName(model->uniqueNameForColor(color.get(), requested));
        ColorSetWindowController::insertColor(
            m_document, model, color, m_insertionIndex - ColorSetWindowController::kFixedColors);
    }
    close();
}

// --- Deleting a used colour ---

DeleteUsedColorController::DeleteUsedColorController(const ZDLColorPtr& color,
    const std::shared_ptr<CharacterModel>& model, ZDLDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("DeleteUsedColorDialog"))
    , m_colorToDelete(color)
    , m_model(model)
    , m_document(document)
{
    sheet()->setWindowTitle(localized("Delete Color"));
    m_deleteColorWell = new SolidFillView(sheet());
    m_deleteColorWell->setFixedSize(40, 24);
    m_deleteLabel = new QLabel(sheet());
    m_deleteLabel->setObjectName(QStringLiteral("deleteLabel"));
    auto* header = new QWidget(sheet());
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->addWidget(m_deleteColorWell);
    headerLayout->addWidget(m_deleteLabel, 1);
    form()->addRow(header);
    form()->addRow(new QLabel(localized("The color is in use. Replace it with:"), sheet()));
    m_colorPopup = new PopupButton(sheet());
    m_colorPopup->setObjectName(QStringLiteral("colorPopup"));
    form()->addRow(localized("Replacement:"), m_colorPopup);
    addButtons(localized("Delete"), [this] { performDeleteColor(); });
}

void DeleteUsedColorController::showWindow()
{
    m_deleteLabel->setText(localized("Delete color \u201c%1\u201d?").arg(m_colorToDelete->name()));
    m_deleteColorWell->setFillColor(m_colorToDelete->color());
    m_colorPopup->removeAllItems();
    if (const std::shared_ptr<CharacterModel> model = m_model.lock()) {
        for (const ZDLColorPtr& color : model->colors()) {
            if (color == m_colorToDelete || color->isNone())
                continue;
            QPixmap swatch(24, 17);
            swatch.fill(Qt::transparent);
            {
                QPainter painter(&swatch);
                PainterCanvas canvas(&painter);
                drawSwatchInRect(canvas, color->color(), QRectF(0.5, 0.5, 23, 16));
            }
            QAction* item = m_colorPopup->addItem(color->name(), 0, QVariant::fromValue<void*>(color.get()));
            item->setIcon(QIcon(swatch));
        }
    }
    m_colorPopup->selectItem(m_colorPopup->items().value(0));
    DialogController::showWindow();
}

void DeleteUsedColorController::performDeleteColor()
{
    if (!makeFirstResponder())
        return;
    const std::shared_ptr<CharacterModel> model = m_model.lock();
    const void* chosen = PopupButton::representedObjectOf(m_colorPopup->selectedItem()).value<void*>();
    ZDLColorPtr replacement;
    if (model) {
        for (const ZDLColorPtr& color : model->colors()) {
            if (color.get() == chosen)
                replacement = color;
        }
    }
    // The palette may have changed under the sheet: only a colour still in it replaces.
    if (model && m_document && replacement && model->ownsColor(m_colorToDelete.get()))
        m_document->undoableDeleteColor(m_colorToDelete, model, replacement);
    close();
}

} // namespace zandrel
