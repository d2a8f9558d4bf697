#pragma once

#include <QString>

namespace zandrel {

// The error a failed document read reports to the user. It mirrors the platform errors that the
// document machinery shows: a domain and a code, and for most errors a failure reason and a
// recovery suggestion. The "user cancelled" error carries no texts and is never shown.
struct DocumentError {
    QString domain;
    int code = 0;
    QString failureReason;
    QString recoverySuggestion;

    // The platform's general error domain and its "user cancelled" code.
    static inline const QString kCocoaDomain = QStringLiteral("NSCocoaErrorDomain");
    static constexpr int kUserCancelledCode = 3072;
    // The status-code domain and the code a file that cannot be read is reported with.
    static inline const QString kOSStatusDomain = QStringLiteral("NSOSStatusErrorDomain");
    static constexpr int kUnreadableFileCode = -4;

    // The platform's file error codes: a file that cannot be read, and writes refused for want of
    // permission, for want of space, or for another reason.
    static constexpr int kFileReadUnknownCode = 256;
    static constexpr int kFileReadNoSuchFileCode = 260;
    static constexpr int kFileReadTooLargeCode = 263;
    static constexpr int kFileWriteUnknownCode = 512;
    static constexpr int kFileWriteNoPermissionCode = 513;
    static constexpr int kFileWriteOutOfSpaceCode = 640;

    static DocumentError userCancelled() { return { kCocoaDomain, kUserCancelledCode, {}, {} }; }
    static DocumentError unreadableFile(const QString& failureReason, const QString& recoverySuggestion = {})
    {
        return { kOSStatusDomain, kUnreadableFileCode, failureReason, recoverySuggestion };
    }

    // A file system error of the platform's domain, with the system's own reason.
    static DocumentError fileError(int code, const QString& failureReason)
    {
        return { kCocoaDomain, code, failureReason, {} };
    }

    // Such an error is swallowed: the user chose to stop, there is nothing to tell.
    bool isUserCancelled() const { return domain == kCocoaDomain && code == kUserCancelledCode; }
    bool hasUserInfo() const { return !failureReason.isEmpty() || !recoverySuggestion.isEmpty(); }

    bool operator==(const DocumentError&) const = default;
};

} // namespace zandrel
