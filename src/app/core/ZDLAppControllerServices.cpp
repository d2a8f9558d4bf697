// The application controller's shared services: alerts, interface colours, cursors, favourite
// fonts, help-comic flags, held objects and what documents tell it.
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>
#include <QPixmap>

namespace zandrel {

namespace {

const QString kAllHelpPanels = QStringLiteral("all");
const QString kMarqueeCursorImage = QStringLiteral("Cur_Marquee");

QStringList sortedList(const QSet<QString>& set)
{
    QStringList list(set.cbegin(), set.cend());
    list.sort();
    return list;
}

} // namespace

void ZDLAppController::makeInterfaceColors()
{
    m_selectionColor = QColor::fromRgbF(0.24f, 0.71f, 0.99f, 1.0f);
    m_reshapeSelectionColor = QColor::fromRgbF(0.0f, 0.81f, 0.17f, 1.0f);
    m_unspecifiedPartSelectionColor = QColor::fromRgbF(1.0f, 0.0f, 0.0f, 1.0f);
    m_closedTargetColor = QColor::fromRgbF(1.0f, 0.0f, 0.0f, 1.0f);
    m_openTargetColor = QColor::fromRgbF(0.0f, 0.0f, 1.0f, 1.0f);
    m_highlightedControlTopColor = QColor::fromRgbF(0.4f, 0.65f, 0.982f, 1.0f);
    m_highlightedControlBottomColor = QColor::fromRgbF(0.049f, 0.46f, 0.998f, 1.0f);
}

// --- Alerts ---

void ZDLAppController::showAlert(const ModalAlert& alert, QObject*, std::function<void(int)> completion)
{
    const int code = runModalAlert(alert);
    if (completion)
        completion(code);
}

void ZDLAppController::showAlertMessage(
    const QString& message, const QString& explanation, QObject* window, ModalAlert::Style style)
{
    ModalAlert alert;
    alert.message = message;
    alert.informativeText = explanation;
    alert.style = style;
    alert.buttons = { localized("OK") };
    showAlert(alert, window, {});
}

// --- Cursors ---

QCursor ZDLAppController::getCursorResource(const QString& imageName, const QPointF& hotSpot)
{
    // Named images are found with or without their file extension.
    const QString name = QFileInfo(imageName).completeBaseName();
    auto it = m_cursors.find(name);
    if (it == m_cursors.end()) {
        const QPixmap image(QStringLiteral(":/cursors/%1.png").arg(name));
        // Without its image (a program built without its resources) the arrow stands in.
        it = m_cursors.insert(name,
            image.isNull() ? QCursor(Qt::ArrowCursor)
                           : QCursor(image, qRound(hotSpot.x()), qRound(hotSpot.y())));
    }
    return it.value();
}

QCursor ZDLAppController::marqueeCursor()
{
    return getCursorResource(kMarqueeCursorImage, QPointF(4, 4));
}

// --- Fonts ---

bool ZDLAppController::isAFavoriteFontFamily(const QString& family) const
{
    return (m_builtInFavoriteFonts.contains(family) || m_userFavoriteFonts.contains(family))
        && !m_userUnfavoriteFonts.contains(family);
}

void ZDLAppController::setFontFamily(const QString& family, bool favorite)
{
    if (isAFavoriteFontFamily(family) == favorite)
        return;
    auto& defaults = UserDefaults::standard();
    if (favorite) {
        if (m_userUnfavoriteFonts.remove(family))
            defaults.set(kUnfavoriteFontsKey, sortedList(m_userUnfavoriteFonts));
        if (!m_builtInFavoriteFonts.contains(family) && !m_userFavoriteFonts.contains(family)) {
            m_userFavoriteFonts.insert(family);
            defaults.set(kFavoriteFontsKey, sortedList(m_userFavoriteFonts));
        }
    } else {
        if (m_userFavoriteFonts.remove(family))
            defaults.set(kFavoriteFontsKey, sortedList(m_userFavoriteFonts));
        if (m_builtInFavoriteFonts.contains(family) && !m_userUnfavoriteFonts.contains(family)) {
            m_userUnfavoriteFonts.insert(family);
            defaults.set(kUnfavoriteFontsKey, sortedList(m_userUnfavoriteFonts));
        }
    }
    NotificationCenter::defaultCenter().post(kFavoriteFontsChangedNotification, this);
}

int ZDLAppController::activateFonts()
{
    return 0;
}

// --- Help comics ---

bool ZDLAppController::isHelpPanelHidden(const QString& helpId) const
{
    const QStringList hidden = UserDefaults::standard().stringArray(kHiddenHelpPanelsKey);
    return hidden.contains(helpId) || hidden.contains(kAllHelpPanels);
}

void ZDLAppController::hideHelpPanel(const QString& helpId)
{
    auto& defaults = UserDefaults::standard();
    QStringList hidden = defaults.stringArray(kHiddenHelpPanelsKey);
    if (hidden.contains(helpId))
        return;
    hidden.append(helpId);
    defaults.set(kHiddenHelpPanelsKey, hidden);
}

void ZDLAppController::showAllHelpPanels()
{
    UserDefaults::standard().remove(kHiddenHelpPanelsKey);
}

void ZDLAppController::hideAllHelpPanels()
{
    showAllHelpPanels();
    hideHelpPanel(kAllHelpPanels);
}

// --- Lifetime ---

void ZDLAppController::holdOnTo(const std::shared_ptr<void>& object)
{
    if (object)
        m_retainer.push_back(object);
}

void ZDLAppController::letGoOf(const void* object)
{
    std::erase_if(m_retainer, [object](const std::shared_ptr<void>& held) { return held.get() == object; });
}

// --- Documents ---

} // namespace zandrel
