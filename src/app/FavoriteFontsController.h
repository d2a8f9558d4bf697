#pragma once

#include <QAbstractListModel>
#include <QFont>
#include <QStringList>
#include <optional>
#include <vector>

namespace zandrel {

// One family of the fonts pane: its name, the sample it is shown in, and whether it is a favourite.
// The favourite flag is not kept here: the application controller holds it, and setting it writes
// the "favoriteFonts" and "unfavoriteFonts" defaults and tells the font menus.
class FontSelection {
public:
    explicit FontSelection(const QString& familyName);

    const QString& fontFamilyName() const { return m_familyName; }
    // The family's sample at 13 points, none for a family without members. A face is loaded to make
    // it, so it is made on first use.
    const std::optional<QFont>& font() const;
    bool favorite() const;
    void setFavorite(bool favorite);

private:
    QString m_familyName;
    mutable std::optional<std::optional<QFont>> m_font;
};

// The fonts pane's model: one FontSelection per installed font family, in the font database's
// order, shown in its sample and checked when the family is a favourite. Installing or removing
// fonts rebuilds the list.
class FavoriteFontsController : public QAbstractListModel {
public:
    explicit FavoriteFontsController(QObject* parent = nullptr);

    const std::vector<FontSelection>& fontSelections() const { return m_fontSelections; }
    // Views of the model see the new list.
    void setFontSelections(std::vector<FontSelection> selections);
    QStringList families() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void setUpFontSelections();

    std::vector<FontSelection> m_fontSelections;
};

} // namespace zandrel
