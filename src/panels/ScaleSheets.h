#pragma once

#include "graphics/ElementProtocols.h"
#include "panels/DialogController.h"

#include <QPointer>
#include <QSize>
#include <QSizeF>
#include <functional>

class QCheckBox;
class QLineEdit;

namespace zandrel {

class CharacterDocument;
class ZDLDocument;
class ZDLEditingView;

// Scales the selection of an editing view by percent or to a size in pixels, the two dimensions
// locked together or free; line weights and blurs can follow. Percent and pixels follow each other:
// the margin that lines and blur add to the size stays as it is.
class ScaleDialogController : public DialogController {
    Q_OBJECT

public:
    // A scale outside these is no drawing any more, and a zero scale could not be undone.
    static constexpr double kSmallestPercent = 0.1;
    static constexpr double kLargestPercent = 10000.0;
    static constexpr double kLargestPixels = 1000000.0;

    ScaleDialogController(ZDLEditingView* view, QWidget* hostWindow);

    void showWindow() override;
    bool setNilValueForKey(const QString& key) override;
    void setWidthPercent(double percent);
    void setHeightPercent(double percent);
    void setWidthPixels(double pixels);
    void setHeightPixels(double pixels);
    void changeLockedSetting();
    // OK.
    void performScaling();

    double widthPercent = 100.0;
    double heightPercent = 100.0;
    double widthPixels = 0.0;
    double heightPixels = 0.0;
    QString currentWidth;
    QString currentHeight;

private:
    struct Dimension {
        double& percent;
        double& pixels;
        double geometric;
        double visual;
        bool matching = false;
    };
    void setPercent(Dimension& dimension, Dimension& other, double percent);
    void setPixels(Dimension& dimension, Dimension& other, double pixels);

    QPointer<ZDLEditingView> m_editView;
    ElementList m_objectsToScale;
    Dimension m_width { widthPercent, widthPixels, 0, 0 };
    Dimension m_height { heightPercent, heightPixels, 0, 0 };
    bool m_dimensionsLocked = true;
    bool m_linkingDimensions = false;
    QCheckBox* m_lockedButton = nullptr;
    QCheckBox* m_lineWeightsCheckbox = nullptr;
    QCheckBox* m_blursCheckbox = nullptr;
};

// Downsamples the bitmap of the image being edited, by percent or to a width or height in pixels,
// never above its own size; the image editor does the resampling (and names its step).
class ResampleDialogController : public DialogController {
    Q_OBJECT

public:
    using Resampler = std::function<void(float scale)>;

    ResampleDialogController(QWidget* hostWindow, const QSize& sourceSize, Resampler resample);

    void showWindow() override;
    bool setNilValueForKey(const QString& key) override;
    void setPercent(double percent);
    void setWidthPixels(double width);
    void setHeightPixels(double height);
    // OK.
    void performResample();

    double percent = 100.0;
    double widthPixels = 0.0;
    double heightPixels = 0.0;

private:
    QSize m_source;
    Resampler m_resample;
    bool m_matching = false;
};

// Multiplies the blur of every blurred path of a character by one factor.
class AdjustBlurController : public DialogController {
    Q_OBJECT

public:
    static constexpr double kLargestFactor = 100.0;
    // No path's blur is made larger than the inspector offers.
    static constexpr float kLargestBlur = 50.0f;

    AdjustBlurController(CharacterDocument* document, QWidget* hostWindow);

    void showWindow() override;
    // OK.
    void commitBlurAdjustment();

    double blurFactor = 1.0;

private:
    CharacterDocument* m_document;
};

} // namespace zandrel
