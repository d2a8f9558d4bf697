#pragma once

#include <QObject>

class QFormLayout;
class QLabel;
class QLineEdit;
class QWidget;

namespace zandrel {

class PopupButton;

// The frame choices of new panels, as the new-page and new-comic sheets offer them: shape, border
// weight, line style and corner roundness (a number, or the word for full roundness, with presets).
class PanelFrameControls : public QObject {
    Q_OBJECT

public:
    // The border weights the weight popup offers, by tag.
    static constexpr float kWeights[] = { 0.0f, 0.5f, 1.0f, 1.5f, 2.0f };
    // The tag of the weight; a weight not offered gives the tag of 1 point, a tag outside the
    // table 1 point.
    static int weightToInt(float weight);
    static float intToWeight(int tag);

    // Adds the controls as rows of the form.
    PanelFrameControls(QWidget* parent, QFormLayout* form);

    void setValues(int shape, float weight, qint64 lineStyle, float roundness);
    int shape() const;
    float weight() const;
    qint64 lineStyle() const;
    // What the roundness field reads: -1 for full roundness, else 0 ... 144.
    float roundness() const;

    PopupButton* shapePopup() const { return m_shapePopup; }
    PopupButton* weightPopup() const { return m_weightPopup; }
    PopupButton* lineStylePopup() const { return m_lineStylePopup; }
    PopupButton* roundnessPopup() const { return m_roundnessPopup; }
    QLineEdit* roundnessField() const { return m_roundnessField; }
    QLabel* roundnessLabel() const { return m_roundnessLabel; }

signals:
    // The user chose an item or ended editing the roundness field.
    void changed();

private:
    void setRoundness();
    void showRoundness(float roundness);

    PopupButton* m_shapePopup = nullptr;
    PopupButton* m_weightPopup = nullptr;
    PopupButton* m_lineStylePopup = nullptr;
    PopupButton* m_roundnessPopup = nullptr;
    QLineEdit* m_roundnessField = nullptr;
    QLabel* m_roundnessLabel = nullptr;
};

} // namespace zandrel
