#pragma once

#include <memory>

#include "host/max_sdk.h"

// The scene that both the Windows test host and the Linux exporter export, so that
// their files can be compared byte for byte: meshes with standard materials and
// bitmap maps, a helper, "GBND" spheres and a "GELP" node, built in the stand-in host.
class SampleScene {
public:
    SampleScene();
    ~SampleScene();
    SampleScene(const SampleScene&) = delete;
    SampleScene& operator=(const SampleScene&) = delete;

    // What the host hands to SceneExport::DoExport.
    ExpInterface* exportInterface();
    Interface* hostInterface();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};
