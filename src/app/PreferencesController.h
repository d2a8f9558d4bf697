#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QSize>

class QAction;
class QActionGroup;
class QLineEdit;
class QListView;
class QPropertyAnimation;
class QToolBar;
class QVBoxLayout;

namespace zandrel {

class FavoriteFontsController;

// The preferences window: a toolbar of panes, one shown at a time. "sharing" holds the text a shared
// comic starts with ("defaultDescription", "defaultHashtags"); "fonts" lists the installed families
// with a check for the favourites the font menus offer first. Each pane keeps the size it was
// designed at; switching panes resizes the window to it, keeping the window's top edge.
class PreferencesController : public QDialog {
public:
    inline static const QString kSharingPane = QStringLiteral("sharing");
    inline static const QString kFontsPane = QStringLiteral("fonts");

    explicit PreferencesController(QWidget* parent = nullptr);
    ~PreferencesController() override;

    // The toolbar's action: shows the pane of the selected toolbar item.
    void showPane();
    // Selects the pane's toolbar item and shows the pane; an unknown id does nothing.
    void selectPane(const QString& paneId);

    QString currentPaneId() const;
    QWidget* pane(const QString& paneId) const { return m_views.value(paneId); }
    QAction* toolbarItem(const QString& paneId) const;
    QToolBar* toolbar() const { return m_toolbar; }
    FavoriteFontsController* fontsController() const { return m_fontsController; }
    // The frame the window is moving to (its frame when no resize is under way).
    QRect targetGeometry() const;

private:
    QWidget* makeSharingPane();
    QWidget* makeFontsPane();

    QToolBar* m_toolbar = nullptr;
    QActionGroup* m_paneGroup = nullptr;
    QVBoxLayout* m_layout = nullptr;
    QWidget* m_content = nullptr;
    QHash<QString, QWidget*> m_views;
    QHash<QString, QSize> m_sizes;
    FavoriteFontsController* m_fontsController = nullptr;
    QPointer<QPropertyAnimation> m_resize;
};

} // namespace zandrel
