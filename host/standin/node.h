// A node of the stand-in scene. Transforms are constant over time.
#pragma once

#include <string>
#include <vector>

#include "host/sdk/inode.h"

class StandinScene;

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
