#include "panels/ComicPropertiesSheets.h"

#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/ComicModel.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace zandrel {

// --- Comic properties ---

ComicPropertiesDialogController::ComicPropertiesDialogController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("ComicPropertiesDialog"))
    , m_document(document)
    , m_comic(document ? document->model() : nullptr)
{
    sheet()->setWindowTitle(localized("Comic Properties"));
    const auto text = [this](const QString& label, const QString& key, QString& value) {
        QLineEdit* field = addField(label, key);
        bindText(
            field, [&value] { return value; }, [&value](const QString& typed) { value = typed; });
        return field;
    };
    text(localized("Name:"), ComicModel::kNameKey, m_name);
    text(localized("Creator:"), ComicModel::kCreatorKey, m_creator);
    m_descriptionField
        = text(localized("Description:"), ComicModel::kComicDescriptionKey, m_comicDescription);
    m_hashtagsField = text(localized("Hashtags:"), ComicModel::kHashtagsKey, m_hashtags);
    for (QLineEdit* field : sheet()->findChildren<QLineEdit*>())
        field->setMinimumWidth(320);
    addButtons(localized("OK"), [this] { setProperties(); });
}

void ComicPropertiesDialogController::showWindow()
{
    const UserDefaults& defaults = UserDefaults::standard();
    m_descriptionField->setPlaceholderText(defaults.string(kDefaultDescriptionKey));
    m_hashtagsField->setPlaceholderText(defaults.string(kDefaultHashtagsKey));
    if (m_comic) {
        m_name = m_comic->name();
        m_creator = m_comic->creator();
        m_comicDescription = m_comic->comicDescription();
        m_hashtags = m_comic->hashtags();
    }
    DialogController::showWindow();
}

void ComicPropertiesDialogController::setProperties()
{
    if (!makeFirstResponder())
        return;
    if (m_comic && m_document && m_document->model() == m_comic) {
        const std::pair<const QString&, const QString&> edits[] = {
            { ComicModel::kNameKey, m_name },
            { ComicModel::kCreatorKey, m_creator },
            { ComicModel::kComicDescriptionKey, m_comicDescription },
            { ComicModel::kHashtagsKey, m_hashtags },
        };
        bool changed = false;
        for (const auto& [key, value] : edits) {
            if (m_comic->valueForKey(key).toString() == value)
                continue;
            m_document->undoableSetPropertyFor(m_comic, key, Value(value));
            changed = true;
        }
        if (changed)
            m_document->undoManager()->setActionName(localized("Set Comic Properties"));
    }
    close();
}

// --- Resize ---

ResizeComicController::ResizeComicController(ComicDocument* document, QWidget* hostWindow)
    : DialogController(hostWindow, QStringLiteral("ResizeComicDialog"))
    , m_document(document)
    , m_comic(document ? document->model() : nullptr)
    , m_limits(kSmallestSide, kLargestSide)
{
    sheet()->setWindowTitle(localized("Resize Comic"));
    m_currentSizeLabel = new QLabel(sheet());
    m_currentSizeLabel->setObjectName(QStringLiteral("currentSize"));
    form()->addRow(localized("Current size:"), m_currentSizeLabel);
    bindMeasurement(addField(localized("Width:"), QStringLiteral("widthToSet")), &m_widthToSet, &m_limits);
    bindMeasurement(addField(localized("Height:"), QStringLiteral("heightToSet")), &m_heightToSet, &m_limits);
    form()->addRow(localized("Units:"), new MeasurementPopup(sheet()));
    NotificationCenter::defaultCenter().addObserver(this, kMeasurementUnitsChangedNotification, nullptr,
        [this](const Notification&) { measurementUnitsChanged(); });
    addButtons(localized("Resize"), [this] { performResize(); });
}

ResizeComicController::~ResizeComicController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void ResizeComicController::showWindow()
{
    const QSizeF size = m_comic ? m_comic->size() : QSizeF();
    m_widthToSet.setPixels(float(size.width()));
    m_heightToSet.setPixels(float(size.height()));
    measurementUnitsChanged();
    DialogController::showWindow();
}

void ResizeComicController::measurementUnitsChanged()
{
    const QSizeF size = m_comic ? m_comic->size() : QSizeF();
    auto* controller = appController();
    m_currentWidth = controller->measurementStringFor(float(size.width()));
    m_currentHeight = controller->measurementStringFor(float(size.height()));
    m_currentSizeLabel->setText(QStringLiteral("%1 × %2").arg(m_currentWidth, m_currentHeight));
}

void ResizeComicController::performResize()
{
    if (!makeFirstResponder())
        return;
    if (!m_comic || !m_document || m_document->model() != m_comic) {
        close();
        return;
    }
    const QSizeF size(m_widthToSet.pixels(), m_heightToSet.pixels());
    if (size == m_comic->size()) {
        close();
        return;
    }
    const QSizeF minimum = m_comic->minimumSize();
    if (minimum.width() > size.width() || minimum.height() > size.height()) {
        showAlertMessage(localized("These size settings would make existing panels too small."));
        return;
    }
    m_document->undoableSetComicSize(size);
    m_document->undoManager()->setActionName(localized("Resize Comic"));
    close();
}

} // namespace zandrel
