// The stand-in scene: a tree of nodes below an implicit root. It owns every node and every
// object, material and map made through it, and destroys them with itself.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/sdk/interface.h"
#include "host/standin/node.h"

class StandinScene : public IScene {
public:
    ~StandinScene();

    // Visits every node, parents before children, in child order, without recursion. An
    // exception escaping the callback ends the process, as in the host.
    int EnumTree(ITreeEnumProc* proc) override;

    // A new node, last child of parent (null: below the root).
    StandinNode* AddNode(StandinNode* parent, const std::string& name) { return AddNodeOf<StandinNode>(parent, name); }
    // The same for a node of a class derived from StandinNode, built from args.
    template <class T, class... Args>
    T* AddNodeOf(StandinNode* parent, Args&&... args) {
        T* node = Create<T>(std::forward<Args>(args)...);
        Link(parent, node);
        return node;
    }
    // Makes an object of any class (objects, materials, maps, ...) that the scene owns.
    template <class T, class... Args>
    T* Create(Args&&... args) {
        owned.push_back(std::make_unique<T>(std::forward<Args>(args)...));
        return static_cast<T*>(owned.back().get());
    }

    std::vector<StandinNode*> AllNodes() const;  // in EnumTree order
    // Validate on every node; stops at the first error.
    bool Validate(std::string* error) const;

private:
    void Link(StandinNode* parent, StandinNode* node);

    std::vector<std::unique_ptr<Animatable>> owned;
    std::vector<StandinNode*> top;
};
