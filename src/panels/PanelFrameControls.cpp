#include "panels/PanelFrameControls.h"

#include "app/AppController.h"
#include "comicmodel/ComicPanel.h"
#include "panels/DialogUtilities.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"

#include <QAction>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <cmath>

namespace zandrel {

int PanelFrameControls::weightToInt(float weight)
{
    // A weight the popup does not offer shows as the usual 1 point.
    constexpr int kUsualWeight = 2;
    for (int tag = 0; tag < int(std::size(kWeights)); ++tag) {
        if (kWeights[tag] == weight)
            return tag;
    }
    return kUsualWeight;
}

float PanelFrameControls::intToWeight(int tag)
{
    if (tag < 0 || tag >= int(std::size(kWeights)))
        return 1.0f;
    return kWeights[tag];
}

PanelFrameControls::PanelFrameControls(QWidget* parent, QFormLayout* form)
    : QObject(parent)
{
    // The shapes as the panel declares them, tagged with their codes.
    const ElementField<ComicPanel>& shape = *fieldNamed(ComicPanel::fields(), ComicPanel::kShapeKey);
    m_shapePopup = new PopupButton(parent);
    m_shapePopup->setObjectName(QStringLiteral("shapePopup"));
    const QStringList shapes = shape.sheetChoices();
    for (int tag = 0; tag < shapes.size(); ++tag)
        m_shapePopup->addItem(shapes.at(tag), tag);
    form->addRow(shape.sheetLabel(), m_shapePopup);

    m_weightPopup = new PopupButton(parent);
    m_weightPopup->setObjectName(QStringLiteral("weightPopup"));
    for (int tag = 0; tag < int(std::size(kWeights)); ++tag)
        m_weightPopup->addItem(localized("%1 pt").arg(double(kWeights[tag])), tag);
    form->addRow(localized("Border weight:"), m_weightPopup);

    m_lineStylePopup = new PopupButton(parent);
    m_lineStylePopup->setObjectName(QStringLiteral("lineStylePopup"));
    AppController::setupLineStyleMenu(m_lineStylePopup->itemMenu());
    form->addRow(localized("Line style:"), m_lineStylePopup);

    auto* roundness = new QHBoxLayout;
    m_roundnessField = new QLineEdit(parent);
    m_roundnessField->setObjectName(QStringLiteral("roundnessField"));
    m_roundnessField->setMaximumWidth(80);
    m_roundnessLabel = new QLabel(localized("px"), parent);
    m_roundnessPopup = new PopupButton(parent);
    m_roundnessPopup->setObjectName(QStringLiteral("roundnessPopup"));
    m_roundnessPopup->setPullsDown(true);
    m_roundnessPopup->setTitle(localized("Presets"));
    AppController::setupRoundnessMenu(m_roundnessPopup->itemMenu());
    roundness->addWidget(m_roundnessField);
    roundness->addWidget(m_roundnessLabel);
    roundness->addWidget(m_roundnessPopup);
    roundness->addStretch();
    form->addRow(localized("Corner roundness:"), roundness);

    for (PopupButton* popup : { m_shapePopup, m_weightPopup, m_lineStylePopup })
        connect(popup, &PopupButton::activated, this, &PanelFrameControls::changed);
    connect(m_roundnessPopup, &PopupButton::activated, this, [this] {
        DialogUtilities::setRoundnessFieldFromPopup(m_roundnessField, m_roundnessPopup, m_roundnessLabel);
        emit changed();
    });
    connect(m_roundnessField, &QLineEdit::editingFinished, this, &PanelFrameControls::setRoundness);
}

void PanelFrameControls::setValues(int shape, float weight, qint64 lineStyle, float roundness)
{
    m_shapePopup->selectItemWithTag(shape);
    m_weightPopup->selectItemWithTag(weightToInt(weight));
    m_lineStylePopup->selectItemWithTag(int(lineStyle));
    m_roundnessField->setText(DialogUtilities::roundnessText(roundness));
    showRoundness(roundness);
}

int PanelFrameControls::shape() const
{
    return std::max(0, m_shapePopup->selectedTag());
}

float PanelFrameControls::weight() const
{
    return intToWeight(m_weightPopup->selectedTag());
}

qint64 PanelFrameControls::lineStyle() const
{
    return std::max(0, m_lineStylePopup->selectedTag());
}

float PanelFrameControls::roundness() const
{
    return DialogUtilities::roundnessFromField(m_roundnessField);
}

void PanelFrameControls::setRoundness()
{
    // An emptied field is left to be filled.
    if (m_roundnessField->text().trimmed().isEmpty())
        return;
    showRoundness(roundness());
    emit changed();
}

void PanelFrameControls::showRoundness(float roundness)
{
    m_roundnessLabel->setVisible(roundness >= 0);
    DialogUtilities::setPopupToRoundnessValues(*m_roundnessPopup, { roundness });
}

} // namespace zandrel
