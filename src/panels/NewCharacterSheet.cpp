#include "panels/NewCharacterSheet.h"

#include "app/core/CharacterDocument.h"
#include "charmodel/CharacterModel.h"
#include "colorui/ColorPopups.h"
#include "colorui/ColorSwatchGrid.h"
#include "graphics/DefaultsExtensions.h"
#include "panels/NewComicSheet.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zandrel {

const std::array<NewCharacterViewController::PaletteColor, 5>& NewCharacterViewController::paletteColors()
{
    static const std::array<PaletteColor, 5> colors { {
        { "hairColor", "Hair", 0.58, 0.37, 0.15,
            { "#d5b332", "#f6ef3c", "#f9a227", "#c98646", "#a26b37", "#674320", "#3e2610", "#f2f1f6",
                "#e1e0e4", "#ccccd0", "#a0a0a3" } },
        { "skinColor", "Skin", 0.98, 0.78, 0.63,
            { "#F0C3A4", "#F1C0A7", "#FAC6A1", "#F1C297", "#F1B17C", "#F5BC8E", "#F7BB82", "#D59063",
                "#DC9B6F", "#D59562", "#A47351", "#975F38", "#603e3c" } },
        { "topColor", "Top", 0.65, 0.09, 0.1,
            { "#b42725", "#3f62b2", "#147421", "#f3c44d", "#a45ac6", "#878485", "#2a3970" } },
        { "bottomColor", "Bottom", 0.41, 0.44, 0.7,
            { "#2284c0", "#125a85", "#e4dbcc", "#fbf5f8", "#4d4b4c", "#476950", "#825113" } },
        { "shoesColor", "Shoes", 0.82, 0.58, 0.44,
            { "#523914", "#eee4ea", "#824e16", "#37449e", "#7d1911" } },
    } };
    return colors;
}

void NewCharacterViewController::registerDefaults()
{
    QVariantMap defaults;
    for (const PaletteColor& entry : paletteColors())
        defaults.insert(
            QString::fromLatin1(entry.defaultsKey), RgbColor(entry.red, entry.green, entry.blue).toQColor());
    UserDefaults::standard().registerDefaults(defaults);
}

NewCharacterViewController::NewCharacterViewController(CharacterDocument* document, QWidget* area)
    : DialogController(area, QStringLiteral("NewCharacterSheet"))
    , m_document(document)
    , m_overlay(new NewComicOverlay(area))
{
    registerDefaults();
    m_overlay->setObjectName(QStringLiteral("newCharacterOverlay"));
    m_overlay->hide();
    // The controls are a panel in the middle of the empty window, not a window of their own.
    sheet()->setParent(m_overlay, Qt::Widget);
    sheet()->setAutoFillBackground(true);
    m_overlay->hold(sheet());

    QLineEdit* nameField = addField(localized("Name:"), QStringLiteral("nameField"));
    bindText(
        nameField, [this] { return name; }, [this](const QString& text) { name = text; });
    QLineEdit* creatorField = addField(localized("Creator:"), QStringLiteral("creatorField"));
    bindText(
        creatorField, [this] { return creator; }, [this](const QString& text) { creator = text; });
    nameField->setMinimumWidth(260);
    m_kindSelector
        = addRadioGroup(localized("Kind:"), { { localized("Character"), 0 }, { localized("Scenery"), 1 } });
    connect(m_kindSelector, &QButtonGroup::idClicked, this, [this](int kind) { selectPartsType(kind); });

    m_colorSetView = new QWidget(sheet());
    m_colorSetView->setObjectName(QStringLiteral("colorSetView"));
    auto* grid = new QGridLayout(m_colorSetView);
    grid->setContentsMargins(0, 6, 0, 0);
    for (std::size_t i = 0; i < paletteColors().size(); ++i) {
        const PaletteColor& entry = paletteColors().at(i);
        const QString key = QString::fromLatin1(entry.defaultsKey);
        const QString stem = key.chopped(5);
        auto* well = new ColorPopupButton(m_colorSetView);
        well->setObjectName(stem + QStringLiteral("ColorWell"));
        well->setFixedSize(44, 24);
        auto* swatches = new ColorSwatchGrid(int(entry.swatches.size()), 1, m_colorSetView);
        swatches->setObjectName(stem + QStringLiteral("ColorGrid"));
        // A suggestion clicked becomes the well's colour.
        connect(swatches, &ColorSwatchGrid::action, well,
            [well, swatches] { well->setColor(swatches->color()); });
        grid->addWidget(new QLabel(localized(entry.name) + QLatin1Char(':'), m_colorSetView), int(i), 0);
        grid->addWidget(well, int(i), 1);
        grid->addWidget(swatches, int(i), 2, Qt::AlignLeft | Qt::AlignVCenter);
        m_wells.at(i) = well;
        m_grids.at(i) = swatches;
    }
    grid->setColumnStretch(2, 1);
    form()->addRow(m_colorSetView);
    addButtons(localized("OK"), [this] { setCharacterProperties(); });
    if (auto* box = sheet()->findChild<QDialogButtonBox*>()) {
        box->setStandardButtons(QDialogButtonBox::Ok);
        box->button(QDialogButtonBox::Ok)->setDefault(true);
    }
}

void NewCharacterViewController::showWindow()
{
    if (const auto model = m_document ? m_document->model() : nullptr) {
        name = model->characterName();
        creator = model->creator();
    }
    m_kindSelector->button(0)->setChecked(true);
    selectPartsType(0);
    const UserDefaults& defaults = UserDefaults::standard();
    for (std::size_t i = 0; i < paletteColors().size(); ++i) {
        const PaletteColor& entry = paletteColors().at(i);
        const std::optional<QColor> stored = zdlColorForKey(defaults, QString::fromLatin1(entry.defaultsKey));
        m_wells.at(i)->setColor(
            stored ? RgbColor::fromQColor(*stored) : RgbColor(entry.red, entry.green, entry.blue));
        m_grids.at(i)->setColorsFromHexInArray(entry.swatches);
    }
    refreshFields();
    if (m_document)
        m_document->newCharacterPropertiesStarted();
    m_overlay->present(sheet(), sheet()->findChild<QLineEdit*>(QStringLiteral("nameField")));
}

void NewCharacterViewController::close()
{
    if (m_overlay)
        m_overlay->deleteLater();
    DialogController::close();
}

void NewCharacterViewController::cancelDialog()
{
    setCharacterProperties();
    // Escape hid the controls; a field that refused its text keeps them up.
    if (sheet())
        sheet()->show();
}

void NewCharacterViewController::selectPartsType(int kind)
{
    m_colorSetView->setVisible(kind == 0);
}

void NewCharacterViewController::setCharacterProperties()
{
    if (!makeFirstResponder())
        return;
    const auto model = m_document ? m_document->model() : nullptr;
    if (model) {
        // The new file is not the user's work yet: none of its setup is undone later.
        UndoManager* undo = m_document->undoManager();
        undo->disableUndoRegistration();
        model->setCharacterName(name);
        model->setCreator(creator);
        model->setPartsKind(m_kindSelector->checkedId() == 1 ? 1 : 0);
        if (model->partsKind() == 0) {
            UserDefaults& defaults = UserDefaults::standard();
            for (std::size_t i = 0; i < paletteColors().size(); ++i) {
                const PaletteColor& entry = paletteColors().at(i);
                const RgbColor color = m_wells.at(i)->color();
                zdlSetColor(defaults, color.toQColor(), QString::fromLatin1(entry.defaultsKey));
                model->addColor(ZDLColor::colorFromNSColor(color, localized(entry.name)));
            }
        }
        model->createDefaultStyles();
        undo->enableUndoRegistration();
        m_document->doneEditingNewCharacterProperties();
    }
    close();
}

} // namespace zandrel
