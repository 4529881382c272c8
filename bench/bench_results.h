#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/scene_shape.h"

// One peer format's figures for a scene.
struct PeerFigure {
    std::string format;   // Assimp's export format id
    double seconds = 0;   // median
    uint64_t fileBytes = 0;
};

// The medians measured for one scene.
struct SceneFigures {
    SceneShape shape;
    double buildSeconds = 0;       // building the stand-in scene (once, not a median)
    uint64_t fileBytes = 0;        // the WUX file
    double exportSeconds = 0;      // DoExport to the closed file
    double exportCpuSeconds = 0;   // processor time (user + system) of DoExport
    double limitSeconds = 0;       // the same bytes from one buffer through the file layer
    uint64_t exportHeap = 0;       // peak growth of the bytes held through operator new during DoExport
    uint64_t exportResident = 0;   // peak resident-set growth of one (untimed) DoExport
    std::vector<PeerFigure> peers;

    double exportPerTriangleNs() const;
    double exportPerMeshUs() const;
    // The larger of the heap and resident growth, over the file size.
    double memoryOverFile() const;
    // The fastest of the binary PLY and binary STL exports; 0 when neither ran.
    double fastestBinaryPeerSeconds() const;
};

// The targets the run is judged against.
struct TargetLimits {
    double exportOverLimit = 1.5;      // on the 1,000,000-triangle scene
    double peerOverExport = 10.0;      // fastest binary peer / export, at least
    double memoryOverFile = 1.25;      // every scene
    double perTriangleSpread = 1.3;    // slowest / fastest time per triangle over the spread sizes
    double perMeshMaterials = 1.5;     // one material per mesh / shared materials, per mesh
};

// Prints the figure tables and the target verdicts; returns the number of
// targets missed. extrasOnly is the spread scenes' fixed part alone (may be
// null); spread are the SpreadScene results in ascending size; the
// material scenes (shared materials, one material per mesh, and the latter at a
// tenth of the size) may be null when not run.
int PrintReport(const std::vector<SceneFigures>& all, const SceneFigures* extrasOnly,
                const std::vector<const SceneFigures*>& spread,
                const SceneFigures* sharedMaterials, const SceneFigures* ownMaterials,
                const SceneFigures* ownMaterialsSmall, const TargetLimits& targets);
