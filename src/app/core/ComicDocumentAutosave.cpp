// The comic's autosave: only the pages that changed are recorded again.
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ZDLColor.h"
#include "graphics/ZDLImage.h"
#include "platform/ArchiveTape.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/Localization.h"

#include <typeinfo>

namespace zandrel {

namespace {

// Where an object of the comic lies, by its parent links: on a page; in no page nor comic (an
// element not placed, or taken out), where its changes change no file; or outside the pages (the
// comic itself, its cast and colours, anything without a parent link), where a change may reach any
// page.
struct Place {
    const ComicPage* page = nullptr;
    bool detached = false;
};

Place placeOf(const Object* object)
{
    // Parent links are followed a bounded number of steps: a broken chain must not hang anything.
    for (int step = 0; object && step < 4096; ++step) {
        if (const auto* page = dynamic_cast<const ComicPage*>(object))
            return { page, false };
        const Object* parent = nullptr;
        if (dynamic_cast<const ComicModel*>(object))
            return {};
        if (const auto* structure = dynamic_cast<const ComicStructureElement*>(object))
            parent = structure->parent();
        else if (const auto* layer = dynamic_cast<const PanelLayer*>(object))
            parent = layer->parent();
        else if (const auto* graphic = dynamic_cast<const GraphicElement*>(object))
            parent = dynamic_cast<const Object*>(graphic->parent());
        else
            return {};
        if (!parent)
            return { nullptr, true };
        object = parent;
    }
    return {};
}

} // namespace

void ComicDocument::modelChanged(const ElementList* objects)
{
    if (m_pageTapes.empty())
        return;
    if (!objects) {
        m_pageTapes.clear();
        return;
    }
    for (const ObjectPtr& object : *objects) {
        const Place place = placeOf(object.get());
        if (place.page) {
            m_pageTapes.erase(place.page);
        } else if (!place.detached) {
            m_pageTapes.clear();
            return;
        }
    }
}

FileFormat::Encoder ComicDocument::prepareBackgroundWrite(
    const FileFormat& format, const Object& model, DocumentError* error)
{
    if (!m_model || &model != m_model.get() || format.typeName() != kComicDocumentType)
        return ZDLDocument::prepareBackgroundWrite(format, model, error);
    if (m_pageTapesModel != &model) {
        m_pageTapes.clear();
        m_pageTapesModel = &model;
    }
    // The class chains written in the file come from the registry, as for a save.
    ClassRegistry::shared().registerOnce(&registerComicModelClasses);

    std::unordered_map<const Object*, std::shared_ptr<const ArchiveTape>> kept;
    ArchiveRecorder::Hooks hooks;
    hooks.reuse = [&](const Object& object) -> ArchiveTapePtr {
        if (typeid(object) != typeid(ComicPage))
            return nullptr;
        const auto found = m_pageTapes.find(&object);
        if (found == m_pageTapes.end())
            return nullptr;
        kept.insert(*found);
        return found->second;
    };
    hooks.ownTape = [](const Object& object) { return typeid(object) == typeid(ComicPage); };
    // What pages share by reference: the cast, their colours and pictures.
    hooks.shared = [](const Object& object) {
        const std::type_info& type = typeid(object);
        return type == typeid(CharacterModel) || type == typeid(ZDLColor) || type == typeid(ZDLImage);
    };
    ArchiveRecorder recorder(std::move(hooks));
    auto snapshot = std::make_shared<ArchiveSnapshot>();
    try {
        *snapshot = recorder.record(m_model);
    } catch (const std::exception&) {
        m_pageTapes.clear();
        return ZDLDocument::prepareBackgroundWrite(format, model, error);
    }
    // Pages no longer in the comic are forgotten.
    for (const auto& [page, tape] : recorder.ownTapes())
        kept.emplace(page, tape);
    m_pageTapes = std::move(kept);

    // The message a save gives for a model whose file would not read back, made here: the encoder
    // runs where the translations are not to be touched.
    const DocumentError unwritable = DocumentError::fileError(DocumentError::kFileWriteUnknownCode,
        localized("The document is too large or too deeply nested to be saved."));
    return [snapshot, unwritable](DocumentError* failure) -> QByteArray {
        try {
            return KeyedArchiver::archiveSnapshot(*snapshot).encodedData();
        } catch (const Exception& exception) {
            if (failure) {
                *failure = unwritable;
                if (exception.name() == kStaleArchiveSnapshotException)
                    failure->domain = kStaleSnapshotDomain;
            }
        } catch (const std::exception&) {
            if (failure)
                *failure = unwritable;
        }
        return {};
    };
}

} // namespace zandrel
