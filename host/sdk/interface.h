// What the host hands an exporter: the scene to walk and the host interface.
#pragma once

#include "host/sdk/interval.h"

class INode;

#define TREE_CONTINUE 0
#define TREE_IGNORECHILDREN 1
#define TREE_ABORT 2

class ITreeEnumProc {
public:
    virtual int callback(INode* node) = 0;  // TREE_CONTINUE, TREE_IGNORECHILDREN or TREE_ABORT
};

class IScene {
public:
    // Calls back once per node below the root, parents before their children; nonzero when a
    // callback aborted with TREE_ABORT.
    virtual int EnumTree(ITreeEnumProc* proc) = 0;
};

class ExpInterface {
public:
    IScene* theScene;
};

class Interface {
public:
    virtual TimeValue GetTime() = 0;
};
