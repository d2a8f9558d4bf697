#pragma once

#include <QString>
#include <functional>

namespace zandrel {

// User-visible English text goes through localized() so that a translation can be plugged in later;
// without a translator the English text is the answer.
using Translator = std::function<QString(const QString& english)>;

QString localized(const QString& english);
inline QString localized(const char* english)
{
    return localized(QString::fromUtf8(english));
}
// Installs a translator (an empty one removes it) and returns the previous one. A translator that
// answers an empty string leaves the English text.
Translator setTranslator(Translator translator);

} // namespace zandrel
