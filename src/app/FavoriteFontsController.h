#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace zandrel {

// The fonts pane's model: one row per installed font family, checked when the family is a favourite.
// Checking or unchecking a row goes through the application controller, which writes the
// "favoriteFonts" and "unfavoriteFonts" defaults and tells the font menus.
class FavoriteFontsController : public QAbstractListModel {
public:
    explicit FavoriteFontsController(QObject* parent = nullptr);

    // The families, sorted as the font database lists them.
    const QStringList& families() const { return m_families; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QStringList m_families;
};

} // namespace zandrel
