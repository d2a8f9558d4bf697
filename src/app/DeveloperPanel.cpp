#include "app/DeveloperPanel.h"

#include "app/AppController.h"
#include "app/DocumentController.h"
#include "app/core/ZDLDocument.h"
#include "platform/Localization.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QSettings>
#include <QVBoxLayout>

namespace zandrel {

DeveloperPanel::DeveloperPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("developerPanel"));
    setWindowTitle(localized("Developer"));
    auto* layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_text);
    resize(560, 360);
}

QString DeveloperPanel::text() const
{
    return m_text->toPlainText();
}

void DeveloperPanel::refresh()
{
    QStringList lines;
    lines << QStringLiteral("Zandrel %1, Qt %2 on the %3 platform")
                 .arg(QCoreApplication::applicationVersion(), QString::fromLatin1(qVersion()),
                     QGuiApplication::platformName());
    lines << QStringLiteral("Program: %1").arg(QCoreApplication::applicationFilePath());
    lines << QStringLiteral("Settings: %1").arg(QSettings().fileName());
    AppController* controller = AppController::shared();
    if (controller) {
        lines << QStringLiteral("Support folder: %1").arg(controller->getMyAppSupportFolderURL());
        lines << QStringLiteral("Temporary folder: %1").arg(controller->temporaryFolder());
        for (const auto& [name, catalog] : { std::pair { "Built-in", 0 }, { "Purchased", 1 }, { "User", 2 } })
            lines << QStringLiteral("%1 catalog: %2")
                         .arg(QLatin1String(name), controller->getCatalogFolderURL(catalog));
        lines << QString();
        for (ZDLDocument* document : controller->documentController().documents()) {
            lines << QStringLiteral("%1%2: %3; undo \"%4\"")
                         .arg(document->displayName(),
                             document->isDocumentEdited() ? QStringLiteral(" (edited)") : QString(),
                             document->filePath().isEmpty() ? QStringLiteral("untitled")
                                                            : document->filePath(),
                             document->undoManager()->undoActionName());
        }
    }
    m_text->setPlainText(lines.join(QLatin1Char('\n')));
}

void DeveloperPanel::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

} // namespace zandrel
