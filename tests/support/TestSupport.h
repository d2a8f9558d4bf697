#pragma once

#include "platform/RgbColor.h"

#include <QByteArray>
#include <QString>
#include <ostream>

namespace zandrel::test {

// Root of the source tree, for test data kept beside the tests.
QString sourcePath(const QString& relative);

// The python3 interpreter, or an empty string where the machine has none.
QString python3();

// Runs python3 with the script on standard input and the data in a temporary file whose path is
// passed as the first argument. Returns the exit code; output collects stdout and stderr.
int runPython(const QString& script, const QByteArray& data, QString* output);

} // namespace zandrel::test

namespace zandrel {

// Test failures show colours as their components.
inline void PrintTo(const RgbColor& color, std::ostream* out)
{
    *out << color.description().toStdString();
}

} // namespace zandrel
