#pragma once

#include "charmodel/UIUtils.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zandrel {

class CharacterModel;
class Part;
class PartElementParent;
class PartPath;
class ZDLColor;
class ZDLDocument;

// Builds a character from the XML character format ("char" files of an older drawing program),
// element by element as a stream reader reports them: the character, its palette colours, its
// tracing image, its parts and their nested paths. Unknown elements are ignored but their content
// is still read. Hostile files are bounded: external entities are never loaded, entity expansion
// stays limited by the reader, sizes, nesting and counts are capped and what the import makes
// beyond the text is charged to a DecodingBudget for the file (the import then fails); colours are
// named and found by name in time linear in the names' length.
class CharXMLParserController {
public:
    static constexpr qsizetype kMaxBytes = 32LL * 1024 * 1024;
    static constexpr qsizetype kMaxDepth = 256;
    static constexpr qsizetype kMaxColors = 1024;
    static constexpr qsizetype kMaxParts = 10000;
    static constexpr qsizetype kMaxPaths = 50000;
    static constexpr qsizetype kMaxPoints = 1000000;

    // Colours count with the distinct values that paths bring by hex text, since the import adds
    // those to the palette too; relinking is linear in the palette per path.

    // Makes the document that shows an imported character; the application installs one.
    using DocumentMaker = std::function<ZDLDocument*(const std::shared_ptr<CharacterModel>&)>;

    // The location of the file being imported; a relative tracing image path is taken relative to
    // its folder (the working directory when empty).
    explicit CharXMLParserController(const QString& importFilePath = QString());
    ~CharXMLParserController();
    CharXMLParserController(const CharXMLParserController&) = delete;
    CharXMLParserController& operator=(const CharXMLParserController&) = delete;

    void setDocumentMaker(DocumentMaker maker) { m_documentMaker = std::move(maker); }

    // Runs the reader to its end. False, with errorString set, for XML that is not well formed or
    // a file beyond the limits.
    bool parse(const QByteArray& data);
    QString errorString() const { return m_error; }

    // The stream events. An element is pushed on the stack, then acted on.
    void didStartElement(const QString& name, const QMap<QString, QString>& attributes);
    void didEndElement(const QString& name);

    const std::shared_ptr<CharacterModel>& model() const { return m_model; }
    // The document made for "CharacterDocument"; null before it or without a document maker.
    ZDLDocument* document() const { return m_document; }
    const QString& importFilePath() const { return m_importFilePath; }
    const QStringList& stack() const { return m_stack; }

private:
    // Runs the stream reader over the data, acting on each element; sets m_error on failure.
    void readElements(const QByteArray& data);
    void startCharacter(const QMap<QString, QString>& attributes);
    void startTracingFile(const QMap<QString, QString>& attributes);
    void startColor(const QMap<QString, QString>& attributes);
    void startPart();
    void startCurve(const QMap<QString, QString>& attributes);
    // The palette colour of the name, else a colour of the hex text; null for neither.
    std::shared_ptr<ZDLColor> colorFromName(const QString& name);
    // Non-empty when the file goes beyond a limit; stops the reader.
    QString limitError(const QString& name) const;

    QString m_importFilePath;
    QStringList m_stack;
    std::shared_ptr<CharacterModel> m_model;
    ZDLDocument* m_document = nullptr;
    DocumentMaker m_documentMaker;
    // The tree (or m_detachedPaths) owns what these point to.
    Part* m_currentPart = nullptr;
    PartPath* m_currentPath = nullptr;
    PartElementParent* m_currentParent = nullptr;
    // Paths made outside any part belong to nothing; they are kept until the import ends so that
    // paths nested in them have a live parent.
    std::vector<std::shared_ptr<PartPath>> m_detachedPaths;
    // The palette's names and its colours by name, made when the first colour is read.
    std::optional<UniqueNames> m_colorNames;
    QHash<QString, std::shared_ptr<ZDLColor>> m_colorsByName;
    qsizetype m_colorCount = 0;
    QSet<QString> m_valueColors;
    qsizetype m_partCount = 0;
    qsizetype m_pathCount = 0;
    qsizetype m_pointCount = 0;
    QString m_error;
};

// Imports a character file's contents: the built character with its palette brought into the
// current form (updateColors), or null with the reason in *error.
std::shared_ptr<CharacterModel> importCharacterXML(
    const QByteArray& data, QString* error = nullptr, const QString& importFilePath = QString());

} // namespace zandrel
