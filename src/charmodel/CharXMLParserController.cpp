#include "charmodel/CharXMLParserController.h"

#include "charmodel/CharXMLNames.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "graphics/Curve.h"
#include "graphics/ZDLColor.h"
#include "graphics/ZDLImage.h"
#include "platform/DecodingBudget.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <cmath>

namespace zandrel {

namespace {

// Numbers read leniently, as the paths' attributes are: unreadable or not finite is 0.
float lenientFloat(const QString& text)
{
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    return ok && std::isfinite(value) ? value : 0.0f;
}

// The words of a "curveData" text; every point takes three.
qsizetype tokenCount(const QString& curveData)
{
    qsizetype count = 0;
    bool inToken = false;
    for (const QChar c : curveData) {
        const bool separator = c.isSpace() || c == QLatin1Char('|');
        if (!separator && !inToken)
            ++count;
        inToken = !separator;
    }
    return count;
}

} // namespace

CharXMLParserController::CharXMLParserController(const QString& importFilePath)
    : m_importFilePath(importFilePath)
{
}

CharXMLParserController::~CharXMLParserController() = default;

bool CharXMLParserController::parse(const QByteArray& data)
{
    m_error.clear();
    if (data.size() > kMaxBytes) {
        m_error = QStringLiteral("The file is too large to import.");
        return false;
    }
    // What the import makes beyond the text, unique names above all.
    DecodingBudget budget(data.size());
    const DecodingBudget::Scope budgetScope(budget);
    try {
        readElements(data);
    } catch (const Exception& exception) {
        if (exception.name() != kInvalidArchiveException)
            throw;
        m_error = exception.reason();
    }
    // What was left open points into the tree or into the detached paths about to go.
    m_currentPart = nullptr;
    m_currentPath = nullptr;
    m_currentParent = nullptr;
    m_detachedPaths.clear();
    return m_error.isEmpty();
}

void CharXMLParserController::readElements(const QByteArray& data)
{
    QXmlStreamReader reader(data);
    // Names are matched as written, prefixes included, so namespaces are not interpreted.
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QString name = reader.qualifiedName().toString();
            if (const QString limit = limitError(name); !limit.isEmpty()) {
                reader.raiseError(limit);
                break;
            }
            QMap<QString, QString> attributes;
            for (const QXmlStreamAttribute& attribute : reader.attributes())
                attributes.insert(attribute.qualifiedName().toString(), attribute.value().toString());
            didStartElement(name, attributes);
            break;
        }
        case QXmlStreamReader::EndElement:
            didEndElement(reader.qualifiedName().toString());
            break;
        default:
            break;
        }
        // A limit reached inside an element's action stops the reader as well.
        if (!m_error.isEmpty() && !reader.hasError())
            reader.raiseError(m_error);
    }
    if (reader.hasError()) {
        m_error = QStringLiteral("Line %1, column %2: %3")
                      .arg(reader.lineNumber())
                      .arg(reader.columnNumber())
                      .arg(reader.errorString());
        return;
    }
    if (!m_model)
        m_error = QStringLiteral("The file holds no \"%1\" element.").arg(CharXML::kCharacterDocumentElement);
}

QString CharXMLParserController::limitError(const QString& name) const
{
    if (m_stack.size() >= kMaxDepth)
        return QStringLiteral("Elements are nested too deeply.");
    if (name == CharXML::kColorElement && m_colorCount + m_valueColors.size() >= kMaxColors)
        return QStringLiteral("Too many colors.");
    if (name == CharXML::kPartElement && m_partCount >= kMaxParts)
        return QStringLiteral("Too many parts.");
    if (name == CharXML::kCurveElement && m_pathCount >= kMaxPaths)
        return QStringLiteral("Too many curves.");
    return QString();
}

void CharXMLParserController::didStartElement(const QString& name, const QMap<QString, QString>& attributes)
{
    m_stack.append(name);
    if (name == CharXML::kCharacterDocumentElement)
        startCharacter(attributes);
    else if (name == CharXML::kTracingFileElement)
        startTracingFile(attributes);
    else if (name == CharXML::kColorElement)
        startColor(attributes);
    else if (name == CharXML::kPartElement)
        startPart();
    else if (name == CharXML::kCurveElement)
        startCurve(attributes);
}

void CharXMLParserController::didEndElement(const QString& name)
{
    if (!m_stack.isEmpty())
        m_stack.removeLast();
    if (name == CharXML::kPartElement) {
        m_currentPart = nullptr;
        m_currentParent = nullptr;
    } else if (name == CharXML::kCurveElement) {
        Parent* parent = m_currentPath ? m_currentPath->parent() : nullptr;
        m_currentParent = dynamic_cast<PartElementParent*>(parent);
        m_currentPath = dynamic_cast<PartPath*>(parent);
    }
}

void CharXMLParserController::startCharacter(const QMap<QString, QString>& attributes)
{
    // A second character would drop everything read so far while the open part and paths still
    // point into it: the first one is kept.
    if (m_model)
        return;
    m_model = CharacterModel::initWithXMLAttributes(attributes);
    if (m_documentMaker)
        m_document = m_documentMaker(m_model);
}

void CharXMLParserController::startTracingFile(const QMap<QString, QString>& attributes)
{
    if (!m_model)
        return;
    if (attributes.contains(CharXML::kScaleAttribute))
        m_model->setTracingImageScale(lenientFloat(attributes.value(CharXML::kScaleAttribute)));
    if (attributes.contains(CharXML::kAlphaAttribute))
        m_model->setTracingImageAlpha(lenientFloat(attributes.value(CharXML::kAlphaAttribute)));
    const QString path = attributes.value(CharXML::kPathAttribute);
    if (path.isEmpty())
        return;
    // A relative path belongs with the file that names it, wherever the application was started.
    QFileInfo file(path);
    if (file.isRelative() && !m_importFilePath.isEmpty())
        file.setFile(QFileInfo(m_importFilePath).absoluteDir(), path);
    // Only regular files: a device or a pipe could be read without end.
    if (!file.isFile())
        return;
    if (auto image = ZDLImage::initByReferencingURL(file.absoluteFilePath()))
        m_model->setTracingImage(image);
}

void CharXMLParserController::startColor(const QMap<QString, QString>& attributes)
{
    if (!m_model)
        return;
    // The hex reader does not validate: a longer text would give components beyond 1.
    if (!ZDLColor::validHexColor(attributes.value(CharXML::kColorAttribute)))
        return;
    ZDLColorPtr color = ZDLColor::initWithXMLAttributes(attributes);
    if (!m_colorNames) {
        QStringList names;
        for (const ZDLColorPtr& known : m_model->colors()) {
            names.append(known->name());
            // The first colour of a name is the one getColorNamed finds.
            if (!m_colorsByName.contains(known->name()))
                m_colorsByName.insert(known->name(), known);
        }
        m_colorNames.emplace(names);
    }
    // Paths find their colours by name, so each name must lead to one colour: the name
    // uniqueNameForColor would give, found without going through the palette for every colour.
    color->setName(m_colorNames->add(color->name()));
    m_colorsByName.insert(color->name(), color);
    m_model->addColor(color);
    ++m_colorCount;
}

ZDLColorPtr CharXMLParserController::colorFromName(const QString& name)
{
    // Names the palette had before the first colour was read are in the index too.
    if (!m_colorNames) {
        if (ZDLColorPtr named = m_model->getColorNamed(name))
            return named;
    } else if (ZDLColorPtr named = m_colorsByName.value(name)) {
        return named;
    }
    if (!ZDLColor::validHexColor(name))
        return nullptr;
    m_valueColors.insert(name.toUpper());
    if (m_colorCount + m_valueColors.size() > kMaxColors)
        m_error = QStringLiteral("Too many colors.");
    return ZDLColor::colorFromHexNamed(name, QString());
}

void CharXMLParserController::startPart()
{
    if (!m_model)
        return;
    auto part = std::make_shared<Part>();
    m_model->addPart(part);
    m_currentPart = part.get();
    m_currentParent = part.get();
    ++m_partCount;
}

void CharXMLParserController::startCurve(const QMap<QString, QString>& attributes)
{
    // Counted before the points are made: a point costs far more memory than its text.
    m_pointCount += tokenCount(attributes.value(CharXML::kCurveDataAttribute)) / 3;
    if (m_pointCount > kMaxPoints) {
        m_error = QStringLiteral("Too many curve points.");
        return;
    }
    auto path = PartPath::initWithXMLAttributes(
        attributes, [this](const QString& name) { return m_model ? colorFromName(name) : ZDLColorPtr(); });
    if (!m_error.isEmpty())
        return;
    ++m_pathCount;
    if (m_currentParent)
        m_currentParent->addPartElement(path);
    else
        m_detachedPaths.push_back(path);
    m_currentPath = path.get();
    m_currentParent = path.get();
}

std::shared_ptr<CharacterModel> importCharacterXML(
    const QByteArray& data, QString* error, const QString& importFilePath)
{
    CharXMLParserController controller(importFilePath);
    if (!controller.parse(data)) {
        if (error)
            *error = controller.errorString();
        return nullptr;
    }
    const std::shared_ptr<CharacterModel>& model = controller.model();
    model->updateColors();
    return model;
}

} // namespace zandrel
