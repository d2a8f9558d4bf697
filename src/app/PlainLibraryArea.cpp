#include "app/PlainLibraryArea.h"

#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"

#include <QPainter>
#include <algorithm>

namespace zandrel {

namespace {

constexpr double kMargin = 8.0;

} // namespace

PlainLibraryArea::PlainLibraryArea(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("libraryView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlainLibraryArea::setCurrentCharacter(const std::shared_ptr<CharacterLibraryItem>& item)
{
    if (item == m_item)
        return;
    m_item = item;
    update();
}

void PlainLibraryArea::viewPartType(int type)
{
    if (m_item)
        m_item->setPartType(type);
    update();
}

void PlainLibraryArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const auto character = m_item ? m_item->character() : nullptr;
    if (!character)
        return;
    const QRectF bounds = character->getBounds();
    if (bounds.isEmpty())
        return;
    const QRectF area = QRectF(rect()).adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const double scale = std::min({ area.width() / bounds.width(), area.height() / bounds.height(), 1.0 });
    if (scale <= 0)
        return;
    PainterCanvas canvas(&painter);
    canvas.translate(area.x() + (area.width() - bounds.width() * scale) / 2, area.y());
    canvas.scale(scale, scale);
    canvas.translate(-bounds.x(), -bounds.y());
    CanvasScope scope(&canvas);
    ZDLContext context { float(scale) };
    character->drawIn(context, bounds);
    canvas.finish();
}

} // namespace zandrel
