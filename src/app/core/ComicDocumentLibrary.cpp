// The comic document's side of the catalog and library panel: parts files opened into the comic's
// character library, and the open state of the pane, which the comic file keeps.
#include "app/core/ComicDocument.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicModel.h"

namespace zandrel {

std::shared_ptr<CharacterLibraryItem> ComicDocument::openAndShowCharacterFile(const QString& path)
{
    if (!m_model || path.isEmpty())
        return nullptr;
    const auto item = m_model->getCharacterLibraryFromFile(path, true);
    if (item && m_catalogController)
        m_catalogController->showCharacterLibraryItem(item);
    return item;
}

bool ComicDocument::isCatalogViewOpen() const
{
    return m_model && m_model->isCatalogViewOpen();
}

void ComicDocument::setIsCatalogViewOpen(bool open)
{
    if (!m_model || m_model->isCatalogViewOpen() == open)
        return;
    m_model->setIsCatalogViewOpen(open);
    if (m_catalogController)
        m_catalogController->catalogViewOpenChanged(open);
}

} // namespace zandrel
