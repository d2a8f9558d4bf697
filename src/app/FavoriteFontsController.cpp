#include "app/FavoriteFontsController.h"

#include "app/core/ZDLAppController.h"
#include "panels/TextFormatting.h"

#include <QFontDatabase>
#include <QGuiApplication>

namespace zandrel {

FavoriteFontsController::FavoriteFontsController(QObject* parent)
    : QAbstractListModel(parent)
{
    setUpFontSelections();
    connect(
        qGuiApp, &QGuiApplication::fontDatabaseChanged, this, &FavoriteFontsController::setUpFontSelections);
}

void FavoriteFontsController::setUpFontSelections()
{
    beginResetModel();
    m_families = FontRegistry::installedFamilies();
    m_samples.clear();
    endResetModel();
}

int FavoriteFontsController::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_families.size());
}

QVariant FavoriteFontsController::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_families.size())
        return {};
    const QString& family = m_families.at(index.row());
    if (role == Qt::DisplayRole)
        return family;
    if (role == Qt::FontRole) {
        auto sample = m_samples.constFind(family);
        if (sample == m_samples.cend()) {
            const std::optional<QFont> font = TextFormatting::sampleFont(family);
            sample = m_samples.insert(family, font ? QVariant(*font) : QVariant());
        }
        return sample.value();
    }
    if (role == Qt::CheckStateRole)
        return appController()->isAFavoriteFontFamily(family) ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool FavoriteFontsController::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.row() >= m_families.size() || role != Qt::CheckStateRole)
        return false;
    appController()->setFontFamily(m_families.at(index.row()), value.toInt() == Qt::Checked);
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
