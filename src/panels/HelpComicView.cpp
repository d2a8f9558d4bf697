#include "panels/HelpComicView.h"

#include "app/WebLinks.h"
#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/ZDLContext.h"
#include "panels/NavigationDots.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/PainterCanvas.h"
#include "views/ZDLView.h"

#include <QDir>
#include <QEasingCurve>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <QVariantAnimation>
#include <cmath>

namespace zandrel {

namespace {

constexpr int kAnimationMilliseconds = 500;
constexpr qint64 kMaxHelpComicBytes = 16 * 1024 * 1024;
constexpr double kCloseBoxCrossInset = 6.5;
const QString kHelpPrefix = QStringLiteral("help:");
const QString kLinkPrefix = QStringLiteral("link:");
const QString kHelpResourceFolder = QStringLiteral(":/help/");

QList<HelpComicView*>& openList()
{
    static QList<HelpComicView*> list;
    return list;
}

std::optional<bool>& animationSetting()
{
    static std::optional<bool> setting;
    return setting;
}

// The shipped help book as a file the desktop's browser can open: copied out of the resources
// into the cache folder when first needed.
QUrl helpBookUrl(const QString& anchor)
{
    const QString folder
        = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/help");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/index.html");
    QFile::remove(path);
    QFile::copy(kHelpResourceFolder + QStringLiteral("index.html"), path);
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(anchor);
    return url;
}

QVariantAnimation* startAnimation(
    QObject* owner, std::function<void(double)> step, std::function<void()> done)
{
    auto* animation = new QVariantAnimation(owner);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(kAnimationMilliseconds);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    QObject::connect(animation, &QVariantAnimation::valueChanged, owner,
        [step = std::move(step)](const QVariant& value) { step(value.toDouble()); });
    QObject::connect(animation, &QVariantAnimation::finished, owner, std::move(done));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
    return animation;
}

} // namespace

bool HelpComicView::animates()
{
    if (animationSetting())
        return *animationSetting();
    return QGuiApplication::platformName() != QStringLiteral("offscreen");
}

void HelpComicView::setAnimates(bool animates)
{
    animationSetting() = animates;
}

const QList<HelpComicView*>& HelpComicView::openHelpComics()
{
    return openList();
}

HelpComicView* HelpComicView::getOpenHelp(const QString& helpId, const ZDLDocument* document)
{
    for (HelpComicView* view : openList()) {
        if (view->m_helpId == helpId && view->m_document == document)
            return view;
    }
    return nullptr;
}

std::shared_ptr<ComicModel> HelpComicView::readHelpComic(const QString& helpId)
{
    // Ids are plain names: nothing may lead outside the help folder.
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_]+$"));
    if (!plainName.match(helpId).hasMatch())
        return nullptr;
    QFile file(kHelpResourceFolder + helpId + QStringLiteral(".comic"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxHelpComicBytes)
        return nullptr;
    try {
        auto comic = readComicFile(file.readAll());
        return comic && comic->numPages() > 0 ? comic : nullptr;
    } catch (const Exception&) {
        return nullptr;
    }
}

HelpComicView* HelpComicView::createHelp(
    const QString& helpId, ZDLDocument* document, QWidget* host, bool force)
{
    if (!host || (!force && appController()->isHelpPanelHidden(helpId)))
        return nullptr;
    return showHelpComic(helpId, readHelpComic(helpId), document, host, force);
}

HelpComicView* HelpComicView::showHelpComic(const QString& helpId, std::shared_ptr<ComicModel> comic,
    ZDLDocument* document, QWidget* host, bool force)
{
    if (!comic || !host || comic->numPages() < 1)
        return nullptr;
    auto* view = new HelpComicView(helpId, std::move(comic), document, force, host);
    view->show();
    view->raise();
    view->animateIn();
    openList().append(view);
    NotificationCenter::defaultCenter().post(kHelpComicsChangedNotification, document);
    return view;
}

void HelpComicView::registerAndOffer(
    ZDLView* view, const QString& helpId, ZDLDocument* document, QWidget* host)
{
    view->registerForHelpPanel(helpId, document, host);
    QPointer<QWidget> shown(host);
    QPointer<ZDLView> owner(view);
    QTimer::singleShot(0, host, [shown, owner, helpId, document] {
        if (shown && owner && shown->isVisible() && !getOpenHelp(helpId, document))
            createHelp(helpId, document, shown, false);
    });
}

HelpComicView::HelpComicView(const QString& helpId, std::shared_ptr<ComicModel> comic, ZDLDocument* document,
    bool force, QWidget* host)
    : QWidget(host)
    , m_helpId(helpId)
    , m_comic(std::move(comic))
    , m_document(document)
{
    m_comic->setCurrentPageIndex(0);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    readCommandBalloons();
    if (document) {
        auto close = [this](const Notification&) { closeAndRemove(); };
        NotificationCenter::defaultCenter().addObserver(this, kEditViewChangedNotification, document, close);
        NotificationCenter::defaultCenter().addObserver(this, kDocumentClosingNotification, document, close);
    }

    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_moreHelpButton = new QPushButton(this);
    m_moreHelpButton->setObjectName(QStringLiteral("moreHelpButton"));
    m_moreHelpButton->setFont(small);
    m_moreHelpButton->setFocusPolicy(Qt::NoFocus);
    m_moreHelpButton->hide();
    connect(m_moreHelpButton, &QPushButton::clicked, this, [this] {
        if (!moreHelpAnchor(currentPageIndex()).isEmpty())
            showMoreHelp();
        else
            goToExternalLink();
    });
    if (!force) {
        m_dontShowAgainButton = new QPushButton(localized("OK, don't show me this again"), this);
        m_dontShowAgainButton->setObjectName(QStringLiteral("dontShowAgainButton"));
        m_dontShowAgainButton->setFont(small);
        m_dontShowAgainButton->setFocusPolicy(Qt::NoFocus);
        m_dontShowAgainButton->adjustSize();
        m_dontShowAgainButton->hide();
        connect(m_dontShowAgainButton, &QPushButton::clicked, this, &HelpComicView::dontShowAgain);
    }
    if (numPages() >= 2) {
        m_pageDots = new NavigationDots(this);
        m_pageDots->setNumDots(numPages());
        connect(m_pageDots, &NavigationDots::dotClicked, this, [this](int dot) {
            if (dot != currentPageIndex())
                animatePageTurnTo(dot);
        });
    }
    host->installEventFilter(this);
    fitToHost();
    move(-width(), 0);
    setCurrentPageIndex(0);
}

void HelpComicView::fitToHost()
{
    const QSizeF natural = m_comic->bounds().size();
    const double dots = numPages() >= 2 ? kDotsHeight : 0.0;
    double scale = 1.0;
    if (const QWidget* host = parentWidget(); host && natural.width() > 0 && natural.height() > 0) {
        scale = std::min({ 1.0, (host->width() - 2 * kMargin) / natural.width(),
            (host->height() - 2 * kMargin - dots) / natural.height() });
        scale = std::max(scale, kSmallestScale);
    }
    m_scale = scale;
    const int width = int(std::ceil(natural.width() * scale + 2 * kMargin));
    const int height = int(std::ceil(natural.height() * scale + 2 * kMargin + dots));
    resize(width, height);
    if (m_dontShowAgainButton)
        m_dontShowAgainButton->move(int(kMargin), height - m_dontShowAgainButton->height());
    if (m_pageDots)
        m_pageDots->setGeometry(0, height - 44, width, 14);
    if (m_moreHelpButton)
        m_moreHelpButton->move(
            width - int(kMargin) - m_moreHelpButton->width(), height - m_moreHelpButton->height());
    update();
}

HelpComicView::~HelpComicView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (openList().removeAll(this) > 0)
        NotificationCenter::defaultCenter().post(kHelpComicsChangedNotification, m_document);
}

int HelpComicView::numPages() const
{
    return int(m_comic->numPages());
}

int HelpComicView::currentPageIndex() const
{
    return int(std::max<qsizetype>(0, m_comic->currentPageIndex()));
}

QString HelpComicView::moreHelpAnchor(int page) const
{
    return m_moreHelpLinks.value(page);
}

QString HelpComicView::externalLink(int page) const
{
    return m_externalLinks.value(page);
}

QString HelpComicView::externalLinkText(int page) const
{
    return m_externalLinksText.value(page);
}

QRectF HelpComicView::comicRect() const
{
    return QRectF(QPointF(kMargin, kMargin), m_comic->bounds().size() * m_scale);
}

void HelpComicView::readCommandBalloons()
{
    for (int index = 0; index < numPages(); ++index) {
        m_moreHelpLinks.append(QString());
        m_externalLinks.append(QString());
        m_externalLinksText.append(QString());
        const auto page = m_comic->pageAtIndex(index);
        const auto panel = page ? std::dynamic_pointer_cast<ComicPanel>(page->firstPanel()) : nullptr;
        if (!panel)
            continue;
        for (const ObjectPtr& element : panel->allComicElementsOfClass(Balloon::kClassName)) {
            auto* balloon = dynamic_cast<Balloon*>(element.get());
            const QString text = balloon ? balloon->formattedText().string() : QString();
            if (text.startsWith(kHelpPrefix)) {
                m_moreHelpLinks.last() = text.mid(kHelpPrefix.size()).trimmed();
            } else if (text.startsWith(kLinkPrefix)) {
                // A link without "|" is all title and no address: its button does nothing.
                const QString rest = text.mid(kLinkPrefix.size());
                const qsizetype bar = rest.indexOf(QLatin1Char('|'));
                m_externalLinksText.last() = bar < 0 ? rest : rest.left(bar);
                m_externalLinks.last() = bar < 0 ? QString() : rest.mid(bar + 1).trimmed();
            } else {
                continue;
            }
            balloon->setVisible(false);
            break;
        }
    }
}

void HelpComicView::setCurrentPageIndex(int page)
{
    m_comic->setCurrentPageIndex(page);
    const int current = currentPageIndex();
    if (m_pageDots)
        m_pageDots->setSelectedDot(current);
    const QString anchor = moreHelpAnchor(current);
    const QString title = externalLinkText(current);
    if (!anchor.isEmpty())
        m_moreHelpButton->setText(localized("More help"));
    else if (!title.isEmpty())
        m_moreHelpButton->setText(title);
    m_moreHelpButton->adjustSize();
    m_moreHelpButton->move(
        width() - int(kMargin) - m_moreHelpButton->width(), height() - m_moreHelpButton->height());
    updateButtonVisibility();
    update();
}

void HelpComicView::updateButtonVisibility()
{
    const int current = currentPageIndex();
    const bool hasButton = !moreHelpAnchor(current).isEmpty() || !externalLinkText(current).isEmpty();
    m_moreHelpButton->setVisible(m_mouseInView && hasButton);
    if (m_dontShowAgainButton)
        m_dontShowAgainButton->setVisible(m_mouseInView);
}

void HelpComicView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The page is paper: the gutters between panels must not show the editing area behind.
    painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(comicRect().adjusted(-0.5, -0.5, 0.5, 0.5));
    {
        PainterCanvas canvas(&painter, CanvasTarget::Screen);
        CanvasScope current(&canvas);
        ZDLContext context { float(m_scale) };
        context.saveState();
        canvas.translate(kMargin, kMargin);
        canvas.scale(m_scale, m_scale);
        if (const auto& page = m_comic->currentPage()) {
            page->drawPanelShadowsIn(context, QSizeF(4, -4), 10.0f);
            page->drawIn(context, m_comic->bounds());
        }
        context.restoreState();
        canvas.finish();
    }
    if (!m_mouseInView && !m_trackingInCloseBox)
        return;
    double fill = 1.0;
    double cross = 0.6;
    if (m_mouseInCloseBox) {
        fill = m_trackingInCloseBox ? 0.4 : 0.9;
        cross = m_trackingInCloseBox ? 1.0 : 0.1;
    }
    const QRectF box = closeBox();
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(QColor::fromRgbF(float(fill), float(fill), float(fill)));
    painter.drawEllipse(box.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(QColor::fromRgbF(float(cross), float(cross), float(cross)), 2));
    const QRectF inner
        = box.adjusted(kCloseBoxCrossInset, kCloseBoxCrossInset, -kCloseBoxCrossInset, -kCloseBoxCrossInset);
    painter.drawLine(inner.topLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomLeft());
}

void HelpComicView::setMouseInCloseBox(bool inside)
{
    if (inside == m_mouseInCloseBox)
        return;
    m_mouseInCloseBox = inside;
    update(closeBox().toAlignedRect().adjusted(-2, -2, 2, 2));
}

void HelpComicView::mouseEnteredView()
{
    if (m_mouseInView)
        return;
    m_mouseInView = true;
    updateButtonVisibility();
    update();
}

void HelpComicView::enterEvent(QEnterEvent*)
{
    mouseEnteredView();
}

void HelpComicView::leaveEvent(QEvent*)
{
    m_mouseInView = false;
    m_mouseInCloseBox = false;
    updateButtonVisibility();
    update();
}

void HelpComicView::mousePressEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    if (closeBox().contains(point)) {
        m_trackingInCloseBox = true;
        m_mouseInCloseBox = true;
        update();
        return;
    }
    if (numPages() >= 2 && comicRect().contains(point))
        animatePageTurnTo((currentPageIndex() + 1) % numPages());
}

void HelpComicView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_trackingInCloseBox)
        mouseEnteredView();
    setMouseInCloseBox(closeBox().contains(event->position()));
}

void HelpComicView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_trackingInCloseBox)
        return;
    m_trackingInCloseBox = false;
    update();
    if (closeBox().contains(event->position()))
        animateOut();
}

void HelpComicView::animatePageTurnTo(int page)
{
    if (page < 0 || page >= numPages())
        return;
    if (m_pageDots)
        m_pageDots->setSelectedDot(page);
    const int current = currentPageIndex();
    if (animates() && page <= current) {
        // The earlier page swings in over the current one, which stays until it lands.
        auto* turn = new HelpPageTurnView(this, page, true, page);
        turn->show();
        return;
    }
    if (animates()) {
        auto* turn = new HelpPageTurnView(this, current, false, -1);
        turn->show();
    }
    setCurrentPageIndex(page);
}

QPoint HelpComicView::centredPosition() const
{
    const QWidget* host = parentWidget();
    if (!host)
        return pos();
    return QPoint((host->width() - width()) / 2, (host->height() - height()) / 2);
}

void HelpComicView::slideTo(const QPoint& target, bool closeWhenDone)
{
    if (m_slide)
        m_slide->stop();
    if (!animates()) {
        move(target);
        if (closeWhenDone)
            closeAndRemove();
        return;
    }
    const QPoint start = pos();
    m_slide = startAnimation(
        this,
        [this, start, target](double t) {
            move(QPoint(int(std::lround(start.x() + (target.x() - start.x()) * t)), target.y()));
        },
        [this, closeWhenDone] {
            if (closeWhenDone)
                closeAndRemove();
        });
}

void HelpComicView::animateIn()
{
    const QPoint centred = centredPosition();
    move(-width(), centred.y());
    slideTo(centred, false);
}

void HelpComicView::animateOut()
{
    slideTo(QPoint(-width(), y()), true);
}

void HelpComicView::closeAndRemove()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (openList().removeAll(this) > 0)
        NotificationCenter::defaultCenter().post(kHelpComicsChangedNotification, m_document);
    hide();
    deleteLater();
}

void HelpComicView::dontShowAgain()
{
    animateOut();
    appController()->hideHelpPanel(m_helpId);
}

void HelpComicView::showMoreHelp()
{
    const QString anchor = moreHelpAnchor(currentPageIndex());
    if (anchor.isEmpty())
        return;
    WebLinks::openUrl(helpBookUrl(anchor));
    animateOut();
}

void HelpComicView::goToExternalLink()
{
    const QUrl url(externalLink(currentPageIndex()));
    const QString scheme = url.scheme().toLower();
    // Only web and mail links leave the program: a help comic is data, and data names no programs.
    if (!url.isValid()
        || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")
            && scheme != QStringLiteral("mailto")))
        return;
    WebLinks::openUrl(url);
    animateOut();
}

bool HelpComicView::eventFilter(QObject* watched, QEvent* event)
{
    // The overlay stays centred in its host as the host is resized.
    if (watched == parentWidget() && event->type() == QEvent::Resize && !m_slide && isVisible()) {
        fitToHost();
        move(centredPosition());
    }
    return QWidget::eventFilter(watched, event);
}

HelpPageTurnView::HelpPageTurnView(HelpComicView* owner, int pageIndex, bool comingIn, int pageToSetWhenDone)
    : QWidget(owner)
    , m_owner(owner)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const QRect frame = owner->comicRect().toAlignedRect();
    setGeometry(frame);
    const qreal ratio = owner->devicePixelRatioF();
    m_page = owner->comic()->getImageOfPage(pageIndex, float(ratio * owner->comicScale()));
    m_page.setDevicePixelRatio(ratio);
    const int width = owner->width();
    const QPoint origin = frame.topLeft();
    constexpr double kQuarterTurn = -90.0;
    auto place = [this, comingIn, origin, width, kQuarterTurn](double t) {
        const double away = comingIn ? 1.0 - t : t;
        m_angle = kQuarterTurn * away;
        move(origin - QPoint(int(std::lround(width * away)), 0));
        update();
    };
    place(0.0);
    startAnimation(this, place, [this, pageToSetWhenDone] {
        if (m_owner && pageToSetWhenDone >= 0)
            m_owner->setCurrentPageIndex(pageToSetWhenDone);
        deleteLater();
    });
}

void HelpPageTurnView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPointF centre = rect().center();
    painter.translate(centre);
    painter.rotate(m_angle);
    painter.translate(-centre);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(QPointF(0, 0), m_page);
}

} // namespace zandrel
