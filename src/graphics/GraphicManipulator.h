#pragma once

namespace zandrel {

class GraphicElement;

// A visitor that graphic notice 3 carries down an element tree: every element the notice reaches
// hands itself to manipulate, containers before their children. Changes that affine transforms
// cannot express are made undoable as a pair of manipulators, one doing and one undoing.
class GraphicManipulator {
public:
    GraphicManipulator() = default;
    virtual ~GraphicManipulator() = default;

    // The base leaves every element alone.
    virtual void manipulate(GraphicElement& graphic);
};

// Detaches every element it reaches from its parent, so that no element of a retired model keeps a
// link into a tree that is going away.
class BreakdownModelManipulator : public GraphicManipulator {
public:
    void manipulate(GraphicElement& graphic) override;
};

} // namespace zandrel
