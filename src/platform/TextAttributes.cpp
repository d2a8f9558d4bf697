#include "platform/TextAttributes.h"

namespace zandrel {

TextAlignment textAlignmentFromCode(qint64 code)
{
    return code >= 0 && code <= 4 ? TextAlignment(int(code)) : TextAlignment::Natural;
}

qint64 TextAttributes::underlineStyle() const
{
    return otherAttributes.value(kUnderlineStyleAttributeName).toInteger();
}

} // namespace zandrel
