// The balloon editing view: creating lettering and editing its text in place. The balloon and group
// commands, pasting and validation are in BalloonEditingViewCommands.cpp.
#include "views/BalloonEditingView.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/ColorFill.h"
#include "graphics/DefaultsExtensions.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "views/BalloonTextEditor.h"

#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTextDocument>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// A speech balloon takes two fifths of its panel's width, within these bounds; narration boxes and
// text blocks take two thirds of it. Single precision, as the widths are stored.
float twoFifths(double width)
{
    return 2.0f * static_cast<float>(width) / 5.0f;
}
float twoThirds(double width)
{
    return 2.0f * static_cast<float>(width) / 3.0f;
}
constexpr float kMinSpeechBalloonWidth = 60.0f;
constexpr float kMaxSpeechBalloonWidth = 150.0f;
// The narration box sits in the panel's top-left corner, just inside its frame.
constexpr double kNarrationBoxInsetX = 2.0;
constexpr double kNarrationBoxInsetY = 5.0;
// Speech balloons and text blocks start a seventh of the panel's height down.
constexpr double kTopShareOfPanel = 1.0 / 7.0;
// Widths around the centre of the visible area, outside a comic.
constexpr float kCentredSpeechBalloonWidth = 120.0f;
constexpr float kCentredNarrationBoxWidth = 216.0f;
constexpr float kCentredTextBlockWidth = 150.0f;
// A fill lighter than this gets a black insertion point, a darker one a white.
constexpr double kLightFill = 0.5;

struct Kind {
    int shape;
    const char* text;
    const char* actionName;
};

Kind kindOf(TextObjectKind kind)
{
    switch (kind) {
    case TextObjectKind::NarrationBox:
        return { int(BalloonShape::Rect), "Meanwhile...", "Add Narration Box" };
    case TextObjectKind::TextBlock:
        return { int(BalloonShape::TextBlock), "Type text here", "Add Text Block" };
    case TextObjectKind::SpeechBalloon:
        break;
    }
    return { int(BalloonShape::Standard), nullptr, "Add Text Balloon" };
}

// The lightness of a colour as a grey would have it.
double whiteComponent(const QColor& color)
{
    return 0.299 * color.redF() + 0.587 * color.greenF() + 0.114 * color.blueF();
}

} // namespace

BalloonEditingView::BalloonEditingView(ZDLDocument* document, QWidget* parent)
    : ZDLEditingView(document, parent)
    , m_textEditingView(new BalloonTextEditor(this))
{
    // The document reports every change, an undone change of formats too (the editor does not).
    connect(m_textEditingView->document(), &QTextDocument::contentsChanged, this,
        &BalloonEditingView::textDidChange);
    connect(m_textEditingView, &BalloonTextEditor::escapePressed, this, &BalloonEditingView::exitTextEditing);
}

BalloonEditingView::~BalloonEditingView()
{
    // A balloon that outlives the view must draw its text again.
    if (m_editingBalloon)
        m_editingBalloon->setEditing(false);
}

// --- Creating lettering ---

TextObjectPlacement BalloonEditingView::placementInPanel(TextObjectKind kind, const ComicPanel* panel)
{
    TextObjectPlacement placement;
    if (kind == TextObjectKind::SpeechBalloon) {
        const QRectF p = panel ? panel->bounds() : QRectF();
        const float w = std::clamp(twoFifths(p.width()), kMinSpeechBalloonWidth, kMaxSpeechBalloonWidth);
        placement.width = w;
        placement.origin = QPointF(p.x() + p.width() / 2 - w / 2, p.y() + p.height() * kTopShareOfPanel);
        return placement;
    }
    const QRectF p = panel ? panel->getBounds() : QRectF();
    placement.width = twoThirds(p.width());
    if (kind == TextObjectKind::NarrationBox)
        placement.origin = QPointF(p.x() + kNarrationBoxInsetX, p.y() + kNarrationBoxInsetY);
    else
        placement.origin
            = QPointF(p.x() + (p.width() - placement.width) / 2, p.y() + p.height() * kTopShareOfPanel);
    return placement;
}

TextObjectPlacement BalloonEditingView::placementAroundCentre(TextObjectKind kind, const QPointF& centre)
{
    float width = kCentredSpeechBalloonWidth;
    if (kind == TextObjectKind::NarrationBox)
        width = kCentredNarrationBoxWidth;
    else if (kind == TextObjectKind::TextBlock)
        width = kCentredTextBlockWidth;
    return { QPointF(centre.x() - width / 2, centre.y()), width };
}

TextObjectPlacement BalloonEditingView::placementFor(TextObjectKind kind) const
{
    if (comicDoc()) {
        const auto& comic = comicDoc()->model();
        return placementInPanel(kind, comic ? comic->currentPanel().get() : nullptr);
    }
    return placementAroundCentre(kind, getCenterOfVisibleRect());
}

void BalloonEditingView::addBalloon()
{
    addTextObject(TextObjectKind::SpeechBalloon);
}

void BalloonEditingView::addNarrativeBox()
{
    addTextObject(TextObjectKind::NarrationBox);
}

void BalloonEditingView::addTextBlock()
{
    addTextObject(TextObjectKind::TextBlock);
}

bool BalloonEditingView::rootHoldsComicElements() const
{
    return asProtocol<Parent>(rootObject()) && !asProtocol<PartElementParent>(rootObject());
}

void BalloonEditingView::addTextObject(TextObjectKind kind)
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root || !document() || !rootHoldsComicElements())
        return;
    exitTextEditing();
    ElementList children = root->children();
    const TextObjectPlacement placement = placementFor(kind);
    const BalloonPtr balloon = Balloon::initAt(placement.origin, placement.width);
    const Kind made = kindOf(kind);
    if (made.text) {
        balloon->setShape(made.shape);
        balloon->setStyle(int(BalloonStyle::Plain));
        balloon->setPointers({});
        // The font, size and colour the balloon took from the defaults stay; the paragraph is new.
        AttributedText text = balloon->formattedText();
        text.replaceCharacters({ 0, text.length() }, localized(made.text));
        text.changeAttributes({ 0, text.length() }, [](const TextAttributes& attributes) {
            TextAttributes left = attributes;
            TextParagraphStyle paragraph;
            paragraph.alignment = TextAlignment::Left;
            left.paragraphStyle = paragraph;
            return left;
        });
        balloon->setFormattedText(text);
    }
    children.append(balloon);
    document()->undoableSetChildren(children, rootObject());
    undoableSetSelection({ balloon }, false);
    document()->undoManager()->setActionName(localized(made.actionName));
    editTextBalloon(balloon);
}

// --- Text editing ---

void BalloonEditingView::editTextBalloon(const BalloonPtr& balloon)
{
    if (!balloon)
        return;
    exitTextEditing();
    deselectAll();
    m_editingBalloon = balloon;
    m_savedEditText = balloon->formattedText();
    {
        const QSignalBlocker quiet(m_textEditingView->document());
        m_bridge.fill(*m_textEditingView->document(), m_savedEditText, viewScale());
    }
    placeTextEditor();
    m_textEditingView->selectAll();
    m_textEditingView->show();
    const auto* colorFill = dynamic_cast<const ColorFill*>(balloon->fill().get());
    const bool light = balloon->fillType() != 0 || !colorFill
        || whiteComponent(colorFill->opaqueColor().toQColor()) > kLightFill;
    m_textEditingView->setInsertionPointColor(light ? Qt::black : Qt::white);
    m_textEditingView->setFocus(Qt::OtherFocusReason);
    balloon->setEditing(true);
    // The balloon now draws without its text, which the editor shows.
    setNeedsDisplayInRect(balloon->getInvalidationBounds());
    if (m_textBar)
        m_textBar->startTextEditing(this, m_textEditingView, balloon);
    postSelectionChange();
    textEditingChanged();
}

void BalloonEditingView::doEditObject(const ObjectPtr& object)
{
    if (const auto balloon = std::dynamic_pointer_cast<Balloon>(object))
        editTextBalloon(balloon);
    else
        ZDLEditingView::doEditObject(object);
}

void BalloonEditingView::textDidChange()
{
    if (!m_editingBalloon || !document())
        return;
    document()->updateViewsRect(m_editingBalloon->getGeometryBounds(), false);
    m_editingBalloon->setFormattedText(m_bridge.text(*m_textEditingView->document()));
    document()->updateViewsRect(m_editingBalloon->getGeometryBounds(), true);
    placeTextEditor();
}

void BalloonEditingView::placeTextEditor()
{
    if (!m_editingBalloon)
        return;
    const QPointF origin = m_editingBalloon->origin();
    const double scale = viewScale();
    const double contentHeight = m_textEditingView->document()->size().height() / scale;
    const QRectF frame(std::round(static_cast<float>(origin.x())), std::round(static_cast<float>(origin.y())),
        m_editingBalloon->width(), std::max<double>(m_editingBalloon->textHeight(), contentHeight));
    const QRectF shown = viewTransform().mapRect(frame);
    m_textEditingView->setGeometry(QRect(QPoint(qRound(shown.left()), qRound(shown.top())),
        QSize(qRound(shown.width()), int(std::ceil(shown.height())))));
}

void BalloonEditingView::writeTypingAttributesToDefaults()
{
    const TextAttributes typing = m_bridge.typingAttributes(m_textEditingView->textCursor());
    UserDefaults& defaults = UserDefaults::standard();
    if (typing.font) {
        defaults.set(Balloon::kDefaultFontKey, typing.font->name);
        defaults.set(Balloon::kDefaultSizeKey, static_cast<float>(typing.font->size));
    }
    if (typing.foregroundColor.isValid())
        zdlSetColor(defaults, typing.foregroundColor.toQColor(), Balloon::kDefaultTextColorKey);
    if (typing.paragraphStyle)
        defaults.set(Balloon::kDefaultAlignmentKey, static_cast<int>(typing.paragraphStyle->alignment));
}

void BalloonEditingView::exitTextEditing()
{
    if (!m_editingBalloon)
        return;
    const BalloonPtr balloon = m_editingBalloon;
    writeTypingAttributesToDefaults();
    // The bar records the balloon's shape and style first; a changed text names the whole step.
    if (m_textBar)
        m_textBar->endTextEditing(true);
    setFocus(Qt::OtherFocusReason);
    m_textEditingView->hide();
    balloon->setEditing(false);
    QTextDocument* text = m_textEditingView->document();
    if (text->isUndoAvailable() && document()) {
        // A balloon never ends without text.
        if (text->isEmpty())
            m_textEditingView->insertPlainText(QStringLiteral(" "));
        document()->undoableSetPropertyFor(
            balloon, Balloon::kFormattedTextKey, Value(m_bridge.text(*text)), Value(m_savedEditText));
        undoableSetSelection({ balloon }, true);
        document()->undoManager()->setActionName(localized("Edit Balloon Text"));
    }
    select(balloon, true);
    if (document())
        document()->updateViewsRect(balloon->getInvalidationBounds(), true);
    m_editingBalloon.reset();
    m_savedEditText = AttributedText();
    {
        // The keystrokes of this edit cannot be undone once it is over.
        const QSignalBlocker quiet(m_textEditingView->document());
        text->clear();
        text->setUndoRedoEnabled(false);
        text->setUndoRedoEnabled(true);
    }
    postSelectionChange();
    textEditingChanged();
}

void BalloonEditingView::abandonTextEditing()
{
    if (!m_editingBalloon)
        return;
    if (m_textBar)
        m_textBar->endTextEditing(false);
    m_editingBalloon->setEditing(false);
    m_editingBalloon.reset();
    m_savedEditText = AttributedText();
    m_textEditingView->hide();
    const QSignalBlocker quiet(m_textEditingView->document());
    m_textEditingView->document()->clear();
}

void BalloonEditingView::postSelectionChange()
{
    NotificationCenter::defaultCenter().post(kUpdateViewSelectionNotification, this);
}

// --- View changes that move the editor ---

void BalloonEditingView::documentClosing()
{
    abandonTextEditing();
    ZDLEditingView::documentClosing();
}

void BalloonEditingView::setRootObject(const ObjectPtr& root)
{
    if (root != rootObject())
        exitTextEditing();
    ZDLEditingView::setRootObject(root);
}

void BalloonEditingView::setViewScale(float scale)
{
    // The editor's text is laid out at the zoom it started with.
    if (scale != viewScale())
        exitTextEditing();
    ZDLEditingView::setViewScale(scale);
}

void BalloonEditingView::updateView(const Notification& notification)
{
    ZDLEditingView::updateView(notification);
    placeTextEditor();
}

void BalloonEditingView::resizeEvent(QResizeEvent* event)
{
    ZDLEditingView::resizeEvent(event);
    placeTextEditor();
}

// --- Drawing and the mouse ---

void BalloonEditingView::drawRect(const QRectF& dirtyRect)
{
    if (m_editingBalloon && currentCanvas()) {
        ZDLContext context(*this);
        currentCanvas()->save();
        m_editingBalloon->drawIn(context);
        currentCanvas()->restore();
    }
    ZDLEditingView::drawRect(dirtyRect);
}

void BalloonEditingView::mousePressEvent(QMouseEvent* event)
{
    if (m_editingBalloon) {
        exitTextEditing();
        event->accept();
        return;
    }
    ZDLEditingView::mousePressEvent(event);
}

} // namespace zandrel
