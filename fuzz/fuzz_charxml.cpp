// Feeds arbitrary bytes to the XML character import. A character that imports is then validated,
// measured and retired, the walks a document makes after opening one. Any exception is a finding.
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
        model->retire();
    }
    return 0;
}
