// Feeds arbitrary bytes to the XML character import. A character that imports is then validated,
// measured, drawn, thumbnailed, hit-tested and saved as a parts file that must read back, as a
// document does with an imported character. Any exception is a finding.
//
// Run with inputs of up to a megabyte, as hand-made attacks are: -max_len=1048576.
#include "OpenedCharacter.h"
#include "charmodel/CharXMLParserController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/CharacterModelClasses.h"
#include "platform/ClassRegistry.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    if (const CharacterModelPtr model = importCharacterXML(bytes, &error)) {
        model->validateData();
        (void)model->getBounds();
        (void)model->getGeometryBounds();
        fuzz::useAsOpenedDocument(*model, "fuzz_charxml");
        model->retire();
    }
    return 0;
}
