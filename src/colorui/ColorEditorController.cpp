#include "colorui/ColorEditorController.h"

#include "colorui/ColorEyedropperOverlay.h"
#include "colorui/ColorSwatchGrid.h"
#include "colorui/HsbControls.h"
#include "platform/Localization.h"
#include "platform/UserDefaults.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace zandrel {

namespace {

constexpr int kSquareSide = 160;
constexpr int kSliderWidth = 26;
constexpr int kGridColumns = 11;
constexpr int kGridRows = 3;
constexpr int kSwatchHeight = 24;

} // namespace

ColorEditorController::ColorEditorController(QWidget* parent)
    : QWidget(parent)
    , m_color(1, 1, 1, 1)
{
    registerDefaults();
    m_hueSlider = new HueSlider(this);
    m_square = new SaturationBrightnessControl(this);
    m_alphaSlider = new AlphaSlider(this);
    m_hueSlider->setFixedSize(kSliderWidth, kSquareSide);
    m_square->setFixedSize(kSquareSide, kSquareSide);
    m_alphaSlider->setFixedSize(kSliderWidth, kSquareSide);
    m_hueSlider->setObjectName(QStringLiteral("hueSlider"));
    m_square->setObjectName(QStringLiteral("saturationBrightnessControl"));
    m_alphaSlider->setObjectName(QStringLiteral("alphaSlider"));
    m_square->linkSliders(m_hueSlider, m_alphaSlider);

    m_swatch = new SolidFillView(this);
    m_swatch->setFixedHeight(kSwatchHeight);
    m_eyedropperButton = new QToolButton(this);
    m_eyedropperButton->setObjectName(QStringLiteral("eyedropperButton"));
    m_eyedropperButton->setCheckable(true);
    m_eyedropperButton->setText(localized(QStringLiteral("Pick")));
    m_eyedropperButton->setToolTip(localized(QStringLiteral("Pick a colour from the screen")));
    m_swatchGrid = new ColorSwatchGrid(kGridColumns, kGridRows, this);
    m_swatchGrid->setObjectName(QStringLiteral("swatchGrid"));
    m_swatchGrid->setShowEmptySwatches(true);
    m_swatchGrid->setShowSelection(true);
    m_saveColorButton = new QPushButton(QStringLiteral("+"), this);
    m_saveColorButton->setObjectName(QStringLiteral("saveColorButton"));
    m_saveColorButton->setToolTip(localized(QStringLiteral("Save the colour")));
    m_deleteColorButton = new QPushButton(QStringLiteral("\u2212"), this);
    m_deleteColorButton->setObjectName(QStringLiteral("deleteColorButton"));
    m_deleteColorButton->setToolTip(localized(QStringLiteral("Delete the saved colour")));
    for (QPushButton* button : { m_saveColorButton, m_deleteColorButton })
        button->setFixedWidth(28);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* controls = new QHBoxLayout;
    controls->setSpacing(2);
    controls->addWidget(m_hueSlider);
    controls->addWidget(m_square);
    controls->addWidget(m_alphaSlider);
    layout->addLayout(controls);
    auto* swatchRow = new QHBoxLayout;
    swatchRow->addWidget(m_swatch, 1);
    swatchRow->addWidget(m_eyedropperButton);
    layout->addLayout(swatchRow);
    auto* gridRow = new QHBoxLayout;
    gridRow->addWidget(m_swatchGrid);
    auto* gridButtons = new QVBoxLayout;
    gridButtons->addWidget(m_saveColorButton);
    gridButtons->addWidget(m_deleteColorButton);
    gridButtons->addStretch();
    gridRow->addLayout(gridButtons);
    layout->addLayout(gridRow);

    connect(m_square, &SaturationBrightnessControl::action, this, &ColorEditorController::colorChanged);
    connect(m_swatchGrid, &ColorSwatchGrid::action, this, &ColorEditorController::setColorFromSender);
    connect(m_saveColorButton, &QPushButton::clicked, this, &ColorEditorController::addColorToGrid);
    connect(m_deleteColorButton, &QPushButton::clicked, this, &ColorEditorController::removeColorFromGrid);
    connect(m_eyedropperButton, &QToolButton::clicked, this, [this](bool on) {
        if (on)
            beginEyedropper();
        else
            endEyedropper();
    });
    setDeleteButtonState();
}

ColorEditorController::~ColorEditorController()
{
    endEyedropper();
}

void ColorEditorController::registerDefaults()
{
    static const bool registered = [] {
        UserDefaults::standard().registerDefaults(QVariantMap { { kGridColorsKey, QStringList() } });
        return true;
    }();
    Q_UNUSED(registered);
}

void ColorEditorController::setColor(const RgbColor& color)
{
    m_color = color;
    m_swatch->setFillColor(color);
}

void ColorEditorController::beginEditingColor(const RgbColor& color)
{
    setColor(color);
    if (m_swatchGrid) {
        UserDefaults& defaults = UserDefaults::standard();
        if (defaults.contains(kGridColorsKey)) {
            QList<RgbColor> colors;
            // The list can be edited by hand: unreadable entries are skipped and a long list cut.
            for (const QString& text : defaults.stringArray(kGridColorsKey)) {
                if (colors.size() >= kMaxSavedSwatches)
                    break;
                if (const std::optional<QColor> saved = UserDefaults::colorFromText(text))
                    colors.append(RgbColor::fromQColor(*saved));
            }
            m_swatchGrid->setColors(colors);
        }
        m_swatchGrid->setSelectedSwatch(-1);
    }
    setDeleteButtonState();
    m_square->setColorValue(color);
}

void ColorEditorController::doneEditing()
{
    endEyedropper();
    if (!m_swatchGrid)
        return;
    QStringList texts;
    for (const RgbColor& color : m_swatchGrid->colors()) {
        if (texts.size() >= kMaxSavedSwatches)
            break;
        texts.append(UserDefaults::colorToText(color.toQColor()));
    }
    UserDefaults::standard().set(kGridColorsKey, texts);
}

void ColorEditorController::setDeleteButtonState()
{
    m_deleteColorButton->setEnabled(m_swatchGrid && m_swatchGrid->selectedSwatch() >= 0);
}

void ColorEditorController::colorChanged()
{
    setColor(m_square->colorValue());
    emit action();
}

void ColorEditorController::setColorFromSender()
{
    const RgbColor picked = m_swatchGrid->color();
    if (!picked.isValid())
        return;
    setColor(picked);
    // The square's own report would announce the colour once more.
    const QSignalBlocker blocker(m_square);
    m_square->setColorValue(picked);
    emit action();
    setDeleteButtonState();
}

void ColorEditorController::addColorToGrid()
{
    m_swatchGrid->addColor(m_color);
    setDeleteButtonState();
}

void ColorEditorController::removeColorFromGrid()
{
    if (m_swatchGrid->selectedSwatch() >= 0)
        m_swatchGrid->deleteSelectedColor();
    setDeleteButtonState();
}

void ColorEditorController::beginEyedropper()
{
    endEyedropper();
    m_eyedropperButton->setChecked(true);
    m_eyedropperOverlay = new ColorEyedropperOverlay([this](ColorEyedropperOverlay*) { eyedropperClicked(); },
        [this](ColorEyedropperOverlay*) { endEyedropper(); });
}

void ColorEditorController::eyedropperClicked()
{
    if (!m_eyedropperOverlay)
        return;
    m_eyedropperButton->setChecked(false);
    const RgbColor picked = m_eyedropperOverlay->color();
    endEyedropper();
    if (!picked.isValid())
        return;
    setColor(picked);
    const QSignalBlocker blocker(m_square);
    m_square->setColorValue(picked);
    emit action();
}

void ColorEditorController::endEyedropper()
{
    if (m_eyedropperButton)
        m_eyedropperButton->setChecked(false);
    if (!m_eyedropperOverlay)
        return;
    // The editor's window takes the keyboard back before the panels go, so that no other window
    // comes forward in between and commits the popup the editor sits in.
    if (window())
        window()->activateWindow();
    m_eyedropperOverlay->close();
    // Later: the overlay may be the one calling.
    m_eyedropperOverlay->deleteLater();
    m_eyedropperOverlay = nullptr;
}

} // namespace zandrel
