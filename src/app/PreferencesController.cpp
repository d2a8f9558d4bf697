#include "app/PreferencesController.h"

#include "app/FavoriteFontsController.h"
#include "app/MainMenu.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "platform/UserDefaults.h"

#include <QAction>
#include <QActionGroup>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPropertyAnimation>
#include <QSortFilterProxyModel>
#include <QToolBar>
#include <QVBoxLayout>

namespace zandrel {

namespace {

// A line edit that writes the defaults key as the user types, so closing the window loses nothing.
QLineEdit* boundLineEdit(const QString& key, QWidget* parent)
{
    auto* edit = new QLineEdit(UserDefaults::standard().string(key), parent);
    edit->setObjectName(key);
    QObject::connect(edit, &QLineEdit::textEdited, edit,
        [key](const QString& text) { UserDefaults::standard().set(key, text); });
    return edit;
}

} // namespace

PreferencesController::PreferencesController(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(localized("Preferences"));
    m_fontsController = new FavoriteFontsController(this);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    // The window's size is set per pane, not by the layout.
    m_layout->setSizeConstraint(QLayout::SetNoConstraint);
    m_toolbar = new QToolBar(this);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_layout->setMenuBar(m_toolbar);
    // The window has no menus of its own: the close key closes it as a document window's does.
    auto* closeWindow = new QAction(this);
    closeWindow->setShortcut(QKeySequence::Close);
    closeWindow->setShortcutContext(Qt::WindowShortcut);
    connect(closeWindow, &QAction::triggered, this, &QDialog::close);
    addAction(closeWindow);
    MainMenu::addApplicationKeys(this);

    m_paneGroup = new QActionGroup(this);
    m_paneGroup->setExclusive(true);
    const struct {
        QString id;
        QString title;
        QString icon;
    } items[] = { { kSharingPane, localized("Sharing"), QStringLiteral(":/images/toolbar_Share.png") },
        { kFontsPane, localized("Fonts"), QStringLiteral(":/images/toolbar_EditColors.png") } };
    for (const auto& entry : items) {
        QAction* item = m_toolbar->addAction(QIcon(entry.icon), entry.title);
        item->setObjectName(entry.id);
        item->setData(entry.id);
        item->setCheckable(true);
        m_paneGroup->addAction(item);
        connect(item, &QAction::triggered, this, [this] { showPane(); });
    }

    m_views = { { kSharingPane, makeSharingPane() }, { kFontsPane, makeFontsPane() } };
    for (auto it = m_views.cbegin(); it != m_views.cend(); ++it) {
        m_sizes.insert(it.key(), it.value() ? it.value()->size() : QSize());
        if (it.value())
            it.value()->hide();
    }
    selectPane(kSharingPane);
}

PreferencesController::~PreferencesController()
{
    if (m_resize)
        m_resize->stop();
}

QWidget* PreferencesController::makeSharingPane()
{
    auto* pane = new QWidget(this);
    pane->setObjectName(kSharingPane);
    auto* form = new QFormLayout(pane);
    auto* intro = new QLabel(localized("A comic you share starts with this text:"), pane);
    form->addRow(intro);
    form->addRow(localized("Description:"), boundLineEdit(kDefaultDescriptionKey, pane));
    form->addRow(localized("Hashtags:"), boundLineEdit(kDefaultHashtagsKey, pane));
    pane->resize(460, 120);
    return pane;
}

QWidget* PreferencesController::makeFontsPane()
{
    auto* pane = new QWidget(this);
    pane->setObjectName(kFontsPane);
    auto* column = new QVBoxLayout(pane);
    column->addWidget(new QLabel(localized("Favorite fonts come first in the font menus."), pane));
    auto* search = new QLineEdit(pane);
    search->setObjectName(QStringLiteral("fontSearch"));
    search->setPlaceholderText(localized("Search"));
    search->setClearButtonEnabled(true);
    column->addWidget(search);
    auto* filtered = new QSortFilterProxyModel(pane);
    filtered->setSourceModel(m_fontsController);
    filtered->setFilterCaseSensitivity(Qt::CaseInsensitive);
    connect(search, &QLineEdit::textChanged, filtered, &QSortFilterProxyModel::setFilterFixedString);
    auto* fontsTable = new QListView(pane);
    fontsTable->setObjectName(QStringLiteral("fontsTable"));
    fontsTable->setModel(filtered);
    fontsTable->setUniformItemSizes(true);
    column->addWidget(fontsTable);
    pane->resize(460, 380);
    return pane;
}

QAction* PreferencesController::toolbarItem(const QString& paneId) const
{
    for (QAction* item : m_paneGroup->actions()) {
        if (item->data().toString() == paneId)
            return item;
    }
    return nullptr;
}

QString PreferencesController::currentPaneId() const
{
    return m_views.key(m_content);
}

void PreferencesController::selectPane(const QString& paneId)
{
    QAction* item = toolbarItem(paneId);
    if (!item)
        return;
    item->setChecked(true);
    showPane();
}

QRect PreferencesController::targetGeometry() const
{
    if (m_resize && m_resize->state() == QAbstractAnimation::Running)
        return m_resize->endValue().toRect();
    return geometry();
}

void PreferencesController::showPane()
{
    QAction* selected = m_paneGroup->checkedAction();
    const QString paneId = selected ? selected->data().toString() : QString();
    QWidget* view = m_views.value(paneId);
    if (!view || view == m_content)
        return;

    // Title and toolbar keep their height; the pane's stored size gives the rest. Screen coordinates
    // grow downwards, so keeping the top edge keeps the origin.
    const QSize size = m_sizes.value(paneId);
    const int chrome = m_content ? height() - m_content->height() : m_toolbar->sizeHint().height();
    const QRect frame(geometry().topLeft(), QSize(size.width(), size.height() + chrome));

    if (m_content) {
        m_layout->removeWidget(m_content);
        m_content->hide();
    }
    m_content = view;
    m_layout->addWidget(view);
    view->show();

    if (m_resize)
        m_resize->stop();
    if (isVisible()) {
        m_resize = new QPropertyAnimation(this, "geometry", this);
        m_resize->setDuration(200);
        m_resize->setEasingCurve(QEasingCurve::InOutQuad);
        m_resize->setStartValue(geometry());
        m_resize->setEndValue(frame);
        m_resize->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        // A hidden window keeps its place (or lets the desktop place it the first time).
        resize(frame.size());
    }
}

} // namespace zandrel
