#include "platform/ArchivedURL.h"

#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

namespace {

// Archive keys of the standard layout.
const QString kBaseArchiveKey = QStringLiteral("NS.base");
const QString kRelativeArchiveKey = QStringLiteral("NS.relative");

} // namespace

std::shared_ptr<ArchivedURL> ArchivedURL::fromLocalFile(const QString& path)
{
    return std::make_shared<ArchivedURL>(path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
}

QString ArchivedURL::localFile() const
{
    return m_url.isLocalFile() ? m_url.toLocalFile() : QString();
}

void ArchivedURL::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(Value(), kBaseArchiveKey);
    coder.encodeObject(Value(m_url.toString(QUrl::FullyEncoded)), kRelativeArchiveKey);
}

ObjectPtr ArchivedURL::initWithCoder(KeyedUnarchiver& coder)
{
    const Value text = coder.decodeObjectOfClasses({ PlatformClass::kString }, kRelativeArchiveKey);
    m_url = QUrl(text.toString(), QUrl::StrictMode);
    return shared_from_this();
}

void registerArchivedURLClass(ClassRegistry& registry)
{
    registry.registerClass<ArchivedURL>(ArchivedURL::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
