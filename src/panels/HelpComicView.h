#pragma once

#include <QList>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <memory>

class QPushButton;
class QVariantAnimation;

namespace zandrel {

class ComicModel;
class NavigationDots;
class ZDLDocument;
class ZDLView;

// Posted, with the document as object, when a help comic comes into sight or goes: whether a view
// still offers its help changes with it.
inline const QString kHelpComicsChangedNotification = QStringLiteral("helpComicsChanged");

// Context help as a small comic sliding over an editing area: a comic file per topic shipped with
// the program (":/help/<id>.comic"), one help page per comic page. A click on the comic or on a
// page dot turns the page; a round close box, the "don't show again" button and a page's own
// button (a help anchor or a web link, from a command balloon "help:anchor" or "link:Title|URL" in
// the page's first panel, which is hidden) close it, as do a change of editor and the document
// closing.
class HelpComicView : public QWidget {
    Q_OBJECT

public:
    // The help comics in use.
    static inline const QString kComicViewHelp = QStringLiteral("comic_view");
    static inline const QString kPartsViewHelp = QStringLiteral("parts_view");
    static inline const QString kPartElementsViewHelp = QStringLiteral("part_elements_view");
    static inline const QString kLibraryViewHelp = QStringLiteral("library_view");
    static constexpr double kMargin = 20.0;
    static constexpr double kDotsHeight = 20.0;
    // How far a help comic shrinks to fit a small editing area; below it the text would not read.
    static constexpr double kSmallestScale = 0.5;

    // Makes the help comic of the id over the host and slides it in; null when force is false and
    // the user hid that help, or when the comic cannot be read.
    static HelpComicView* createHelp(const QString& helpId, ZDLDocument* document, QWidget* host, bool force);
    // The same for a comic at hand, under the id.
    static HelpComicView* showHelpComic(const QString& helpId, std::shared_ptr<ComicModel> comic,
        ZDLDocument* document, QWidget* host, bool force);
    // Registers the help comic as the view's and offers it, not forced, once the host is shown.
    static void registerAndOffer(ZDLView* view, const QString& helpId, ZDLDocument* document, QWidget* host);
    // The open help comic of the id for the document, or null.
    static HelpComicView* getOpenHelp(const QString& helpId, const ZDLDocument* document);
    static const QList<HelpComicView*>& openHelpComics();
    // The comic of the id read from the help resources; null when missing, unreadable or no comic.
    static std::shared_ptr<ComicModel> readHelpComic(const QString& helpId);
    // Slides and page turns are animated unless turned off (tests, the offscreen platform).
    static bool animates();
    static void setAnimates(bool animates);

    ~HelpComicView() override;

    const QString& helpId() const { return m_helpId; }
    ComicModel* comic() const { return m_comic.get(); }
    int currentPageIndex() const;
    int numPages() const;
    // The page's help anchor, link and link title; empty when the page has none.
    QString moreHelpAnchor(int page) const;
    QString externalLink(int page) const;
    QString externalLinkText(int page) const;
    QRectF closeBox() const { return QRectF(16, 16, 20, 20); }
    // The comic's page area in the view.
    QRectF comicRect() const;
    // The size the comic is drawn at: 1, or less where the host is too small for it.
    double comicScale() const { return m_scale; }
    QPushButton* moreHelpButton() const { return m_moreHelpButton; }
    QPushButton* dontShowAgainButton() const { return m_dontShowAgainButton; }
    NavigationDots* pageDots() const { return m_pageDots; }

    // --- Actions ---
    void dontShowAgain();
    void showMoreHelp();
    void goToExternalLink();
    void animatePageTurnTo(int page);
    void setCurrentPageIndex(int page);
    void animateIn();
    void animateOut();
    void closeAndRemove();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpComicView(const QString& helpId, std::shared_ptr<ComicModel> comic, ZDLDocument* document, bool force,
        QWidget* host);
    void readCommandBalloons();
    void mouseEnteredView();
    void setMouseInCloseBox(bool inside);
    void updateButtonVisibility();
    QPoint centredPosition() const;
    // Sizes the overlay, and the comic inside it, to the host and places the buttons and dots.
    void fitToHost();
    void slideTo(const QPoint& target, bool closeWhenDone);

    QString m_helpId;
    std::shared_ptr<ComicModel> m_comic;
    ZDLDocument* m_document = nullptr;
    QStringList m_moreHelpLinks;
    QStringList m_externalLinks;
    QStringList m_externalLinksText;
    bool m_mouseInView = false;
    bool m_mouseInCloseBox = false;
    bool m_trackingInCloseBox = false;
    QPushButton* m_moreHelpButton = nullptr;
    QPushButton* m_dontShowAgainButton = nullptr;
    NavigationDots* m_pageDots = nullptr;
    QPointer<QVariantAnimation> m_slide;
    double m_scale = 1.0;
};

// The page that swings away to the left (going forward) or in from the left (going back) while
// the help comic turns a page.
class HelpPageTurnView : public QWidget {
    Q_OBJECT

public:
    HelpPageTurnView(HelpComicView* owner, int pageIndex, bool comingIn, int pageToSetWhenDone);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<HelpComicView> m_owner;
    QImage m_page;
    double m_angle = 0.0;
};

} // namespace zandrel
