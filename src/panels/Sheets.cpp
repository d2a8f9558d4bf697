#include "panels/Sheets.h"

#include "app/ImageEditingView.h"
#include "app/PartEditingView.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "colorui/ColorSetWindows.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLImage.h"
#include "panels/CharacterSheets.h"
#include "panels/ComicPropertiesSheets.h"
#include "panels/ElementPropertiesSheets.h"
#include "panels/NewCharacterSheet.h"
#include "panels/NewComicSheet.h"
#include "panels/ScaleSheets.h"
#include "panels/StructureSheets.h"
#include "panels/StyleSheets.h"
#include "views/BalloonEditingView.h"
#include "views/ComicView.h"
#include "views/PartElementsView.h"
#include "views/ZDLEditingView.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace zandrel {

namespace Sheets {

namespace {

// The editing view of the window that sent the command: the one holding the focus, which is where
// the responder chain found the command.
template <class View> View* sendingView(QWidget* window)
{
    for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (auto* view = qobject_cast<View*>(widget); view && (!window || view->window() == window->window()))
            return view;
    }
    // Without the focus in the window, its shown view with a selection.
    if (window) {
        for (View* view : window->window()->findChildren<View*>()) {
            if (view->isVisible() && view->numSelected() > 0)
                return view;
        }
    }
    return nullptr;
}

template <class Sheet, class... Args> void show(Args&&... args)
{
    DialogController::create<Sheet>(std::forward<Args>(args)...)->showWindow();
}

// A sheet made from the document and its window.
template <class Document, class Sheet> void installDocumentSheet(const QString& action)
{
    DocumentDialogs::install(action, [](ZDLDocument& document, QObject* window) {
        if (auto* typed = dynamic_cast<Document*>(&document))
            show<Sheet>(typed, qobject_cast<QWidget*>(window));
    });
}

// The part editor's element view that sent a style command: the one in focus, else the document's
// part editor when it is the current one.
PartElementsView* elementsView(ZDLDocument& document, QWidget* window)
{
    if (auto* view = sendingView<PartElementsView>(window))
        return view;
    if (auto* editor = dynamic_cast<PartEditingView*>(document.currentEditor()))
        return editor->partElementsView();
    return nullptr;
}

} // namespace

void install()
{
    installDocumentSheet<ComicDocument, NewComicViewController>(kNewComicSheetAction);
    installDocumentSheet<CharacterDocument, NewCharacterViewController>(kNewCharacterSheetAction);
    // The colour-set window of a comic or of a character: one per document window.
    DocumentDialogs::install(kEditCharacterColorsAction, [](ZDLDocument& document, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        if (auto* comic = dynamic_cast<ComicDocument*>(&document)) {
            ComicColorsWindowController* colors = ComicColorsWindowController::showFor(comic, host);
            // The colours of the character the comic view has selected, when it has one.
            auto* view = host ? host->window()->findChild<ComicView*>() : nullptr;
            const Object* selected = view ? view->selectedCharacter() : nullptr;
            if (colors && selected && comic->model()) {
                for (const auto& character : comic->model()->characters()) {
                    if (character.get() == selected)
                        colors->showColorsFor(character);
                }
            }
        } else if (auto* character = dynamic_cast<CharacterDocument*>(&document))
            ColorsListWindowController::showFor(character, host);
    });
    installDocumentSheet<ComicDocument, ResizeComicController>(kResizeComicAction);
    installDocumentSheet<ComicDocument, SplitPanelDialogController>(kSplitPanelAction);
    installDocumentSheet<ComicDocument, DeleteRowController>(kDeleteRowAction);
    installDocumentSheet<ComicDocument, GutterSizeController>(kGutterSizeAction);
    installDocumentSheet<ComicDocument, NewPageController>(kNewPageAction);
    installDocumentSheet<ComicDocument, InsertRowController>(kInsertRowAction);
    installDocumentSheet<ComicDocument, PageMarginsController>(kSetPageMarginsAction);
    installDocumentSheet<ComicDocument, PanelPropertiesDialogController>(kPanelPropertiesAction);
    installDocumentSheet<CharacterDocument, AdjustBlurController>(kGlobalBlurAdjustmentAction);
    installDocumentSheet<CharacterDocument, TraceImageSettingsDialogController>(kTracingImageSettingsAction);
    // Comics and characters each have their own properties.
    DocumentDialogs::install(kPropertiesDialogAction, [](ZDLDocument& document, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        if (auto* comic = dynamic_cast<ComicDocument*>(&document))
            show<ComicPropertiesDialogController>(comic, host);
        else if (auto* character = dynamic_cast<CharacterDocument*>(&document))
            show<CharacterPropertiesDialogController>(character, host);
    });
    DocumentDialogs::install(kScaleAction, [](ZDLDocument&, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        if (auto* view = sendingView<ZDLEditingView>(host))
            show<ScaleDialogController>(view, host);
    });
    DocumentDialogs::install(kCreateNewPartAction, [](ZDLDocument& document, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        auto* view = sendingView<ZDLEditingView>(host);
        if (dynamic_cast<ComicDocument*>(&document) && view)
            show<NewPartController>(view, host);
    });
    // The image editor's Resample button: the sheet offers sizes up to the picture's own.
    DocumentDialogs::install(ImageEditingView::kResampleAction, [](ZDLDocument& document, QObject* window) {
        auto* editor = dynamic_cast<ImageEditingView*>(document.currentEditor());
        if (!editor || !editor->editImage() || !editor->editImage()->image())
            return;
        const QSize pixels = editor->editImage()->image()->pixelSize().toSize();
        QPointer<ImageEditingView> target(editor);
        show<ResampleDialogController>(qobject_cast<QWidget*>(window), pixels, [target](float scale) {
            if (target)
                target->resampleImageByScale(scale);
        });
    });
    // The selected balloons of the view that sent the command, groups opened up; nothing unless the
    // selection is balloons only, all using one colour set.
    DocumentDialogs::install(kEditBalloonPropertiesAction, [](ZDLDocument& document, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        auto* view = sendingView<BalloonEditingView>(host);
        if (!view)
            return;
        const ElementList flattened = ArrayUtils::flattenComicElementsArray(view->selection());
        QList<std::shared_ptr<Balloon>> balloons;
        for (const ObjectPtr& object : flattened) {
            auto balloon = std::dynamic_pointer_cast<Balloon>(object);
            if (!balloon)
                return;
            balloons.append(balloon);
        }
        if (balloons.isEmpty() || !BalloonEditingView::modelForBalloons(flattened))
            return;
        show<BalloonPropertiesController>(balloons, balloons.first()->colorsModel(), &document, host);
    });
    // The styles of the character being edited: the edited part's in a part editor, else the
    // character document's own.
    DocumentDialogs::install(kEditStylesAction, [](ZDLDocument& document, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        std::shared_ptr<CharacterModel> model;
        if (auto* view = elementsView(document, host))
            model = view->editorModel();
        if (!model) {
            if (auto* character = dynamic_cast<CharacterDocument*>(&document))
                model = character->model();
        }
        if (model)
            show<EditStylesController>(model, &document, host);
    });
    DocumentDialogs::install(kSaveAsStyleAction, [](ZDLDocument& document, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        auto* view = elementsView(document, host);
        const std::shared_ptr<CharacterModel> model = view ? view->editorModel() : nullptr;
        if (NamedShapeStylePtr style = model ? view->newStyleFromSelection() : nullptr)
            show<NewStyleController>(style, &document, model, host);
    });
    DocumentDialogs::install(kSplitToSeparatePartAction, [](ZDLDocument&, QObject* window) {
        auto* host = qobject_cast<QWidget*>(window);
        if (auto* view = sendingView<PartElementsView>(host))
            show<SplitPartDialogController>(view, host);
    });
}

} // namespace Sheets

} // namespace zandrel
