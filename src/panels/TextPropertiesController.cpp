// The text formatting bar: its controls, the start and end of an edit, the family menu and the
// display of the selection's attributes. The actions are in TextPropertiesActions.cpp.
#include "panels/TextPropertiesController.h"

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "colorui/ColorPopups.h"
#include "comicmodel/Balloon.h"
#include "panels/DialogUtilities.h"
#include "panels/PopupButton.h"
#include "panels/SegmentedControl.h"
#include "panels/TextFormatting.h"
#include "panels/WrappingLayout.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "views/BalloonTextEditor.h"

#include <QDoubleValidator>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <algorithm>
#include <functional>

namespace zandrel {

namespace {

constexpr float kSizes[] = { 8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 28, 36, 48, 64, 72 };
constexpr float kLineHeights[] = { 0.8f, 0.9f, 1.0f, 1.1f, 1.2f, 1.5f, 2.0f };
const char* const kShapeTitles[]
    = { "Standard", "Ellipse", "Rounded Rectangle", "Rectangle", "Fitted", "Text Block" };
const char* const kStyleTitles[] = { "Plain", "Rough Spikes", "Spikes", "Scallops", "Rough Scallops" };
// The fields are a few digits wide.
constexpr int kNumberFieldWidth = 40;
// The family popup is as wide as its longest name, within these limits: a font with an absurdly
// long name must not push the rest of the bar out of the window.
constexpr int kMinFamilyPopupWidth = 120;
constexpr int kMaxFamilyPopupWidth = 320;

// Four lines of text set as the alignment would set them, for its segment.
QIcon alignmentIcon(int segment, const QColor& ink)
{
    constexpr int kSide = 16;
    constexpr int kLongLine = 14;
    constexpr int kShortLine = 9;
    QPixmap picture(kSide, kSide);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    for (int line = 0; line < 4; ++line) {
        const bool shortLine = segment != 3 && line % 2 == 1;
        const int length = shortLine ? kShortLine : kLongLine;
        const int left = segment == 1 ? (kSide - length) / 2 : segment == 2 ? kSide - 1 - length : 1;
        painter.fillRect(QRect(left, 2 + line * 4, length, 2), ink);
    }
    return QIcon(picture);
}

QLineEdit* numberField(const QString& toolTip, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setToolTip(toolTip);
    field->setFixedWidth(kNumberFieldWidth);
    field->setValidator(new QDoubleValidator(field));
    return field;
}

} // namespace

TextPropertiesController::TextPropertiesController(QWidget* parent)
    : TextEditingBar(parent)
{
    setObjectName(QStringLiteral("textPropertiesBar"));
    buildControls();
    hide();
}

TextPropertiesController::~TextPropertiesController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void TextPropertiesController::buildControls()
{
    // Controls that belong together form a group; the groups wrap onto another line when the
    // window is too narrow for all of them on one.
    auto* groups = new WrappingLayout(this, 12, 3);
    groups->setContentsMargins(6, 3, 6, 3);
    const auto newGroup = [this, groups] {
        auto* group = new QWidget(this);
        auto* layout = new QHBoxLayout(group);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(4);
        groups->addWidget(group);
        return layout;
    };
    QHBoxLayout* row = newGroup();
    const auto gap = [&row, &newGroup] { row = newGroup(); };

    m_familyPopup = new PopupButton(this);
    m_familyPopup->setToolTip(localized("Font family"));
    m_familyPopup->setFixedWidth(kMinFamilyPopupWidth);
    m_facePopup = new PopupButton(this);
    m_facePopup->setToolTip(localized("Typeface"));
    row->addWidget(m_familyPopup);
    row->addWidget(m_facePopup);
    connect(m_familyPopup, &PopupButton::activated, this, &TextPropertiesController::changeFontFamily);
    connect(m_facePopup, &PopupButton::activated, this, &TextPropertiesController::changeFontStyle);
    gap();

    m_sizeField = numberField(localized("Font size"), this);
    m_sizeStepper = new Stepper(FontRegistry::kMinFontSize, FontRegistry::kMaxFontSize, 1.0, this);
    m_sizePopup = new PopupButton(this);
    m_sizePopup->setPullsDown(true);
    m_sizePopup->setTitle(localized("pt"));
    m_sizePopup->setFixedWidth(40);
    for (float size : kSizes)
        m_sizePopup->addItem(QString::number(size), 0, size);
    row->addWidget(m_sizeField);
    row->addWidget(m_sizeStepper);
    row->addWidget(m_sizePopup);
    connect(m_sizeField, &QLineEdit::returnPressed, this, &TextPropertiesController::changeFontSize);
    connect(
        m_sizeStepper, &Stepper::valueChanged, this, &TextPropertiesController::changeFontSizeFromStepper);
    connect(m_sizePopup, &PopupButton::activated, this, &TextPropertiesController::changeFontSizeFromPopup);
    gap();

    m_lineHeightField = numberField(localized("Line height"), this);
    m_lineHeightStepper = new Stepper(kMinPopupLineHeight, kMaxPopupLineHeight, 0.05, this);
    m_lineHeightPopup = new PopupButton(this);
    m_lineHeightPopup->setPullsDown(true);
    m_lineHeightPopup->setTitle(localized("lines"));
    m_lineHeightPopup->setFixedWidth(48);
    for (float height : kLineHeights)
        m_lineHeightPopup->addItem(QString::number(height, 'f', 1), 0, height);
    row->addWidget(m_lineHeightField);
    row->addWidget(m_lineHeightStepper);
    row->addWidget(m_lineHeightPopup);
    connect(m_lineHeightField, &QLineEdit::returnPressed, this, &TextPropertiesController::changeLineHeight);
    connect(m_lineHeightStepper, &Stepper::valueChanged, this,
        &TextPropertiesController::changeLineHeightFromStepper);
    connect(m_lineHeightPopup, &PopupButton::activated, this,
        &TextPropertiesController::changeLineHeightFromPopup);
    gap();

    m_styleToggles = new SegmentedControl(this);
    m_styleToggles->setTracking(SegmentedControl::Tracking::SelectAny);
    m_styleToggles->addSegment(localized("B"), 0, localized("Bold"));
    m_styleToggles->addSegment(localized("I"), 1, localized("Italic"));
    m_styleToggles->addSegment(localized("U"), 2, localized("Underline"));
    // Each toggle's label shows its trait.
    const std::function<void(QFont&)> traits[] = { [](QFont& font) { font.setBold(true); },
        [](QFont& font) { font.setItalic(true); }, [](QFont& font) { font.setUnderline(true); } };
    for (int segment = 0; segment < int(std::size(traits)); ++segment) {
        QToolButton* button = m_styleToggles->button(segment);
        QFont label = button->font();
        traits[segment](label);
        button->setFont(label);
    }
    row->addWidget(m_styleToggles);
    connect(m_styleToggles, &SegmentedControl::activated, this,
        &TextPropertiesController::changeStyleFromSelector);

    m_alignment = new SegmentedControl(this);
    const char* const alignmentTips[] = { "Align left", "Center", "Align right", "Justify" };
    for (int tag = 0; tag < int(std::size(alignmentTips)); ++tag) {
        m_alignment->addSegment(QString(), tag, localized(alignmentTips[tag]));
        m_alignment->button(tag)->setIcon(alignmentIcon(tag, palette().color(QPalette::ButtonText)));
    }
    row->addWidget(m_alignment);
    connect(m_alignment, &SegmentedControl::activated, this, &TextPropertiesController::changeAlignment);
    gap();

    m_beforeField = numberField(localized("Space before paragraphs"), this);
    m_beforeStepper = new Stepper(0, FontRegistry::kMaxFontSize, 1.0, this);
    m_afterField = numberField(localized("Space after paragraphs"), this);
    m_afterStepper = new Stepper(0, FontRegistry::kMaxFontSize, 1.0, this);
    row->addWidget(new QLabel(localized("Before:"), this));
    row->addWidget(m_beforeField);
    row->addWidget(m_beforeStepper);
    row->addWidget(new QLabel(localized("After:"), this));
    row->addWidget(m_afterField);
    row->addWidget(m_afterStepper);
    connect(
        m_beforeField, &QLineEdit::returnPressed, this, [this] { changeSpaceBefore(m_beforeField->text()); });
    connect(
        m_afterField, &QLineEdit::returnPressed, this, [this] { changeSpaceAfter(m_afterField->text()); });
    connect(m_beforeStepper, &Stepper::valueChanged, this,
        [this] { changeSpaceBefore(QString::number(m_beforeStepper->value())); });
    connect(m_afterStepper, &Stepper::valueChanged, this,
        [this] { changeSpaceAfter(QString::number(m_afterStepper->value())); });
    gap();

    // Each move in the colour popup colours the text at once; OK or Cancel ends the choice.
    m_colorWell = new ColorPopupButton(this);
    m_colorWell->setToolTip(localized("Text color"));
    m_colorWell->setFixedSize(36, 22);
    m_colorWell->setModeless(true);
    m_colorWell->setCommitHandler([this](PopupWell*) { commitColor(); });
    m_colorWell->setCancelHandler([this](PopupWell*) { cancelColor(); });
    row->addWidget(m_colorWell);
    connect(m_colorWell, &PopupWell::action, this, &TextPropertiesController::changeColor);
    gap();

    m_shapePopup = new PopupButton(this);
    m_shapePopup->setToolTip(localized("Balloon shape"));
    for (int tag = 0; tag < int(std::size(kShapeTitles)); ++tag)
        m_shapePopup->addItem(localized(kShapeTitles[tag]), tag);
    m_stylePopup = new PopupButton(this);
    m_stylePopup->setToolTip(localized("Balloon style"));
    for (int tag = 0; tag < int(std::size(kStyleTitles)); ++tag)
        m_stylePopup->addItem(localized(kStyleTitles[tag]), tag);
    row->addWidget(m_shapePopup);
    row->addWidget(m_stylePopup);
    connect(m_shapePopup, &PopupButton::activated, this, &TextPropertiesController::changeBalloonShape);
    connect(m_stylePopup, &PopupButton::activated, this, &TextPropertiesController::changeBalloonStyle);

    // The keyboard stays with the text; the fields take it only when clicked.
    for (QWidget* control : findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(control))
            control->setFocusPolicy(Qt::NoFocus);
    }
}

// --- Start and end of an edit ---

void TextPropertiesController::startTextEditing(
    BalloonEditingView* view, BalloonTextEditor* editor, const std::shared_ptr<Balloon>& balloon)
{
    if (m_editor)
        endTextEditing(true);
    if (!view || !editor || !balloon)
        return;
    m_view = view;
    m_editor = editor;
    m_balloon = balloon;
    moveIntoContainerOf(*view);
    setupFontFamilyMenu();
    m_initialShape = balloon->shape();
    m_initialStyle = balloon->style();
    m_shapePopup->selectItemWithTag(m_initialShape);
    m_stylePopup->selectItemWithTag(m_initialStyle);

    const auto fontsChanged = [this] {
        if (!m_editor)
            return;
        setupFontFamilyMenu();
        updateFormatControls();
    };
    NotificationCenter::defaultCenter().addObserver(this, kFavoriteFontsChangedNotification, appController(),
        [fontsChanged](const Notification&) { fontsChanged(); });
    m_editorConnections = {
        connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, this, fontsChanged),
        connect(
            editor, &QTextEdit::cursorPositionChanged, this, &TextPropertiesController::updateFormatControls),
        connect(editor, &QTextEdit::selectionChanged, this, &TextPropertiesController::updateFormatControls),
        connect(editor, &QTextEdit::currentCharFormatChanged, this,
            &TextPropertiesController::updateFormatControls),
    };
    updateFormatControls();
    show();
}

void TextPropertiesController::endTextEditing(bool record)
{
    if (m_settingColor)
        commitColor();
    if (record && m_balloon && m_view && m_view->document()) {
        // The changes made during the edit sit in the editor's history, which ends with the edit:
        // the document gets one step for each, from the value at the start to the last one.
        ZDLDocument* document = m_view->document();
        if (m_balloon->style() != m_initialStyle) {
            document->undoableSetPropertyFor(
                m_balloon, Balloon::kStyleKey, Value(m_balloon->style()), Value(m_initialStyle));
            document->undoManager()->setActionName(localized("Set Balloon Style"));
        }
        if (m_balloon->shape() != m_initialShape) {
            document->undoableSetPropertyFor(
                m_balloon, Balloon::kShapeKey, Value(m_balloon->shape()), Value(m_initialShape));
            document->undoManager()->setActionName(localized("Set Balloon Shape"));
        }
    }
    NotificationCenter::defaultCenter().removeObserver(this);
    for (const QMetaObject::Connection& connection : std::as_const(m_editorConnections))
        disconnect(connection);
    m_editorConnections.clear();
    hide();
    m_editor = nullptr;
    m_view = nullptr;
    m_balloon.reset();
}

void TextPropertiesController::moveIntoContainerOf(const BalloonEditingView& view)
{
    // One bar serves the window: it goes below whichever view edits a text, an editor over the
    // whole window included.
    QWidget* container = view.textPropertiesContainer();
    if (!container || !container->layout() || parentWidget() == container)
        return;
    if (QWidget* holder = parentWidget(); holder && holder->layout())
        holder->layout()->removeWidget(this);
    container->layout()->addWidget(this);
}

// --- The family menu ---

void TextPropertiesController::setupFontFamilyMenu()
{
    m_familyPopup->removeAllItems();
    QMenu* menu = m_familyPopup->itemMenu();
    int favorites = 0;
    for (const QString& family : TextFormatting::sortedFamilies()) {
        const std::optional<QFont> sample = TextFormatting::sampleFont(family);
        QAction* item = m_familyPopup->addItem(family, 0, family);
        if (sample)
            item->setFont(*sample);
        if (appController()->isAFavoriteFontFamily(family)) {
            // The favourites come first, in the same order.
            QAction* favorite = m_familyPopup->addItem(family, 0, family);
            if (sample)
                favorite->setFont(*sample);
            menu->removeAction(favorite);
            menu->insertAction(menu->actions().value(favorites), favorite);
            ++favorites;
        }
    }
    if (favorites > 0)
        menu->insertSeparator(menu->actions().value(favorites));
    fitFamilyPopupToItems();
}

void TextPropertiesController::fitFamilyPopupToItems()
{
    // The button shows a name in its own font (the menu shows each in its family's face), or
    // "Multiple"; it keeps one width whatever it shows, so the bar does not shift.
    const QFontMetrics metrics(m_familyPopup->font());
    int widest = metrics.horizontalAdvance(DialogUtilities::multipleString());
    for (const QAction* item : m_familyPopup->items()) {
        if (!item->isSeparator())
            widest = std::max(widest, metrics.horizontalAdvance(item->text()));
    }
    QStyleOptionButton option;
    option.initFrom(m_familyPopup);
    const int width = m_familyPopup->style()
                          ->sizeFromContents(
                              QStyle::CT_PushButton, &option, QSize(widest, metrics.height()), m_familyPopup)
                          .width();
    m_familyPopup->setFixedWidth(std::clamp(width, kMinFamilyPopupWidth, kMaxFamilyPopupWidth));
}

// --- Showing the selection ---

void TextPropertiesController::updateFormatControls()
{
    if (!m_editor || !m_view)
        return;
    const QList<TextAttributes> runs = m_view->textBridge().selectedAttributes(m_editor->textCursor());
    QSet<QString> families;
    QSet<QString> styles;
    QSet<float> sizes;
    QSet<float> lineHeights;
    QSet<int> alignments;
    RgbColor color;
    // -2: not seen yet; -1: mixed.
    float before = -2;
    float after = -2;
    const auto gather = [](float& shown, double value) {
        if (shown == -2)
            shown = static_cast<float>(value);
        else if (shown != static_cast<float>(value))
            shown = -1;
    };
    for (const TextAttributes& run : runs) {
        const TextFormatting::Face face = TextFormatting::faceOf(run.font);
        families.insert(face.family);
        styles.insert(face.style);
        sizes.insert(static_cast<float>(TextFormatting::sizeOf(run.font)));
        const TextParagraphStyle paragraph = run.paragraphStyleOrDefault();
        lineHeights.insert(
            paragraph.lineHeightMultiple == 0 ? 1.0f : static_cast<float>(paragraph.lineHeightMultiple));
        alignments.insert(int(paragraph.alignment));
        if (!color.isValid() && run.foregroundColor.isValid())
            color = run.foregroundColor;
        if (run.paragraphStyle) {
            gather(before, paragraph.paragraphSpacingBefore);
            gather(after, paragraph.paragraphSpacing);
        }
    }
    m_currentSpaceBefore = before;
    m_currentSpaceAfter = after;
    showSpacing(m_beforeField, m_beforeStepper, before);
    showSpacing(m_afterField, m_afterStepper, after);

    // Traits follow the first run: a toggle the face cannot take is disabled.
    const TextAttributes first = runs.value(0);
    const TextFormatting::Face face = TextFormatting::faceOf(first.font);
    const TextFormatting::Face bold = TextFormatting::convertBold(face, true);
    const bool canBold = !(bold == TextFormatting::convertBold(face, false));
    m_boldOn = canBold && bold == face;
    const TextFormatting::Face italic = TextFormatting::convertItalic(face, true);
    const bool canItalic = !(italic == TextFormatting::convertItalic(face, false));
    m_italicOn = canItalic && italic == face;
    m_underlineOn = first.underlineStyle() != 0;
    m_styleToggles->setSegmentEnabled(canBold, 0);
    m_styleToggles->setSegmentEnabled(canItalic, 1);
    m_styleToggles->setSelected(m_boldOn, 0);
    m_styleToggles->setSelected(m_italicOn, 1);
    m_styleToggles->setSelected(m_underlineOn, 2);

    for (QAction* item : m_familyPopup->items())
        PopupButton::setState(item, 0);
    if (families.size() == 1) {
        m_shownFamily = *families.cbegin();
        QAction* item = m_familyPopup->itemWithRepresentedObject(m_shownFamily);
        m_familyPopup->selectItem(item);
        if (item)
            PopupButton::setState(item, 1);
        else
            m_familyPopup->setTitle(m_shownFamily);
        setupFacePopup(m_shownFamily, styles);
    } else {
        m_shownFamily.clear();
        m_styleToggles->setSegmentEnabled(true, 0);
        m_styleToggles->setSegmentEnabled(true, 1);
        DialogUtilities::setMultipleOnPopup(*m_familyPopup);
        for (QAction* item : m_familyPopup->items()) {
            if (families.contains(PopupButton::representedObjectOf(item).toString()))
                PopupButton::setState(item, -1);
        }
        m_facePopup->removeAllItems();
        m_facePopup->setTitle(QString());
        m_facePopup->setEnabled(false);
    }

    const bool oneSize = sizes.size() == 1;
    m_currentSize = oneSize ? *sizes.cbegin() : 0;
    m_sizeField->setText(oneSize ? QString::number(m_currentSize) : QString());
    if (oneSize)
        m_sizeStepper->setValue(m_currentSize);
    m_sizeStepper->setEnabled(oneSize);
    checkNumericMenuItems(*m_sizePopup, sizes);
    const bool oneHeight = lineHeights.size() == 1;
    m_currentLineHeight = oneHeight ? *lineHeights.cbegin() : 0;
    m_lineHeightField->setText(oneHeight ? QString::number(m_currentLineHeight) : QString());
    if (oneHeight)
        m_lineHeightStepper->setValue(m_currentLineHeight);
    m_lineHeightStepper->setEnabled(oneHeight);
    checkNumericMenuItems(*m_lineHeightPopup, lineHeights);

    // Segments are numbered left, centre, right, justified; natural alignment selects none.
    m_alignment->setTracking(alignments.size() == 1 ? SegmentedControl::Tracking::SelectOne
                                                    : SegmentedControl::Tracking::SelectAny);
    const TextAlignment shownAlignments[]
        = { TextAlignment::Left, TextAlignment::Center, TextAlignment::Right, TextAlignment::Justified };
    for (int segment = 0; segment < int(std::size(shownAlignments)); ++segment)
        m_alignment->setSelected(alignments.contains(int(shownAlignments[segment])), segment);

    m_colorWell->setColor(color.isValid() ? color : RgbColor::fromQColor(Qt::black));
}

void TextPropertiesController::setupFacePopup(const QString& family, const QSet<QString>& styles)
{
    m_facePopup->removeAllItems();
    const bool sampled = TextFormatting::showsItsName(family);
    for (const QString& style : QFontDatabase::styles(family)) {
        QAction* item = m_facePopup->addItem(style, 0, style);
        if (sampled)
            item->setFont(TextFormatting::faceSample({ family, style }));
    }
    m_facePopup->setEnabled(true);
    if (styles.size() == 1) {
        QAction* item = m_facePopup->itemWithRepresentedObject(*styles.cbegin());
        m_facePopup->selectItem(item);
        if (item)
            PopupButton::setState(item, 1);
        else
            m_facePopup->setTitle(*styles.cbegin());
        return;
    }
    DialogUtilities::setMultipleOnPopup(*m_facePopup);
    for (QAction* item : m_facePopup->items()) {
        if (styles.contains(PopupButton::representedObjectOf(item).toString()))
            PopupButton::setState(item, -1);
    }
}

void TextPropertiesController::showSpacing(QLineEdit* field, Stepper* stepper, float value)
{
    field->setText(value >= 0 ? QString::number(value) : QString());
    if (value >= 0)
        stepper->setValue(value);
}

float TextPropertiesController::floatFromNumericMenuItem(const QAction* item)
{
    if (!item)
        return 0;
    bool known = false;
    const float number = PopupButton::representedObjectOf(item).toFloat(&known);
    if (known)
        return number;
    // A mixed item's title starts with its mark.
    QString title = item->text().trimmed();
    if (PopupButton::stateOf(item) == -1)
        title = title.section(QLatin1Char(' '), 1);
    if (title.isEmpty())
        return 0;
    bool read = false;
    const float value = QLocale().toFloat(title, &read);
    if (read)
        return value;
    return title.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(0).toFloat();
}

void TextPropertiesController::checkNumericMenuItems(PopupButton& popup, const QSet<float>& sizes)
{
    popup.setEnabled(!sizes.isEmpty());
    if (sizes.isEmpty())
        return;
    popup.deselectAll();
    for (QAction* item : popup.items()) {
        if (item->isSeparator())
            continue;
        const bool present = sizes.contains(floatFromNumericMenuItem(item));
        PopupButton::setState(item, !present ? 0 : sizes.size() == 1 ? 1 : -1);
    }
}

} // namespace zandrel
