#pragma once

#include <QString>
#include <functional>

class QObject;

namespace zandrel {

class ZDLDocument;

// The sheets and windows of the dialogs, inspectors and colour controls that documents open (the
// colour-set window, the properties sheet, the tracing-image sheet...). Those subsystems install an
// opener under the action that shows each; a command whose opener is not installed is not offered.
class DocumentDialogs {
public:
    using Opener = std::function<void(ZDLDocument& document, QObject* window)>;

    // An empty opener removes the action's.
    static void install(const QString& action, Opener opener);
    static bool isInstalled(const QString& action);
    // False when nothing is installed for the action.
    static bool open(const QString& action, ZDLDocument& document, QObject* window);
};

} // namespace zandrel
