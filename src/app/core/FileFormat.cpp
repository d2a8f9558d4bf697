#include "app/core/FileFormat.h"

#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"

#include <QFileInfo>

namespace zandrel {

QByteArray FileFormat::write(const Object&, DocumentError* error) const
{
    if (error)
        *error = DocumentError::fileError(DocumentError::kFileWriteUnknownCode,
            localized("Files of this kind can be opened but not saved."));
    return {};
}

FileFormat::Encoder FileFormat::prepareWrite(const Object& model, DocumentError* error) const
{
    QByteArray bytes = write(model, error);
    if (bytes.isEmpty())
        return {};
    return [bytes](DocumentError*) { return bytes; };
}

bool FileFormat::canBeginFile(QByteArrayView) const
{
    return true;
}

bool FileFormat::handlesExtension(const QString& extension) const
{
    return extensions().contains(extension.toLower());
}

void FileFormat::reportException(const std::exception& exception, DocumentError* error)
{
    if (error)
        *error = ZDLAppController::getErrorForException(exception);
}

void FileFormat::reportUnwritable(DocumentError* error)
{
    if (error)
        *error = DocumentError::fileError(DocumentError::kFileWriteUnknownCode,
            localized("The document is too large or too deeply nested to be saved."));
}

FileFormatRegistry& FileFormatRegistry::shared()
{
    static FileFormatRegistry registry;
    return registry;
}

void FileFormatRegistry::registerFormat(const FileFormatPtr& format)
{
    if (!format)
        return;
    for (qsizetype i = m_formats.size() - 1; i >= 0; --i) {
        const QStringList& theirs = m_formats.at(i)->extensions();
        for (const QString& extension : format->extensions()) {
            if (theirs.contains(extension)) {
                m_formats.removeAt(i);
                break;
            }
        }
    }
    m_formats.append(format);
}

FileFormatPtr FileFormatRegistry::formatForExtension(const QString& extension) const
{
    for (const FileFormatPtr& format : m_formats) {
        if (format->handlesExtension(extension))
            return format;
    }
    return nullptr;
}

FileFormatPtr FileFormatRegistry::formatForFile(const QString& path) const
{
    return formatForExtension(QFileInfo(path).suffix());
}

FileFormatPtr FileFormatRegistry::formatForType(const QString& typeName) const
{
    for (const FileFormatPtr& format : m_formats) {
        if (format->typeName() == typeName && format->canWrite())
            return format;
    }
    return nullptr;
}

} // namespace zandrel
