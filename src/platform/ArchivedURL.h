#pragma once

#include "platform/Object.h"

#include <QString>
#include <QUrl>

namespace zandrel {

class ClassRegistry;

// A URL as the standard keyed-archive layout writes one: "NS.base" (the URL it is relative to, here
// always none) and "NS.relative" (the URL's text). Documents keep the paths of files they refer to
// this way, so that standard readers see URLs.
class ArchivedURL : public Object {
public:
    static inline const QString kClassName = QStringLiteral("NSURL");

    ArchivedURL() = default;
    explicit ArchivedURL(const QUrl& url)
        : m_url(url)
    {
    }
    // A local file's URL; an empty path makes an empty URL.
    static std::shared_ptr<ArchivedURL> fromLocalFile(const QString& path);

    const QUrl& url() const { return m_url; }
    // The local path of a file URL; empty for anything else.
    QString localFile() const;

    QString className() const override { return kClassName; }
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // A base URL is not followed: a relative URL reads as its own text.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    QUrl m_url;
};

void registerArchivedURLClass(ClassRegistry& registry);

} // namespace zandrel
