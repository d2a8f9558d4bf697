#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "platform/Object.h"

#include <QSet>
#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

namespace zandrel {

// How the members of a container are linked back to it, for ElementChildren: the class of the
// members, the container their link names, the list they are kept in, and how a member is read,
// copied and linked.

// Members are objects adopting the graphic element protocol, linked to a Parent.
struct GraphicElementLinks {
    using Element = Object;
    using Owner = Parent;
    using List = ElementList;

    static Parent* parentOf(const Object& member);
    static void setParentOf(Object& member, Parent* owner);
    // Only graphic elements are taken in.
    static bool accepts(const Object* member);
    // A deep copy by the member's own class; null when it makes no graphic element.
    static ObjectPtr copyOf(const ObjectPtr& member);
    static bool isValid(const ObjectPtr& member);
    // The member as a graphic element; null for a member that is none. Containers keep these
    // beside the members, so that walks of the tree need no cast per member.
    static GraphicElement* graphicOf(Object& member);
    // The owner as an object, and the next link up from an object (null where the walk ends).
    static const Object* objectOf(const Parent* owner);
    static const Object* parentObjectOf(const Object* link);
};

// Members of one class with a typed link of their own (parent() and setParent()).
template <class E, class O, class L> struct TypedLinks {
    using Element = E;
    using Owner = O;
    using List = L;

    static O* parentOf(const E& member) { return member.parent(); }
    static void setParentOf(E& member, O* owner) { member.setParent(owner); }
    static bool accepts(const E* member) { return member != nullptr; }
    static std::shared_ptr<E> copyOf(const std::shared_ptr<E>& member)
    {
        return std::dynamic_pointer_cast<E>(member->initByCopying());
    }
    static bool isValid(const std::shared_ptr<E>& member) { return member->validateData(); }
    static const Object* objectOf(const O* owner) { return dynamicCast<const Object>(owner); }
    static const Object* parentObjectOf(const Object* link)
    {
        const auto* member = dynamicCast<const E>(link);
        return member ? dynamicCast<const Object>(member->parent()) : nullptr;
    }
};

// The ordered, owned members of a container in a model tree and their links back to it, kept in
// one place for every container: taking members in (and refusing those that would make the tree
// endless), deep copies, decoding, validation and letting members go. Members that outlive the
// container (an undo step holds them, say) never keep a link to it: its destruction clears them.
template <class Links> class ElementChildren {
public:
    using Element = typename Links::Element;
    using Owner = typename Links::Owner;
    using Ptr = std::shared_ptr<Element>;
    using List = typename Links::List;
    static constexpr bool kKeepsGraphics = requires(Element & member) { Links::graphicOf(member); };

    // Members that leave a container keep their link (an undo can put them back as they were), or
    // lose it.
    enum class Leaving { KeepLinks, ClearLinks };
    enum class Repeats { Allowed, Refused };

    explicit ElementChildren(Owner* owner)
        : m_owner(owner)
    {
    }
    // Copies of the other's members, each made by its own class, adopted by owner.
    ElementChildren(Owner* owner, const ElementChildren& other)
        : m_owner(owner)
    {
        for (const Ptr& member : other.m_items) {
            Ptr copy = member ? Links::copyOf(member) : nullptr;
            if (copy && Links::accepts(copy.get()))
                append(copy);
        }
    }
    ElementChildren(const ElementChildren&) = delete;
    ElementChildren& operator=(const ElementChildren&) = delete;
    ~ElementChildren() { release(); }

    const List& items() const { return m_items; }
    // The members as graphic elements, in order (null for a member that is none).
    const std::vector<GraphicElement*>& graphics() const requires kKeepsGraphics { return m_graphics; }
    std::size_t size() const { return std::size_t(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    // Null past the end.
    Ptr at(std::size_t index) const { return index < size() ? m_items[index] : nullptr; }
    bool contains(const Object* member) const
    {
        return member && std::any_of(m_items.begin(), m_items.end(), [member](const Ptr& item) {
            return static_cast<const Object*>(item.get()) == member;
        });
    }

    // The candidates the container may take: members of the accepted kind that are not the owner
    // or one of its ancestors (which would make every walk of the tree endless), in order, and
    // with repeats left out when they are refused.
    List acceptable(const List& candidates, Repeats repeats) const
    {
        // Sets, so that a long list is walked once rather than once for each of its members.
        std::unordered_set<const Object*> ancestors;
        for (const Object* link = Links::objectOf(m_owner); link; link = Links::parentObjectOf(link))
            ancestors.insert(link);
        std::unordered_set<const Element*> taken;
        List kept;
        for (const Ptr& candidate : candidates) {
            if (!Links::accepts(candidate.get()) || ancestors.contains(candidate.get()))
                continue;
            if (repeats == Repeats::Refused && !taken.insert(candidate.get()).second)
                continue;
            kept.push_back(candidate);
        }
        return kept;
    }
    // Replaces the members by the given ones, each linked to the owner.
    void adopt(List members, Leaving leaving = Leaving::KeepLinks)
    {
        if (leaving == Leaving::ClearLinks) {
            std::unordered_set<const Element*> staying;
            for (const Ptr& member : members)
                staying.insert(member.get());
            for (const Ptr& old : m_items) {
                if (!staying.contains(old.get()))
                    unlink(old);
            }
        }
        m_items = std::move(members);
        for (const Ptr& member : m_items)
            Links::setParentOf(*member, m_owner);
        if constexpr (kKeepsGraphics) {
            m_graphics.clear();
            for (const Ptr& member : m_items)
                m_graphics.push_back(Links::graphicOf(*member));
        }
    }
    void append(const Ptr& member)
    {
        Links::setParentOf(*member, m_owner);
        m_items.push_back(member);
        if constexpr (kKeepsGraphics)
            m_graphics.push_back(Links::graphicOf(*member));
    }
    // Takes decoded members. One still being decoded is an ancestor of the container and would
    // close an ownership cycle; one already adopted elsewhere in the file, or listed twice, would
    // get two owners (and copying it instead would let a small file describe an exponential tree).
    void adoptDecoded(KeyedUnarchiver& coder, const List& decoded) { adopt(decodedToAdopt(coder, decoded)); }
    static List decodedToAdopt(KeyedUnarchiver& coder, const List& decoded)
    {
        List kept;
        for (const Ptr& member : decoded) {
            // Taken before (here or by another container naming the same list): the cheap check
            // first, since a hostile file can name one long list many times.
            if (coder.wasAdopted(member) || !Links::accepts(member.get()) || coder.isDecoding(member)
                || Links::parentOf(*member))
                continue;
            coder.noteAdopted(member);
            kept.push_back(member);
        }
        return kept;
    }
    // Removes, last to first, the members that are no longer usable, logging each; a removed
    // member loses its link when leaving says so.
    void removeInvalid(const QString& logLine, Leaving leaving = Leaving::KeepLinks)
    {
        // Checked last to first, then taken out in one pass: erasing each where it stands would
        // move every member after it, and a file can make every other member unusable.
        std::vector<bool> invalid(m_items.size());
        List removed;
        for (auto i = qsizetype(m_items.size()) - 1; i >= 0; --i) {
            const Ptr member = m_items[std::size_t(i)];
            if (member && Links::isValid(member))
                continue;
            invalid[std::size_t(i)] = true;
            removed.push_back(member);
            zdlLog(logLine);
        }
        if (removed.empty())
            return;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < invalid.size(); ++i) {
            if (invalid[i])
                continue;
            if (kept != i) {
                m_items[kept] = std::move(m_items[i]);
                if constexpr (kKeepsGraphics)
                    m_graphics[kept] = m_graphics[i];
            }
            ++kept;
        }
        m_items.erase(m_items.begin() + qsizetype(kept), m_items.end());
        if constexpr (kKeepsGraphics)
            m_graphics.resize(kept);
        if (leaving == Leaving::ClearLinks) {
            for (const Ptr& member : removed)
                unlink(member);
        }
    }
    // Clears the members' links to the owner; the members stay.
    void release()
    {
        for (const Ptr& member : m_items)
            unlink(member);
    }
    // Lets every member go, clearing their links.
    void clear()
    {
        release();
        m_items.clear();
        if constexpr (kKeepsGraphics)
            m_graphics.clear();
    }
    bool isOwnerOrAncestor(const Object* candidate) const
    {
        for (const Object* link = Links::objectOf(m_owner); link; link = Links::parentObjectOf(link)) {
            if (link == candidate)
                return true;
        }
        return false;
    }

private:
    void unlink(const Ptr& member)
    {
        if (member && Links::parentOf(*member) == m_owner)
            Links::setParentOf(*member, nullptr);
    }

    Owner* m_owner;
    List m_items;
    std::vector<GraphicElement*> m_graphics;
};

// The members of containers of graphic elements.
using GraphicElementChildren = ElementChildren<GraphicElementLinks>;

// For containers that keep their members themselves: the decoded members ElementChildren would
// take, linked to the adopter.
ElementList adoptDecodedElements(KeyedUnarchiver& coder, const ElementList& decoded, Parent* adopter);

// The union of one kind of the members' bounds (null members count for nothing), starting from the
// zero rectangle; empty rectangles add nothing.
QRectF unionOfBounds(const std::vector<GraphicElement*>& members, QRectF (GraphicElement::*bounds)() const);

// The topmost member of the list (the last drawn) that contains the point, visible or not; null
// when none does.
template <class List>
auto topmostContaining(const List& members, const QPointF& point, float viewScale) ->
    typename List::value_type
{
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        const auto* graphic = dynamicCast<const GraphicElement>(it->get());
        if (graphic && graphic->containsPt(point, viewScale))
            return *it;
    }
    return nullptr;
}

} // namespace zandrel
