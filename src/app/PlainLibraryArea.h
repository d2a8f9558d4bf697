#pragma once

#include "app/CatalogAndLibraryController.h"

#include <QWidget>

namespace zandrel {

// The library side the panel has when no other is installed: the whole character of the parts file
// on show, drawn to fit the area.
class PlainLibraryArea : public QWidget, public LibraryAreaView {
    Q_OBJECT

public:
    explicit PlainLibraryArea(QWidget* parent = nullptr);

    QWidget* libraryWidget() override { return this; }
    std::shared_ptr<CharacterLibraryItem> currentCharacter() const override { return m_item; }
    void setCurrentCharacter(const std::shared_ptr<CharacterLibraryItem>& item) override;
    void viewPartType(int type) override;
    void documentClosing() override { setCurrentCharacter(nullptr); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<CharacterLibraryItem> m_item;
};

} // namespace zandrel
