#include "app/ComicWindowContents.h"

#include "app/CatalogAndLibraryController.h"
#include "app/CatalogPaneHost.h"
#include "app/DocumentToolbar.h"
#include "app/DocumentWindow.h"
#include "app/EditingControllerView.h"
#include "app/GroupEditors.h"
#include "app/ImageEditingView.h"
#include "app/PartEditingView.h"
#include "app/core/ActionNames.h"
#include "app/core/DocumentDialogs.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "panels/ComicPropertiesController.h"
#include "panels/HelpComicView.h"
#include "panels/TextPropertiesController.h"
#include "platform/Localization.h"
#include "platform/UserDefaults.h"
#include "views/BalloonGroupView.h"
#include "views/ComicView.h"
#include "views/ZDLScrollArea.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// The comic window's own toolbar items beside the shared ones.
const QString kNewBalloonItem = QStringLiteral("NewBalloon");
const QString kPanelItem = QStringLiteral("Panel");
const QString kShareItem = QStringLiteral("Share");

// What the new-comic sheet proposes when the user has never changed it.
struct NewComicDefault {
    const char* key;
    double value;
    double smallest;
    double largest;
};
// The defaults file is the user's to edit: absurd values are held within what a page can be.
constexpr NewComicDefault kComicWidth { "comicWidth", 900.0, 50.0, 20000.0 };
constexpr NewComicDefault kComicHeight { "comicHeight", 300.0, 50.0, 20000.0 };
constexpr NewComicDefault kGutter { "gutter", 12.0, 0.0, 200.0 };
constexpr NewComicDefault kNumRows { "numRows", 1, 1, 20 };
constexpr NewComicDefault kPanelsPerRow { "panelsPerRow", 4, 1, 20 };
constexpr NewComicDefault kPanelShape { "panelShape", 0, 0, PanelShapeSpikes };
constexpr NewComicDefault kPanelWeight { "panelWeight", 1.0, 0.0, 100.0 };
constexpr NewComicDefault kPanelLineStyle { "panelLineStyle", 0, 0, 14 };
constexpr NewComicDefault kCornerRoundness { "cornerRoundness", 0.0, -1.0, 1000.0 };

double newComicDefault(const NewComicDefault& setting)
{
    const UserDefaults& defaults = UserDefaults::standard();
    const QString key = QString::fromLatin1(setting.key);
    const double value = defaults.contains(key) ? defaults.doubleValue(key) : setting.value;
    return std::isfinite(value) ? std::clamp(value, setting.smallest, setting.largest) : setting.value;
}

} // namespace

double newComicDefault(const QString& key)
{
    for (const NewComicDefault* setting : { &kComicWidth, &kComicHeight, &kGutter, &kNumRows, &kPanelsPerRow,
             &kPanelShape, &kPanelWeight, &kPanelLineStyle, &kCornerRoundness }) {
        if (key == QLatin1String(setting->key))
            return newComicDefault(*setting);
    }
    return 0.0;
}

void layOutNewComic(ComicModel& model)
{
    model.setPanelGutter(float(newComicDefault(kGutter)));
    model.setupWithSize(QSizeF(newComicDefault(kComicWidth), newComicDefault(kComicHeight)),
        int(newComicDefault(kNumRows)), int(newComicDefault(kPanelsPerRow)));
    ComicPanel::setFrameOfPanelsIn(model, int(newComicDefault(kPanelShape)),
        float(newComicDefault(kPanelWeight)), qint64(newComicDefault(kPanelLineStyle)),
        float(newComicDefault(kCornerRoundness)));
    model.setCurrentPanel(std::dynamic_pointer_cast<ComicPanel>(model.firstPanel()));
}

// --- Page navigation ---

ComicPageNavigation::ComicPageNavigation(ComicDocument* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_previous(new QToolButton(this))
    , m_next(new QToolButton(this))
    , m_popup(new QComboBox(this))
{
    setObjectName(QStringLiteral("pageNavigationView"));
    m_previous->setObjectName(QStringLiteral("prevPageButton"));
    m_next->setObjectName(QStringLiteral("nextPageButton"));
    m_popup->setObjectName(QStringLiteral("pagePopup"));
    m_previous->setArrowType(Qt::LeftArrow);
    m_next->setArrowType(Qt::RightArrow);
    m_previous->setToolTip(localized("Previous page"));
    m_next->setToolTip(localized("Next page"));
    for (QWidget* control : std::initializer_list<QWidget*> { m_previous, m_next, m_popup })
        control->setFocusPolicy(Qt::NoFocus);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    row->addStretch();
    row->addWidget(m_previous);
    row->addWidget(m_popup);
    row->addWidget(m_next);
    row->addStretch();
    connect(m_previous, &QToolButton::clicked, this, [this] { m_document->gotoPrevPage(); });
    connect(m_next, &QToolButton::clicked, this, [this] { m_document->gotoNextPage(); });
    connect(m_popup, &QComboBox::activated, this,
        [this](int index) { m_document->gotoSelectedPage(m_popup->itemData(index).toLongLong()); });
    document->setWindowLink(this);
    hide();
}

ComicPageNavigation::~ComicPageNavigation()
{
    if (m_document->windowLink() == this)
        m_document->setWindowLink(nullptr);
}

bool ComicPageNavigation::textEditing() const
{
    return m_view && m_view->textEditing();
}

void ComicPageNavigation::newComicSheetShown(bool shown)
{
    if (!m_view)
        return;
    m_view->setEnabled(!shown);
    if (shown)
        return;
    m_view->setFocus();
    if (m_helpArea && !HelpComicView::getOpenHelp(HelpComicView::kComicViewHelp, m_document))
        HelpComicView::createHelp(HelpComicView::kComicViewHelp, m_document, m_helpArea, false);
}

void ComicPageNavigation::showPageControls(const PageControls& controls)
{
    setVisible(controls.visible);
    if (m_popup->count() != controls.pageCount) {
        m_popup->clear();
        for (qsizetype page = 0; page < controls.pageCount; ++page)
            m_popup->addItem(QString::number(page + 1), QVariant::fromValue(page));
    }
    m_popup->setCurrentIndex(int(controls.currentIndex));
    m_previous->setEnabled(controls.previousEnabled);
    m_next->setEnabled(controls.nextEnabled);
    m_popup->setEnabled(controls.popupEnabled);
}

// --- The window ---

void buildComicWindowContents(DocumentWindow& window)
{
    auto* document = dynamic_cast<ComicDocument*>(window.document());
    if (!document || !document->model())
        return;
    // A comic read from a file has pages; a new one is laid out as the new-comic sheet proposes.
    const bool newComic = document->model()->numPages() == 0;
    if (newComic)
        layOutNewComic(*document->model());

    auto* area = new QWidget;
    area->setObjectName(QStringLiteral("comicEditingView"));
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    auto* view = new ComicView(document);
    auto* scroll = new ZDLScrollArea(view, area);
    scroll->setObjectName(QStringLiteral("comicScrollArea"));
    grid->addWidget(scroll, 0, 0);
    // Below the comic: the text formatting bar while a balloon's text is edited, then the property
    // bar beside the page controls.
    auto* textBarSlot = new QWidget(area);
    auto* textBarColumn = new QVBoxLayout(textBarSlot);
    textBarColumn->setContentsMargins(0, 0, 0, 0);
    auto* textBar = new TextPropertiesController(textBarSlot);
    textBarColumn->addWidget(textBar);
    view->setTextPropertiesBar(textBar);
    view->setTextPropertiesContainer(textBarSlot);
    grid->addWidget(textBarSlot, 1, 0);
    auto* bottomRow = new QWidget(area);
    auto* bottom = new QHBoxLayout(bottomRow);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(0);
    auto* navigation = new ComicPageNavigation(document, bottomRow);
    navigation->setComicView(view);
    navigation->setHelpArea(area);
    bottom->addWidget(new ComicPropertiesController(view, bottomRow));
    bottom->addWidget(navigation, 1);
    grid->addWidget(bottomRow, 2, 0);
    // The editors lie over the view, hidden until they edit something; the group editor of a page's
    // free objects and of groups covers only the comic.
    auto* partEditorView = new PartEditingView(document, area);
    partEditorView->partElementsView()->setComicView(view);
    EditingControllerView* partEditor = partEditorView;
    EditingControllerView* imageEditor = new ImageEditingView(document, area);
    EditingControllerView* balloonGroupEditor = new BalloonGroupEditingView(document, area);
    EditingControllerView* groupEditor = new GroupEditingView(document, area);
    imageEditor->setObjectName(QStringLiteral("imageEditor"));
    for (EditingControllerView* editor : { partEditor, imageEditor, balloonGroupEditor, groupEditor }) {
        grid->addWidget(editor, 0, 0, editor->usesWholeWindow() ? 3 : 1, 1);
        // An editor over the comic alone leaves the text bar in sight below it; the balloon group
        // editor, over the whole window, takes the bar below its own view while it edits a text.
        auto* lettering = dynamic_cast<BalloonEditingView*>(editor->editingView());
        if (lettering && !editor->usesWholeWindow()) {
            lettering->setTextPropertiesBar(textBar);
            lettering->setTextPropertiesContainer(textBarSlot);
        } else if (auto* balloons = dynamic_cast<BalloonGroupView*>(lettering)) {
            balloons->setTextPropertiesBar(textBar);
            balloons->setTextPropertiesContainer(editor->textBarSlot());
        }
        window.addEditor(editor);
    }
    document->setEditors(partEditor, imageEditor, balloonGroupEditor);
    document->setGroupEditor(groupEditor);
    // The catalog and library panel below the comic, sharing the window through a splitter; it
    // slides down out of sight (but for its tabs) and up again.
    window.setCentralWidget(
        new CatalogPaneHost(area, new CatalogAndLibraryController(document), document->isCatalogViewOpen()));
    window.setEditingAreas(scroll, scroll, view);
    view->setFocus();
    document->numberOfPagesChanged();
    // A new comic is set up in its sheet, over the comic, once the sheet is installed; the view's help
    // waits until the sheet is done.
    if (newComic && DocumentDialogs::open(kNewComicSheetAction, *document, area))
        view->registerForHelpPanel(HelpComicView::kComicViewHelp, document, area);
    else
        HelpComicView::registerAndOffer(view, HelpComicView::kComicViewHelp, document, area);

    QToolBar* toolbar = window.toolbar();
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    DocumentToolbar& items = window.documentToolbar();
    const auto own = [&items](const QString& identifier, const QString& label, const QString& paletteLabel,
                         const QString& toolTip, const QString& image, const QString& action) {
        return items.toolbarItemWithIdentifier(identifier, label, paletteLabel, toolTip, image, action);
    };
    const QHash<QString, QAction*> ownItems {
        { kNewBalloonItem,
            own(kNewBalloonItem, localized("New Balloon"), localized("New Dialog Balloon"),
                localized("Create a new dialog balloon"), QStringLiteral("toolbar_NewBalloon"),
                kAddBalloonAction) },
        { kPanelItem,
            own(kPanelItem, localized("Panel"), localized("Panel Properties"),
                localized("Edit panel properties"), QStringLiteral("toolbar_Panel"),
                kPanelPropertiesAction) },
        { kShareItem,
            own(kShareItem, localized("Share"), localized("Share"), localized("Share your comic"),
                QStringLiteral("toolbar_Share"), kShareAction) },
    };
    items.build(
        { DocumentToolbar::kHelpItem, DocumentToolbar::kCharColorsItem, DocumentToolbar::kFlexibleSpaceItem,
            DocumentToolbar::kNewPartItem, kNewBalloonItem, DocumentToolbar::kEditItem,
            DocumentToolbar::kFlipItem, kPanelItem, DocumentToolbar::kFlexibleSpaceItem, kShareItem,
            DocumentToolbar::kBackgroundItem, DocumentToolbar::kViewScaleItem },
        ownItems);
    items.opensMenuOnPress(ownItems.value(kShareItem));
}

} // namespace zandrel
