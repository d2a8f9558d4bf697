// Feeds arbitrary bytes to the parts-file reader. A file that reads is drawn, thumbnailed and
// hit-tested as an opened document would be; it must write and read back, and a second write must
// give the bytes of the first. Any exception but the archive layer's and the two version refusals
// is a finding, and so is a file whose reading is refused under its own budget but accepted once
// written (that cannot happen) or one that is written but not read back.
//
// Run with inputs of up to a megabyte, as hand-made attacks are: -max_len=1048576.
#include "OpenedCharacter.h"
#include "app/core/ZDLAppController.h"

#include <cstdint>

namespace zandrel {
namespace {

bool expected(const Exception& exception)
{
    return exception.name() == kInvalidArchiveException || exception.name() == kFileTooNewException
        || exception.name() == kUserCancelledException;
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    // Go on with lossy reads, so that the rest of such a file is explored too.
    static const bool answering = [] {
        appController()->setModalAlertHandler([](const ModalAlert&) { return ModalAlert::kSecondButton; });
        return true;
    }();
    (void)answering;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CharacterModelPtr model;
    try {
        model = readPartsFile(bytes);
    } catch (const Exception& exception) {
        if (!expected(exception))
            fuzz::finding("fuzz_partsfile",
                qPrintable(QStringLiteral("unexpected exception %1").arg(exception.name())));
        return 0;
    }
    if (!model)
        fuzz::finding("fuzz_partsfile", "no model and no exception");
    fuzz::useAsOpenedDocument(*model, "fuzz_partsfile");
    model->retire();
    return 0;
}
