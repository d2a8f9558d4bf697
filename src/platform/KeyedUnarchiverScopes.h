#pragma once

#include "platform/KeyedUnarchiver.h"

// The scopes the unarchiver's decoding files share.

namespace zandrel {

// Counts one level of nested object decoding and refuses to go deeper than the limit or the
// thread's stack allows.
class KeyedUnarchiver::Nesting {
public:
    explicit Nesting(KeyedUnarchiver& owner);
    ~Nesting() { --m_owner.m_depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

private:
    KeyedUnarchiver& m_owner;
};

// Makes a record dictionary the target of keyed decode calls for a scope.
class KeyedUnarchiver::Frame {
public:
    Frame(KeyedUnarchiver& owner, Index record)
        : m_owner(owner)
    {
        owner.pushFrame(record);
    }
    ~Frame() { m_owner.popFrame(); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

private:
    KeyedUnarchiver& m_owner;
};

} // namespace zandrel
