#include "platform/Localization.h"

namespace zandrel {

namespace {

Translator& currentTranslator()
{
    static Translator translator;
    return translator;
}

} // namespace

QString localized(const QString& english)
{
    const Translator& translator = currentTranslator();
    if (!translator)
        return english;
    QString text = translator(english);
    return text.isEmpty() ? english : text;
}

Translator setTranslator(Translator translator)
{
    Translator previous = std::move(currentTranslator());
    currentTranslator() = std::move(translator);
    return previous;
}

} // namespace zandrel
