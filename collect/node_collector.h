#pragma once

#include <cstdint>

#include "host/max_sdk.h"

// Walks the host's scene and turns each node into export-model records in
// currentModel, reading the host through hostInterface. Carries no state: every
// route reads what it needs from the node and the export state.
class NodeCollector : public ITreeEnumProc {
public:
    // Routes the node and lets the walk go on. Throws nothing: when collecting the
    // node fails it sets collectionFailed and stops the walk (TREE_ABORT).
    int callback(INode* node) noexcept override;

    // Takes the node to its collector, first match wins: a helper object (judged at time 0),
    // a node named "GBND", "GELP", else the mesh route if its object converts to a triangle mesh.
    void ProcessNode(INode* node);

    void CollectReference(INode* node);
    void CollectBoundSphere(INode* node);
    void CollectEllipsoid(INode* node);
    // Material index of the node's standard material, adding its record when the
    // name is new; 0 when the node (called nodeName) has no standard material.
    int32_t CollectMaterial(INode* node, const char* nodeName);
    // Appends the mesh as one or more GVTX records (a 16-bit index addresses at
    // most 21,845 triangles of three corners each).
    void CollectMesh(const char* name, TriObject* tri, int32_t materialIndex, Matrix3 objectToWorld);
};

// The node's object at the current time as a triangle mesh, or null when it does
// not convert. Del is true when the conversion made a new object, which the
// caller then owns and deletes.
TriObject* ConvertToTriObject(INode* node, BOOL& Del);
