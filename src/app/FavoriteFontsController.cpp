#include "app/FavoriteFontsController.h"

#include "app/core/ZDLAppController.h"
#include "panels/TextFormatting.h"
#include "platform/FontRegistry.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace zandrel {

FontSelection::FontSelection(const QString& familyName)
    : m_familyName(familyName)
{
}

const std::optional<QFont>& FontSelection::font() const
{
    if (!m_font)
        m_font = TextFormatting::sampleFont(m_familyName);
    return *m_font;
}

bool FontSelection::favorite() const
{
    return appController()->isAFavoriteFontFamily(m_familyName);
}

void FontSelection::setFavorite(bool favorite)
{
    appController()->setFontFamily(m_familyName, favorite);
}

FavoriteFontsController::FavoriteFontsController(QObject* parent)
    : QAbstractListModel(parent)
{
    setUpFontSelections();
    connect(
        qGuiApp, &QGuiApplication::fontDatabaseChanged, this, &FavoriteFontsController::setUpFontSelections);
}

void FavoriteFontsController::setUpFontSelections()
{
    const QStringList families = FontRegistry::installedFamilies();
    std::vector<FontSelection> selections;
    selections.reserve(std::size_t(families.size()));
    for (const QString& family : families)
        selections.emplace_back(family);
    setFontSelections(std::move(selections));
}

void FavoriteFontsController::setFontSelections(std::vector<FontSelection> selections)
{
    beginResetModel();
    m_fontSelections = std::move(selections);
    endResetModel();
}

QStringList FavoriteFontsController::families() const
{
    QStringList names;
    for (const FontSelection& selection : m_fontSelections)
        names.append(selection.fontFamilyName());
    return names;
}

int FavoriteFontsController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fontSelections.size());
}

QVariant FavoriteFontsController::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || std::size_t(index.row()) >= m_fontSelections.size())
        return {};
    const FontSelection& selection = m_fontSelections[std::size_t(index.row())];
    if (role == Qt::DisplayRole)
        return selection.fontFamilyName();
    if (role == Qt::FontRole)
        return selection.font() ? QVariant(*selection.font()) : QVariant();
    if (role == Qt::CheckStateRole)
        return selection.favorite() ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool FavoriteFontsController::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || std::size_t(index.row()) >= m_fontSelections.size() || role != Qt::CheckStateRole)
        return false;
    m_fontSelections[std::size_t(index.row())].setFavorite(value.toInt() == Qt::Checked);
    emit dataChanged(index, index, { Qt::CheckStateRole });
    return true;
}

Qt::ItemFlags FavoriteFontsController::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

} // namespace zandrel
