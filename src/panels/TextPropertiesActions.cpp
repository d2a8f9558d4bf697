// The actions of the text formatting bar: each turns its control's value into a change of the
// attributes of the text being edited, or of the balloon's shape and style.
#include "app/core/ZDLDocument.h"
#include "colorui/ColorPopups.h"
#include "comicmodel/Balloon.h"
#include "panels/PopupButton.h"
#include "panels/SegmentedControl.h"
#include "panels/TextFormatting.h"
#include "panels/TextPropertiesController.h"
#include "platform/Localization.h"
#include "views/BalloonTextEditor.h"

#include <QAbstractUndoItem>
#include <QLineEdit>
#include <QLocale>
#include <QTextDocument>
#include <cmath>

namespace zandrel {

namespace {

// A shape or style change made while the text is edited: it undoes in the editor's history, with
// the keystrokes around it.
class BalloonCodeUndo : public QAbstractUndoItem {
public:
    using Setter = std::function<void(int)>;
    BalloonCodeUndo(Setter setter, int oldCode, int newCode)
        : m_setter(std::move(setter))
        , m_old(oldCode)
        , m_new(newCode)
    {
    }
    void undo() override { m_setter(m_old); }
    void redo() override { m_setter(m_new); }

private:
    Setter m_setter;
    int m_old;
    int m_new;
};

TextAttributes withFont(const TextAttributes& attributes, const TextFont& font)
{
    TextAttributes changed = attributes;
    changed.font = font;
    return changed;
}

TextAttributes withParagraph(
    const TextAttributes& attributes, const std::function<void(TextParagraphStyle&)>& change)
{
    TextAttributes changed = attributes;
    TextParagraphStyle paragraph = attributes.paragraphStyleOrDefault();
    change(paragraph);
    changed.paragraphStyle = paragraph;
    return changed;
}

// Size fields are read within what text can be laid out at.
float heldSize(float size)
{
    return std::clamp(size, float(FontRegistry::kMinFontSize), float(FontRegistry::kMaxFontSize));
}

} // namespace

void TextPropertiesController::apply(
    const QString& actionName, const TextDocumentBridge::Converter& convert, bool paragraphs)
{
    if (!m_editor || !m_view)
        return;
    TextDocumentBridge& bridge = m_view->textBridge();
    const int stepsBefore = m_editor->document()->availableUndoSteps();
    const QTextCursor cursor = m_editor->textCursor();
    if (paragraphs)
        bridge.changeParagraphs(cursor, convert);
    else if (!cursor.hasSelection())
        m_editor->setCurrentCharFormat(bridge.changeCharacters(cursor, convert));
    else
        bridge.changeCharacters(cursor, convert);
    m_editor->nameLastStep(actionName, stepsBefore);
    updateFormatControls();
    // A field of the bar may have taken the keyboard: it goes back to the text.
    m_editor->setFocus(Qt::OtherFocusReason);
}

void TextPropertiesController::changeFontFamily(QAction* item)
{
    if (!item)
        return;
    const QString family = PopupButton::representedObjectOf(item).toString();
    apply(
        localized("Set Font"),
        [family](const TextAttributes& attributes) {
            return withFont(attributes,
                TextFormatting::withFace(attributes.font,
                    TextFormatting::convertToFamily(TextFormatting::faceOf(attributes.font), family)));
        },
        false);
}

void TextPropertiesController::changeFontStyle(QAction* item)
{
    const QString style = PopupButton::representedObjectOf(item).toString();
    if (style.isEmpty() || m_shownFamily.isEmpty())
        return;
    const TextFormatting::Face face { m_shownFamily, style };
    apply(
        localized("Set Font"),
        [face](const TextAttributes& attributes) {
            return withFont(attributes, TextFormatting::withFace(attributes.font, face));
        },
        false);
}

void TextPropertiesController::changeStyleFromSelector(int segment)
{
    if (segment == 0) {
        const bool bold = !m_boldOn;
        apply(
            localized("Bold"),
            [bold](const TextAttributes& attributes) {
                return withFont(attributes,
                    TextFormatting::withFace(attributes.font,
                        TextFormatting::convertBold(TextFormatting::faceOf(attributes.font), bold)));
            },
            false);
    } else if (segment == 1) {
        const bool italic = !m_italicOn;
        apply(
            localized("Italic"),
            [italic](const TextAttributes& attributes) {
                return withFont(attributes,
                    TextFormatting::withFace(attributes.font,
                        TextFormatting::convertItalic(TextFormatting::faceOf(attributes.font), italic)));
            },
            false);
    } else if (segment == 2) {
        const bool underline = !m_underlineOn;
        apply(
            localized("Underline"),
            [underline](const TextAttributes& attributes) {
                TextAttributes changed = attributes;
                if (underline)
                    changed.otherAttributes.insert(kUnderlineStyleAttributeName, Value(qint64(1)));
                else
                    changed.otherAttributes.remove(kUnderlineStyleAttributeName);
                return changed;
            },
            false);
    }
    // The toggles show the text, not the click.
    updateFormatControls();
}

// --- Size and line height ---

void TextPropertiesController::changeFontSize()
{
    if (!m_sizeField->text().trimmed().isEmpty())
        changeFontSizeTo(heldSize(QLocale().toFloat(m_sizeField->text())));
}

void TextPropertiesController::changeFontSizeFromStepper()
{
    changeFontSizeTo(static_cast<float>(m_sizeStepper->value()));
}

void TextPropertiesController::changeFontSizeFromPopup()
{
    const float size = floatFromNumericMenuItem(m_sizePopup->selectedItem());
    if (size >= kMinPopupSize && size <= kMaxPopupSize)
        changeFontSizeTo(size);
    else
        updateFormatControls();
}

void TextPropertiesController::changeFontSizeTo(float size)
{
    if (size == m_currentSize || !(size > 0))
        return;
    apply(
        localized("Set Font Size"),
        [size](const TextAttributes& attributes) {
            TextFont font = attributes.font.value_or(TextFont(FontRegistry::kLetteringFontName, 0));
            font.size = size;
            return withFont(attributes, font);
        },
        false);
}

void TextPropertiesController::changeLineHeight()
{
    if (!m_lineHeightField->text().trimmed().isEmpty())
        changeLineHeightTo(QLocale().toFloat(m_lineHeightField->text()));
}

void TextPropertiesController::changeLineHeightFromStepper()
{
    // The stepper moves by twentieths, from wherever the value stood.
    changeLineHeightTo(std::round(static_cast<float>(m_lineHeightStepper->value()) * 20.0f) / 20.0f);
}

void TextPropertiesController::changeLineHeightFromPopup()
{
    const float height = floatFromNumericMenuItem(m_lineHeightPopup->selectedItem());
    if (height >= kMinPopupLineHeight && height <= kMaxPopupLineHeight)
        changeLineHeightTo(height);
    else
        updateFormatControls();
}

void TextPropertiesController::changeLineHeightTo(float height)
{
    // A multiple of 0 or less would stack the lines on each other.
    if (height == m_currentLineHeight || !(height > 0))
        return;
    apply(
        localized("Set Line Height"),
        [height](const TextAttributes& attributes) {
            return withParagraph(attributes,
                [height](TextParagraphStyle& paragraph) { paragraph.lineHeightMultiple = height; });
        },
        true);
}

// --- Paragraphs ---

void TextPropertiesController::changeAlignment(int segment)
{
    const int tag = m_alignment->tagOf(segment);
    static const TextAlignment alignments[]
        = { TextAlignment::Left, TextAlignment::Center, TextAlignment::Right, TextAlignment::Justified };
    if (tag >= 0 && tag < int(std::size(alignments))) {
        const TextAlignment alignment = alignments[tag];
        apply(
            localized("Set Alignment"),
            [alignment](const TextAttributes& attributes) {
                return withParagraph(attributes,
                    [alignment](TextParagraphStyle& paragraph) { paragraph.alignment = alignment; });
            },
            true);
    }
    m_alignment->setTracking(SegmentedControl::Tracking::SelectOne);
    m_alignment->setSelectedSegment(segment);
}

void TextPropertiesController::changeSpaceBefore(const QString& text)
{
    changeSpacing(text, true);
}

void TextPropertiesController::changeSpaceAfter(const QString& text)
{
    changeSpacing(text, false);
}

void TextPropertiesController::changeSpacing(const QString& text, bool before)
{
    if (text.trimmed().isEmpty())
        return;
    bool read = false;
    const float value = QLocale().toFloat(text, &read);
    // Negative space would pull paragraphs over each other.
    if (!read || !(value >= 0) || value == (before ? m_currentSpaceBefore : m_currentSpaceAfter))
        return;
    const float spacing = std::min(value, float(FontRegistry::kMaxFontSize));
    apply(
        localized("Set Paragraph Spacing"),
        [spacing, before](const TextAttributes& attributes) {
            return withParagraph(attributes, [spacing, before](TextParagraphStyle& paragraph) {
                (before ? paragraph.paragraphSpacingBefore : paragraph.paragraphSpacing) = spacing;
            });
        },
        true);
}

// --- Colour ---

void TextPropertiesController::changeColor()
{
    if (!m_editor || !m_view)
        return;
    if (!m_settingColor) {
        m_settingColor = true;
        m_colorChangedText = false;
        m_colorStepsBefore = m_editor->document()->availableUndoSteps();
        m_colorTypingFormat = m_editor->currentCharFormat();
    }
    const RgbColor color = m_colorWell->color();
    const auto convert = [color](const TextAttributes& attributes) {
        TextAttributes changed = attributes;
        changed.foregroundColor = color;
        return changed;
    };
    TextDocumentBridge& bridge = m_view->textBridge();
    const QTextCursor cursor = m_editor->textCursor();
    if (cursor.hasSelection()) {
        // Every move in the popup joins the step the first one began.
        bridge.changeCharacters(cursor, convert, m_colorChangedText);
        m_colorChangedText = true;
        m_editor->nameLastStep(localized("Change Text Color"), m_colorStepsBefore);
    } else {
        m_editor->setCurrentCharFormat(bridge.changeCharacters(cursor, convert));
    }
}

void TextPropertiesController::commitColor()
{
    m_settingColor = false;
    updateFormatControls();
}

void TextPropertiesController::cancelColor()
{
    if (!m_settingColor || !m_editor)
        return;
    m_settingColor = false;
    if (m_colorChangedText) {
        // Undoing moves the cursor to the change; the user's selection stays.
        const QTextCursor selection = m_editor->textCursor();
        m_editor->undo();
        QTextCursor restored = m_editor->textCursor();
        restored.setPosition(selection.anchor());
        restored.setPosition(selection.position(), QTextCursor::KeepAnchor);
        m_editor->setTextCursor(restored);
    } else
        m_editor->setCurrentCharFormat(m_colorTypingFormat);
    updateFormatControls();
}

// --- The balloon ---

void TextPropertiesController::changeBalloonShape()
{
    changeBalloonCode(Balloon::kShapeKey, m_shapePopup, localized("Set Balloon Shape"));
}

void TextPropertiesController::changeBalloonStyle()
{
    changeBalloonCode(Balloon::kStyleKey, m_stylePopup, localized("Set Balloon Style"));
}

void TextPropertiesController::changeBalloonCode(
    const QString& key, PopupButton* popup, const QString& actionName)
{
    if (!m_balloon || !m_editor)
        return;
    const int code = std::max(popup->selectedTag(), 0);
    const int old = m_balloon->valueForKey(key).toInt();
    if (code == old)
        return;
    setEditedBalloonValue(key, code);
    const std::weak_ptr<Balloon> balloon = m_balloon;
    QPointer<BalloonEditingView> view = m_view;
    const QPointer<PopupButton> shown = popup;
    const auto set = [balloon, view, key, shown](int value) {
        const auto target = balloon.lock();
        if (!target || !view || !view->document())
            return;
        view->document()->updateViewsRect(target->getInvalidationBounds(), false);
        target->setValueForKey(Value(value), key);
        view->document()->updateViewsRect(target->getInvalidationBounds(), true);
        if (shown)
            shown->selectItemWithTag(value);
    };
    const int stepsBefore = m_editor->document()->availableUndoSteps();
    m_editor->document()->appendUndoItem(new BalloonCodeUndo(set, old, code));
    m_editor->nameLastStep(actionName, stepsBefore);
}

void TextPropertiesController::setEditedBalloonValue(const QString& key, int code)
{
    ZDLDocument* document = m_view ? m_view->document() : nullptr;
    if (!document)
        return;
    document->updateViewsRect(m_balloon->getInvalidationBounds(), false);
    m_balloon->setValueForKey(Value(code), key);
    document->updateViewsRect(m_balloon->getInvalidationBounds(), true);
}

} // namespace zandrel
