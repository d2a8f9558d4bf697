#pragma once

#include "app/core/ZDLAppController.h"
#include "platform/Exception.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel::fuzz {

[[noreturn]] inline void finding(const char* target, const char* what)
{
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

// What a document reader may answer any bytes with: corrupt data, more than the program can lay
// out, a file of a newer program, or a lossy read the user declined.
inline bool expectedRefusal(const Exception& exception)
{
    return exception.name() == kInvalidArchiveException || exception.name() == kBeyondLimitsException
        || exception.name() == kFileTooNewException || exception.name() == kUserCancelledException;
}

// Reads the bytes as a document opens a file, going on with lossy reads so that the rest of such a
// file is explored too: the model, or null when the reader refuses the bytes as it may. Any other
// exception, or no model and no exception, is a finding.
template <class Read>
auto opened(const uint8_t* data, size_t size, Read&& read, const char* target) -> decltype(read(QByteArray()))
{
    static const bool answering = [] {
        appController()->setModalAlertHandler([](const ModalAlert&) { return ModalAlert::kSecondButton; });
        return true;
    }();
    (void)answering;
    try {
        auto model = read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        if (!model)
            finding(target, "no model and no exception");
        return model;
    } catch (const Exception& exception) {
        if (!expectedRefusal(exception))
            finding(target, qPrintable(QStringLiteral("unexpected exception %1").arg(exception.name())));
    }
    return nullptr;
}

// Saves what a document opened, as its save does: the file written must read back, and writing
// what was read back must give the same bytes; a refusal to write what was read is a finding too.
// write(model) gives the file's bytes, read(bytes) the model (with retire()) or raises.
template <class Model, class Write, class Read>
void writesBack(const Model& model, Write&& write, Read&& read, const char* target)
{
    try {
        const QByteArray written = write(model);
        const auto again = read(written);
        if (write(*again) != written)
            finding(target, "a written file does not write back to the same bytes");
        again->retire();
    } catch (const Exception& exception) {
        finding(target,
            qPrintable(QStringLiteral("what was read does not write, or its file does not read: %1 (%2)")
                           .arg(exception.name(), exception.reason())));
    }
}

} // namespace zandrel::fuzz
