// The stand-in scene: a tree of nodes below an implicit root. It owns every node and every
// object, material and map made through it, and destroys them with itself. Transforms are
// constant over time.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/sdk/inode.h"
#include "host/sdk/interface.h"

class StandinScene;

// A node of the stand-in scene.
class StandinNode : public INode {
public:
    explicit StandinNode(const std::string& name = "");

    TCHAR* GetName() override { return &name[0]; }
    Mtl* GetMtl() override { return mtl; }
    // The object's Eval at time; obj is null without an object, and also for a hidden node
    // evaluated with evalHidden FALSE. The state lives until the next call.
    const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden = TRUE) override;
    // The object offset * WorldTM(); valid is left as it is (nothing is animated).
    Matrix3 GetObjTMAfterWSM(TimeValue time, Interval* valid = nullptr) override;

    const std::string& Name() const { return name; }
    // Relative to the parent: world = local * parent's world.
    void SetLocalTM(const Matrix3& tm) { localTM = tm; }
    Matrix3 WorldTM() const;
    // Object transform = offset * world.
    void SetObjectOffset(const Matrix3& tm) { objectOffset = tm; }
    void SetHidden(bool h) { hidden = h; }
    bool IsHidden() const { return hidden; }
    void SetMtl(Mtl* m) { mtl = m; }
    void SetObject(Object* o) { object = o; }
    Object* GetObjectRef() const { return object; }

    StandinNode* Parent() const { return parent; }  // null for a node right below the root

    // Checks the mesh of the node's object (and of its evaluation at time 0) when it is a
    // TriObject; the error names the node. True when consistent or not a mesh.
    bool Validate(std::string* error);

private:
    friend class StandinScene;

    std::string name;
    Matrix3 localTM;
    Matrix3 objectOffset;
    bool hidden = false;
    Mtl* mtl = nullptr;
    Object* object = nullptr;
    StandinNode* parent = nullptr;
    std::vector<StandinNode*> children;
    ObjectState state;
};

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

// The host interface and the export interface the stand-in hands an exporter.
class StandinInterface : public Interface {
public:
    explicit StandinInterface(TimeValue t = 0) : time(t) {}
    TimeValue GetTime() override {
        ++getTimeCalls;
        return time;
    }
    int GetTimeCalls() const { return getTimeCalls; }

private:
    TimeValue time;
    int getTimeCalls = 0;
};

class StandinExpInterface : public ExpInterface {
public:
    explicit StandinExpInterface(IScene* scene) { theScene = scene; }
};
