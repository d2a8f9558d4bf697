#pragma once

#include "platform/Object.h"

#include <memory>

namespace zandrel {

class ClassRegistry;

// The view settings a document keeps with its data, so that a file opens the way it was left: the
// background style of the editing views and the zoom of the main and part-editing views. The root
// models own one and archive it with themselves; the views that change a value apply it themselves,
// so setting notifies no one.
class DocumentSettings : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kBackgroundStyleKey = QStringLiteral("backgroundStyle");
    static inline const QString kMainViewScaleKey = QStringLiteral("mainViewScale");
    static inline const QString kPartEditingViewScaleKey = QStringLiteral("partEditingViewScale");

    static constexpr int kDefaultBackgroundStyle = 0;
    static constexpr float kDefaultMainViewScale = 1.0f;
    static constexpr float kDefaultPartEditingViewScale = 4.0f;
    // Zooms read from a file are kept inside this range, so that a damaged or hand-edited file
    // cannot open a view that is a million pixels wide or collapsed to nothing.
    static constexpr float kMinimumViewScale = 0.01f;
    static constexpr float kMaximumViewScale = 100.0f;

    DocumentSettings() = default;
    DocumentSettings(const DocumentSettings& other) = default;
    ~DocumentSettings() override = default;

    std::shared_ptr<DocumentSettings> copy() const { return std::make_shared<DocumentSettings>(*this); }

    int backgroundStyle() const { return m_backgroundStyle; }
    void setBackgroundStyle(int style) { m_backgroundStyle = style; }
    float mainViewScale() const { return m_mainViewScale; }
    void setMainViewScale(float scale) { m_mainViewScale = scale; }
    float partEditingViewScale() const { return m_partEditingViewScale; }
    void setPartEditingViewScale(float scale) { m_partEditingViewScale = scale; }

    // "backStyle" (integer), "mainScale" and "partEdScale" (float). A file without the zooms opens
    // at the defaults; a zoom that is not a positive finite number reads as the default and one
    // outside the range above is brought back to its nearest end.
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("DocumentSettings");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // The zoom to use for a value read from a file.
    static float sanitizedViewScale(float scale, float fallback);

private:
    int m_backgroundStyle = kDefaultBackgroundStyle;
    float m_mainViewScale = kDefaultMainViewScale;
    float m_partEditingViewScale = kDefaultPartEditingViewScale;
};

using DocumentSettingsPtr = std::shared_ptr<DocumentSettings>;

// Registers "DocumentSettings" for decoding.
void registerDocumentSettingsClasses(ClassRegistry& registry);

} // namespace zandrel
