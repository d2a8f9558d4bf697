// Feeds arbitrary bytes to the parts-file reader. A file that reads is drawn, thumbnailed and
// hit-tested as an opened document would be; it must write and read back, and a second write must
// give the bytes of the first. Any exception but the archive layer's and the two version refusals
// is a finding, and so is a file whose reading is refused under its own budget but accepted once
// written (that cannot happen) or one that is written but not read back.
//
// Run with inputs of up to a megabyte, as hand-made attacks are: -max_len=1048576.
#include "OpenedCharacter.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    if (const CharacterModelPtr model = fuzz::opened(data, size, &readPartsFile, "fuzz_partsfile")) {
        fuzz::useAsOpenedDocument(*model, "fuzz_partsfile");
        model->retire();
    }
    return 0;
}
