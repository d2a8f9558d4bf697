#include "panels/ComicPropertiesController.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "panels/SegmentedControl.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "views/ComicView.h"

#include <QHBoxLayout>

namespace zandrel {

namespace {

const QString kUpdateKey = QStringLiteral("updateControlProperties");
constexpr int kForegroundSegment = 0;
constexpr int kBackgroundSegment = 1;
constexpr int kFocusOffSegment = 0;
constexpr int kFocusOnSegment = 1;

} // namespace

ComicPropertiesController::ComicPropertiesController(ComicView* comicView, QWidget* parent)
    : QWidget(parent)
    , m_comicView(comicView)
{
    setObjectName(QStringLiteral("comicPropertiesBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    row->setSpacing(8);
    m_layerControl = new SegmentedControl(this);
    m_layerControl->addSegment(
        localized("Foreground"), kForegroundSegment, localized("Edit the foreground layer"));
    m_layerControl->addSegment(
        localized("Background"), kBackgroundSegment, localized("Edit the background layer"));
    m_focusControl = new SegmentedControl(this);
    m_focusControl->addSegment(localized("All Panels"), kFocusOffSegment, localized("Show the whole page"));
    m_focusControl->addSegment(localized("Focus"), kFocusOnSegment, localized("Focus on the current panel"));
    row->addWidget(m_layerControl);
    row->addWidget(m_focusControl);
    row->addStretch();
    connect(m_layerControl, &SegmentedControl::activated, this, &ComicPropertiesController::setLayer);
    connect(m_focusControl, &SegmentedControl::activated, this, &ComicPropertiesController::setFocusOnPanel);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(
        this, kUpdateViewSelectionNotification, comicView, [this](const Notification&) { needsUpdate(); });
    if (comicView && comicView->document()) {
        center.addObserver(this, kModelPropertyChangeNotification, comicView->document(),
            [this](const Notification& notification) { modelPropertyChanged(notification); });
        // An editor opened over the comic (a part, an image, the page's free objects) holds the bar as
        // it holds the page controls: the layer and focus act on the comic view the editor covers.
        center.addObserver(this, kEditViewChangedNotification, comicView->document(),
            [this](const Notification&) { needsUpdate(); });
    }
    updateLayerControl();
    updateFocusControl();
    updateControlProperties();
}

ComicPropertiesController::~ComicPropertiesController()
{
    documentClosing();
}

ComicModel* ComicPropertiesController::comicModel() const
{
    return m_comicView ? m_comicView->comicModel() : nullptr;
}

void ComicPropertiesController::documentClosing()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    DeferredCalls::cancelAll(this);
    m_updatePending = false;
}

void ComicPropertiesController::updateLayerControl()
{
    const ComicModel* model = comicModel();
    m_layerControl->setSelectedSegment(
        model && model->editBackground() ? kBackgroundSegment : kForegroundSegment);
}

void ComicPropertiesController::updateFocusControl()
{
    const ComicModel* model = comicModel();
    m_focusControl->setSelectedSegment(model && model->focusOnPanel() ? kFocusOnSegment : kFocusOffSegment);
}

void ComicPropertiesController::modelPropertyChanged(const Notification& notification)
{
    const QString property = notification.userInfo.value(kPropertyKey).toString();
    if (property == ComicModel::kEditBackgroundKey)
        updateLayerControl();
    else if (property == ComicModel::kFocusOnPanelKey)
        updateFocusControl();
}

void ComicPropertiesController::needsUpdate()
{
    if (m_updatePending)
        return;
    update();
    m_updatePending = true;
    DeferredCalls::perform(this, kUpdateKey, 0, [this] { updateControlProperties(); });
}

void ComicPropertiesController::updateControlProperties()
{
    m_updatePending = false;
    const bool enabled = !m_comicView
        || (!m_comicView->textEditing()
            && !(m_comicView->document() && m_comicView->document()->currentEditor()));
    m_layerControl->setEnabled(enabled);
    m_focusControl->setEnabled(enabled);
}

void ComicPropertiesController::setLayer()
{
    ComicModel* model = comicModel();
    const int segment = m_layerControl->selectedSegment();
    if (!model || segment < 0 || (segment == kBackgroundSegment) == model->editBackground())
        return;
    // What is selected lives in the layer being left.
    m_comicView->deselectAll();
    model->setEditBackground(segment == kBackgroundSegment);
    m_comicView->update();
}

void ComicPropertiesController::setFocusOnPanel()
{
    ComicModel* model = comicModel();
    const int segment = m_focusControl->selectedSegment();
    if (!model || segment < 0 || (segment == kFocusOnSegment) == model->focusOnPanel())
        return;
    model->setFocusOnPanel(segment == kFocusOnSegment);
    m_comicView->update();
}

} // namespace zandrel
