#include "panels/CharacterSheets.h"

#include "app/AppController.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "comicmodel/ComicModel.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "views/PartElementsView.h"
#include "views/ZDLEditingView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSlider>
#include <cmath>

namespace zandrel {

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

// The sliders run in hundredths.
constexpr int kSliderSteps = 100;

} // namespace

// --- Character properties ---

CharacterPropertiesDialogController::CharacterPropertiesDialogController(
    CharacterDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("CharacterPropertiesDialog"))
    , m_document(document)
{
    sheet()->setWindowTitle(localized("Character Properties"));
    QLineEdit* name = addField(localized("Name:"), key("characterName"));
    bindText(
        name, [this] { return characterName; }, [this](const QString& text) { characterName = text; });
    QLineEdit* artist = addField(localized("Creator:"), key("artistName"));
    bindText(
        artist, [this] { return artistName; }, [this](const QString& text) { artistName = text; });
    for (QLineEdit* field : { name, artist })
        field->setMinimumWidth(260);
    m_kindGroup
        = addRadioGroup(localized("Kind:"), { { localized("Character"), 0 }, { localized("Scenery"), 1 } });
    addButtons(localized("OK"), [this] { done(); });
}

void CharacterPropertiesDialogController::showWindow()
{
    if (const auto model = m_document ? m_document->model() : nullptr) {
        characterName = model->characterName();
        artistName = model->creator();
        partsKind = model->partsKind();
    }
    m_kindGroup->button(partsKind == 0 ? 0 : 1)->setChecked(true);
    DialogController::showWindow();
}

void CharacterPropertiesDialogController::done()
{
    if (!makeFirstResponder())
        return;
    const auto model = m_document ? m_document->model() : nullptr;
    if (model) {
        // Scenery keeps whatever non-zero kind it had.
        const int kind = m_kindGroup->checkedId() == 0 ? 0 : (partsKind != 0 ? partsKind : 1);
        m_document->undoableSetPropertyFor(model, CharacterModel::kCharacterNameKey, Value(characterName));
        m_document->undoableSetPropertyFor(model, CharacterModel::kCreatorKey, Value(artistName));
        m_document->undoableSetPropertyFor(model, CharacterModel::kPartsKindKey, Value(qint64(kind)));
        m_document->undoManager()->setActionName(localized("Set Character Properties"));
    }
    close();
}

// --- New part ---

NewPartController::NewPartController(ZDLEditingView* view, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("NewPartDialog"))
    , m_editView(view)
{
    sheet()->setWindowTitle(localized("New Part"));
    m_characterPopup = new PopupButton(sheet());
    m_characterPopup->setObjectName(QStringLiteral("characterPopup"));
    m_characterPopup->setMinimumWidth(200);
    form()->addRow(localized("Character:"), m_characterPopup);
    connect(m_characterPopup, &PopupButton::activated, this, [this] { chooseCharacter(); });
    addButtons(localized("New Part"), [this] { performNewPart(); });
}

void NewPartController::showWindow()
{
    updateCharacterPopup();
    DialogController::showWindow();
}

void NewPartController::updateCharacterPopup()
{
    m_characterPopup->removeAllItems();
    m_characterForPart.reset();
    const auto* comicDocument = m_editView ? dynamic_cast<ComicDocument*>(m_editView->document()) : nullptr;
    const auto comic = comicDocument ? comicDocument->model() : nullptr;
    if (comic) {
        for (const auto& character : comic->characters()) {
            // The comic's own colour set is no character a part can belong to.
            if (character && character != comic->comicColorsModel())
                m_characterPopup->addItem(
                    character->characterName(), 0, QVariant::fromValue<void*>(character.get()));
        }
    }
    if (m_characterPopup->items().isEmpty()) {
        QAction* none = m_characterPopup->addItem(localized("None Open"));
        m_characterPopup->selectItem(none);
        return;
    }
    m_characterPopup->selectItem(m_characterPopup->items().first());
    chooseCharacter();
}

void NewPartController::chooseCharacter()
{
    m_characterForPart.reset();
    const auto* comicDocument = m_editView ? dynamic_cast<ComicDocument*>(m_editView->document()) : nullptr;
    const auto comic = comicDocument ? comicDocument->model() : nullptr;
    const void* chosen = PopupButton::representedObjectOf(m_characterPopup->selectedItem()).value<void*>();
    if (!comic || !chosen)
        return;
    for (const auto& character : comic->characters()) {
        if (character.get() == chosen)
            m_characterForPart = character;
    }
}

void NewPartController::performNewPart()
{
    if (!makeFirstResponder())
        return;
    ZDLDocument* document = m_editView ? m_editView->document() : nullptr;
    auto* parent = m_editView ? asProtocol<Parent>(m_editView->rootObject()) : nullptr;
    // A part belongs to a character: without one nothing is made.
    if (m_characterForPart && document && parent) {
        auto part = std::make_shared<Part>();
        part->setModel(m_characterForPart);
        // Pending: it knows where it goes, but its parent does not hold it until it has something.
        part->setParent(parent);
        document->setCurrentCharacter(m_characterForPart);
        document->edit(part);
    }
    close();
}

// --- Split part ---

SplitPartDialogController::SplitPartDialogController(PartElementsView* view, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("SplitPartDialog"))
    , m_editingView(view)
{
    sheet()->setWindowTitle(localized("Split to Separate Part"));
    m_partTypePopup = new PopupButton(sheet());
    m_partTypePopup->setObjectName(QStringLiteral("partTypePopup"));
    form()->addRow(localized("Part type:"), m_partTypePopup);
    addButtons(localized("Split"), [this] { performSplit(); });
}

void SplitPartDialogController::showWindow()
{
    AppController::setupPartTypeMenu(m_partTypePopup->itemMenu(), QString());
    m_partTypePopup->selectItemWithTag(0);
    DialogController::showWindow();
}

void SplitPartDialogController::performSplit()
{
    if (!makeFirstResponder())
        return;
    if (m_editingView)
        m_editingView->splitSelectionToPartWithType(std::max(0, m_partTypePopup->selectedTag()));
    close();
}

// --- Tracing image ---

TraceImageSettingsDialogController::TraceImageSettingsDialogController(
    CharacterDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("TraceImageSettingsDialog"))
    , m_document(document)
{
    sheet()->setWindowTitle(localized("Tracing Image"));
    m_visibleCheckbox = new QCheckBox(localized("Show the tracing image"), sheet());
    m_visibleCheckbox->setObjectName(QStringLiteral("visibleCheckbox"));
    form()->addRow(QString(), m_visibleCheckbox);
    connect(m_visibleCheckbox, &QCheckBox::toggled, this, [this](bool on) { setVisible(on); });

    const auto row = [this](const QString& label, const char* name, double& value, double minimum,
                         double maximum, void (TraceImageSettingsDialogController::*setter)(double),
                         QSlider*& slider) {
        auto* line = new QHBoxLayout;
        auto* field = new QLineEdit(sheet());
        field->setObjectName(key(name));
        field->setMaximumWidth(80);
        slider = new QSlider(Qt::Horizontal, sheet());
        slider->setObjectName(key(name) + QStringLiteral("Slider"));
        slider->setRange(int(std::lround(minimum * kSliderSteps)), int(std::lround(maximum * kSliderSteps)));
        line->addWidget(field);
        line->addWidget(slider);
        form()->addRow(label, line);
        bindNumber(
            field, key(name), [&value] { return value; },
            [this, setter](double typed) { (this->*setter)(typed); }, minimum, maximum);
        connect(slider, &QSlider::valueChanged, this, [this, setter](int position) {
            if (!m_loading) {
                (this->*setter)(double(position) / kSliderSteps);
                refreshUneditedFields();
            }
        });
    };
    row(localized("Scale:"), "scale", scale, kSmallestScale, kLargestScale,
        &TraceImageSettingsDialogController::setScale, m_scaleSlider);
    row(localized("Opacity:"), "alpha", alpha, 0.0, 1.0, &TraceImageSettingsDialogController::setAlpha,
        m_opacitySlider);
    addButtons(localized("OK"), [this] { done(); });
}

TraceImageSettingsDialogController::~TraceImageSettingsDialogController()
{
    endGroup(false);
}

void TraceImageSettingsDialogController::showWindow()
{
    // The values are read, not written: opening the sheet changes nothing.
    if (const auto model = m_document ? m_document->model() : nullptr) {
        m_loading = true;
        visible = model->tracingImageVisible();
        scale = model->tracingImageScale();
        alpha = model->tracingImageAlpha();
        m_visibleCheckbox->setChecked(visible);
        m_scaleSlider->setValue(int(std::lround(scale * kSliderSteps)));
        m_opacitySlider->setValue(int(std::lround(alpha * kSliderSteps)));
        m_loading = false;
    }
    if (m_document) {
        m_document->undoManager()->beginUndoGrouping();
        m_groupOpen = true;
    }
    DialogController::showWindow();
}

void TraceImageSettingsDialogController::endGroup(bool takeBack)
{
    if (!m_groupOpen || !m_document)
        return;
    m_groupOpen = false;
    UndoManager* undo = m_document->undoManager();
    const bool changed = undo->canUndo() && m_changedCount > 0;
    undo->endUndoGrouping();
    if (takeBack && changed)
        undo->undo();
}

void TraceImageSettingsDialogController::close()
{
    endGroup(false);
    DialogController::close();
}

void TraceImageSettingsDialogController::cancelDialog()
{
    endGroup(true);
    DialogController::cancelDialog();
}

bool TraceImageSettingsDialogController::setNilValueForKey(const QString& name)
{
    if (name == key("scale"))
        setScale(1.0);
    else if (name == key("alpha"))
        setAlpha(0.2);
    else
        return DialogController::setNilValueForKey(name);
    return true;
}

void TraceImageSettingsDialogController::setVisible(bool on)
{
    visible = on;
    if (m_loading || !m_document || !m_document->model())
        return;
    ++m_changedCount;
    m_document->undoableSetPropertyFor(
        m_document->model(), CharacterModel::kTracingImageVisibleKey, Value(on));
}

void TraceImageSettingsDialogController::setScale(double value)
{
    scale = value;
    if (m_loading || !m_document || !m_document->model())
        return;
    ++m_changedCount;
    m_document->undoableSetPropertyFor(
        m_document->model(), CharacterModel::kTracingImageScaleKey, Value(float(value)));
    m_loading = true;
    m_scaleSlider->setValue(int(std::lround(value * kSliderSteps)));
    m_loading = false;
}

void TraceImageSettingsDialogController::setAlpha(double value)
{
    alpha = value;
    if (m_loading || !m_document || !m_document->model())
        return;
    ++m_changedCount;
    m_document->undoableSetPropertyFor(
        m_document->model(), CharacterModel::kTracingImageAlphaKey, Value(float(value)));
    m_loading = true;
    m_opacitySlider->setValue(int(std::lround(value * kSliderSteps)));
    m_loading = false;
}

void TraceImageSettingsDialogController::done()
{
    if (!makeFirstResponder())
        return;
    close();
}

} // namespace zandrel
