#pragma once

#include <memory>

#include "bench/scene_shape.h"
#include "host/max_sdk.h"

class StandinScene;
class StandinInterface;

// A benchmark scene in the stand-in host, with the two interfaces a host hands
// an exporter. Mesh nodes hold editable meshes (TriObject) made from grid
// meshes, so the exporter converts nothing and copies nothing before it collects.
class BenchScene {
public:
    explicit BenchScene(const SceneShape& shape);
    ~BenchScene();
    BenchScene(const BenchScene&) = delete;
    BenchScene& operator=(const BenchScene&) = delete;

    ExpInterface* exportInterface() { return &exportInterface_; }
    Interface* hostInterface();

private:
    std::unique_ptr<StandinScene> scene_;
    std::unique_ptr<StandinInterface> interface_;
    ExpInterface exportInterface_;
};
