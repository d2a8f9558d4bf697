#pragma once

#include <QString>
#include <QStringList>

class QObject;

namespace zandrel {

// A question put to the user in a modal alert. Headless code builds it; whoever installs the
// application controller decides how it is shown (the GUI shows a message box, tests answer it).
struct ModalAlert {
    // What the alert is about, for its icon: a failure, or a question whose answer can lose work,
    // warns; an offer the user may simply take or leave asks; the report of something done informs.
    enum class Style { Warning, Informational, Question };

    QString message;
    QString informativeText;
    // In the order they are offered; the first is the default button.
    QStringList buttons;
    Style style = Style::Warning;
    // With a text, the alert offers a check box (a "don't ask again") and, when the alert ends,
    // writes its state where suppressed points.
    QString suppressionText;
    bool* suppressed = nullptr;
    // The window the question is about, which it stands over; none: the active window.
    QObject* window = nullptr;

    // The explanation as it is shown: a sentence, whatever the reason it was made of began with
    // (reasons are written to follow a colon in the log, "the archive is damaged").
    QString shownInformativeText() const
    {
        if (informativeText.isEmpty() || !informativeText.front().isLower())
            return informativeText;
        return informativeText.front().toUpper() + informativeText.mid(1);
    }

    // The platform's return codes: first button, second, third.
    static constexpr int kFirstButton = 1000;
    static constexpr int kSecondButton = 1001;
    static constexpr int kThirdButton = 1002;
};

} // namespace zandrel
