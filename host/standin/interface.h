// The host interface and the export interface of the stand-in host.
#pragma once

#include "host/sdk/interface.h"

class StandinScene;

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
