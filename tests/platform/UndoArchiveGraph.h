#pragma once

#include "platform/KeyedArchiver.h"
#include "platform/Object.h"
#include "platform/UndoManager.h"

#include <algorithm>
#include <random>
#include <vector>

// The seeded random graphs and edits of the undo property test, shared with the test that keeps
// their archives byte for byte.
namespace zandrel::test {

// A small archivable model: scalar and value properties plus an ordered list of children.
class Node : public Object {
public:
    ZDL_PROPERTIES

    QString className() const override { return QStringLiteral("TestNode"); }

    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(Value(m_name), QStringLiteral("name"));
        coder.encodeFloat(m_weight, QStringLiteral("weight"));
        coder.encodeInt(m_count, QStringLiteral("count"));
        coder.encodeBool(m_hidden, QStringLiteral("hidden"));
        coder.encodeRect(m_frame, QStringLiteral("frame"));
        coder.encodeObject(Value(m_color), QStringLiteral("color"));
        coder.encodeObject(detail::toValue(m_children), QStringLiteral("children"));
    }

    QString m_name;
    float m_weight = 1;
    int m_count = 0;
    bool m_hidden = false;
    QRectF m_frame;
    RgbColor m_color = RgbColor(0, 0, 0);
    std::vector<std::shared_ptr<Node>> m_children;
};

inline const PropertyTable& Node::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<Node>("name", &Node::m_name),
            property<Node>("weight", &Node::m_weight),
            property<Node>("count", &Node::m_count),
            property<Node>("hidden", &Node::m_hidden),
            property<Node>("frame", &Node::m_frame),
            property<Node>("color", &Node::m_color),
            property<Node>("children", &Node::m_children),
        });
    return table;
}

// Undoable edits in the model's style: each registers its exact inverse, through the same
// operation, before it changes anything.
struct Editor {
    UndoManager& undo;

    void setValue(const std::shared_ptr<Node>& node, const QString& key, const Value& value)
    {
        const Value old = node->valueForKey(key);
        undo.registerUndo(node.get(), [this, node, key, old] { setValue(node, key, old); });
        node->setValueForKey(value, key);
    }

    void insertChild(const std::shared_ptr<Node>& parent, size_t index, const std::shared_ptr<Node>& child)
    {
        undo.registerUndo(parent.get(), [this, parent, index] { removeChild(parent, index); });
        parent->m_children.insert(parent->m_children.begin() + static_cast<std::ptrdiff_t>(index), child);
    }

    void removeChild(const std::shared_ptr<Node>& parent, size_t index)
    {
        const std::shared_ptr<Node> child = parent->m_children[index];
        undo.registerUndo(parent.get(), [this, parent, index, child] { insertChild(parent, index, child); });
        parent->m_children.erase(parent->m_children.begin() + static_cast<std::ptrdiff_t>(index));
    }
};

inline void collect(const std::shared_ptr<Node>& node, std::vector<std::shared_ptr<Node>>& out)
{
    out.push_back(node);
    for (const auto& child : node->m_children)
        collect(child, out);
}

inline std::shared_ptr<Node> makeTree(std::mt19937& random)
{
    auto root = std::make_shared<Node>();
    root->m_name = QStringLiteral("root");
    for (int i = 0; i < 3; ++i) {
        auto child = std::make_shared<Node>();
        child->m_name = QStringLiteral("child %1").arg(i);
        child->m_count = static_cast<int>(random() % 100);
        root->m_children.push_back(child);
    }
    // A node shared by two parents: identity must survive undo and redo.
    root->m_children[0]->m_children.push_back(root->m_children[2]);
    return root;
}

// One random undoable edit somewhere in the tree.
inline void randomEdit(Editor& editor, const std::shared_ptr<Node>& root, std::mt19937& random, int& serial)
{
    std::vector<std::shared_ptr<Node>> nodes;
    collect(root, nodes);
    const std::shared_ptr<Node> node = nodes[random() % nodes.size()];
    switch (random() % 8) {
    case 0:
        editor.setValue(node, QStringLiteral("name"), QStringLiteral("name %1").arg(serial++));
        break;
    case 1:
        editor.setValue(node, QStringLiteral("weight"), static_cast<float>(random() % 1000) / 7.0f);
        break;
    case 2:
        editor.setValue(node, QStringLiteral("count"), static_cast<int>(random() % 50));
        break;
    case 3:
        editor.setValue(node, QStringLiteral("hidden"), !node->m_hidden);
        break;
    case 4: {
        // Drawn last argument first, in named steps: the order in which a compiler evaluates
        // arguments is unspecified, and the reference archives were written with this one.
        const double height = 1 + random() % 50;
        const double width = 1 + random() % 50;
        const double y = random() % 100;
        const double x = random() % 100;
        editor.setValue(node, QStringLiteral("frame"), QRectF(x, y, width, height));
        break;
    }
    case 5: {
        const double green = double(random() % 256) / 255;
        const double red = double(random() % 256) / 255;
        editor.setValue(node, QStringLiteral("color"), RgbColor(red, green, 0));
        break;
    }
    case 6: {
        std::shared_ptr<Node> inserted = std::make_shared<Node>();
        inserted->m_name = QStringLiteral("new %1").arg(serial++);
        // Sometimes a node already in the tree, which makes a shared reference; never one that
        // contains the parent, which would make a cycle.
        if (random() % 4 == 0) {
            const std::shared_ptr<Node> other = nodes[random() % nodes.size()];
            std::vector<std::shared_ptr<Node>> inside;
            collect(other, inside);
            if (std::find(inside.begin(), inside.end(), node) == inside.end())
                inserted = other;
        }
        editor.insertChild(node, random() % (node->m_children.size() + 1), inserted);
        break;
    }
    default:
        if (!node->m_children.empty())
            editor.removeChild(node, random() % node->m_children.size());
        break;
    }
}

inline QByteArray archive(const std::shared_ptr<Node>& root)
{
    return KeyedArchiver::archivedDataWithRootObject(root);
}

} // namespace zandrel::test
