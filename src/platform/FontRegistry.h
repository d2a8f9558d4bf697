#pragma once

#include "platform/TextAttributes.h"

#include <QFont>
#include <QHash>
#include <QSet>
#include <QString>
#include <mutex>
#include <optional>

namespace zandrel {

// The fonts text is set in.
//
// Shipped fonts: the lettering fonts (Comic Neue, under the SIL Open Font License) are compiled
// into the program as the Qt resource folder ":/Fonts", made from resources/Fonts, and are
// registered with Qt's font database at start-up (registerShippedFonts(), which text layout also
// calls before it looks a font up), so the program finds them however it is installed.
//
// Names: a face goes by the name files give fonts, its PostScript-style name: the family without
// spaces, "-", the face without spaces ("ComicNeue-BoldItalic"). A regular face also answers to
// the family without spaces ("DejaVuSans"), and a family name ("Comic Neue") means its regular
// face. Names are matched without regard to case.
//
// Fallback: a name that matches no installed or shipped face is laid out in the lettering family
// with the bold and italic the name suggests, or in the system's default font should the
// lettering family be missing too; the first time a missing name is met the log says so
// ("Font "X" is not available; using "Y" instead."; for the first few names only). The text keeps the name it
// was given, so a file opened where a font is missing saves it back unchanged.
//
// Thread-safe: drawing on background threads lays text out too.
class FontRegistry {
public:
    struct Face {
        QString family;
        QString style;
        bool operator==(const Face&) const = default;
    };

    static const QString kLetteringFamily;
    // The default lettering font of new balloons.
    static const QString kLetteringFontName;
    // Text without a font attribute, and fonts of size 0 or less, are set at this size.
    static constexpr double kDefaultFontSize = 12.0;
    // Sizes a file may hold are laid out within these.
    static constexpr double kMinFontSize = 1.0;
    static constexpr double kMaxFontSize = 1000.0;

    static FontRegistry& shared();

    // Registers the fonts of ":/Fonts" once; later calls do nothing. Returns false when one of
    // them could not be registered (the log says which).
    bool registerShippedFonts();

    // True when the name matches an installed or shipped face.
    bool hasFont(const QString& name);
    // The face a name matches, without fallback.
    std::optional<Face> faceNamed(const QString& name);
    // The name files give a face: "Family-Face" without spaces.
    static QString fontName(const Face& face);
    // The installed families in the font database's order, each once: a family that several
    // foundries install is one family, named without its foundry.
    static QStringList installedFamilies();

    // The font text in the given font is laid out in: the named face or its fallback, at the
    // size (points) within the limits above; the default font for none.
    QFont qfont(const std::optional<TextFont>& font);

private:
    FontRegistry() = default;

    void indexLocked();
    std::optional<Face> faceLocked(const QString& name);
    QFont fallbackLocked(const QString& name);

    std::recursive_mutex m_mutex;
    bool m_registered = false;
    bool m_indexed = false;
    QHash<QString, Face> m_faces; // by lower-case name
    QHash<QString, QFont> m_fonts; // resolved fonts by name, without size
    int m_reportedMissing = 0;
};

} // namespace zandrel
