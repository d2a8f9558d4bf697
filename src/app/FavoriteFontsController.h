#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QStringList>

namespace zandrel {

// The fonts pane's model: one row per installed font family, shown in a sample of its own face and
// checked when the family is a favourite. Checking or unchecking a row goes through the application
// controller, which writes the "favoriteFonts" and "unfavoriteFonts" defaults and tells the font
// menus. Installing or removing fonts rebuilds the list.
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
    void setUpFontSelections();

    QStringList m_families;
    // The samples, made as rows are first shown: a face is loaded for each.
    mutable QHash<QString, QVariant> m_samples;
};

} // namespace zandrel
