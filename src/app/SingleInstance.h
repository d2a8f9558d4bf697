#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QLocalServer;

namespace zandrel {

// One running Zandrel per user and display: a second start on the same display hands its file and
// link arguments to the first over a local socket and ends; a start on another display (another
// X server, another Wayland session) runs on its own, where its windows can be seen. Only the same
// user can connect; what arrives is treated exactly like command-line arguments.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // What a message may hold at most, so a stray client cannot make the instance buffer without end.
    static constexpr qint64 kMaxMessageBytes = 1024 * 1024;

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Derived from the bundle identifier, the user and the display; ZANDREL_INSTANCE_NAME replaces
    // the first two (tests).
    static QString serverName();
    // The display the program shows its windows on, as one name: "wayland-1" for a Wayland
    // display, ":0" for an X display (screens of one display are one display), else the platform's
    // name ("offscreen").
    static QString displayName();
    // The same from the platform's name and the environment's display variables.
    static QString displayName(
        const QString& platformName, const QString& waylandDisplay, const QString& x11Display);

    // Sends the arguments to a running instance. True when one took them.
    static bool forwardToRunningInstance(const QStringList& arguments, int timeoutMs = 3000);

    // Becomes the running instance; arguments handed over arrive through the callback.
    bool listen(std::function<void(const QStringList&)> onArguments);

    // Relative paths are made absolute, since the running instance has another working directory;
    // "file://" links become paths; other links ("zdltp://...") stay as they are.
    static QStringList absoluteArguments(const QStringList& arguments);

private:
    QLocalServer* m_server = nullptr;
    std::function<void(const QStringList&)> m_onArguments;
};

} // namespace zandrel
