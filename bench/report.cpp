#include "bench/bench_results.h"

#include <algorithm>
#include <cstdio>

double SceneFigures::exportPerTriangleNs() const {
    int64_t triangles = shape.triangles();
    return triangles > 0 ? exportSeconds * 1e9 / double(triangles) : 0.0;
}

double SceneFigures::exportPerMeshUs() const {
    return shape.meshCount > 0 ? exportSeconds * 1e6 / double(shape.meshCount) : 0.0;
}

double SceneFigures::memoryOverFile() const {
    uint64_t memory = exportHeap > exportResident ? exportHeap : exportResident;
    return fileBytes > 0 ? double(memory) / double(fileBytes) : 0.0;
}

double SceneFigures::fastestBinaryPeerSeconds() const {
    double fastest = 0;
    for (const PeerFigure& peer : peers)
        if ((peer.format == "plyb" || peer.format == "stlb") && peer.seconds > 0 &&
            (fastest == 0 || peer.seconds < fastest))
            fastest = peer.seconds;
    return fastest;
}

namespace {

double Mb(uint64_t bytes) { return double(bytes) / 1e6; }

double Ratio(double a, double b) { return b > 0 ? a / b : 0.0; }

const char* Verdict(bool met) { return met ? "met   " : "MISSED"; }

void PrintFigures(const std::vector<SceneFigures>& all) {
    std::printf("%-22s %9s %6s %6s %8s %8s %8s %8s %7s %8s %8s %6s %7s\n", "scene", "triangles", "meshes", "mats",
                "file MB", "export s", "cpu s", "limit s", "exp/lim", "heap MB", "rss MB", "mem/f", "ns/tri");
    for (const SceneFigures& s : all) {
        std::printf("%-22s %9lld %6d %6d %8.2f %8.4f %8.4f %8.4f %7.2f %8.1f %8.1f %6.2f %7.1f\n",
                    s.shape.name.c_str(), static_cast<long long>(s.shape.triangles()), s.shape.meshCount,
                    s.shape.materialsUsed(), Mb(s.fileBytes), s.exportSeconds, s.exportCpuSeconds, s.limitSeconds,
                    Ratio(s.exportSeconds, s.limitSeconds), Mb(s.exportHeap), Mb(s.exportResident),
                    s.memoryOverFile(), s.exportPerTriangleNs());
    }
}

void PrintPeers(const std::vector<SceneFigures>& all) {
    bool any = std::any_of(all.begin(), all.end(), [](const SceneFigures& s) { return !s.peers.empty(); });
    if (!any) return;
    std::printf("\nAssimp peer (median seconds; file MB; peer / export)\n");
    for (const SceneFigures& s : all) {
        if (s.peers.empty()) continue;
        std::printf("%-24s", s.shape.name.c_str());
        for (const PeerFigure& peer : s.peers)
            std::printf("  %s %8.3f s %8.1f MB %6.1fx", peer.format.c_str(), peer.seconds, Mb(peer.fileBytes),
                        Ratio(peer.seconds, s.exportSeconds));
        std::printf("\n");
    }
}

const SceneFigures* SpreadWithTriangles(const std::vector<const SceneFigures*>& spread, int64_t triangles) {
    for (const SceneFigures* s : spread)
        if (s->shape.triangles() == triangles) return s;
    return nullptr;
}

}  // namespace

int PrintReport(const std::vector<SceneFigures>& all, const SceneFigures* extrasOnly,
                const std::vector<const SceneFigures*>& spread,
                const SceneFigures* sharedMaterials, const SceneFigures* ownMaterials,
                const SceneFigures* ownMaterialsSmall, const TargetLimits& targets) {
    PrintFigures(all);
    PrintPeers(all);

    std::printf("\nTargets\n");
    int missed = 0;
    auto judge = [&missed](bool met, const char* text, double value, double limit) {
        if (!met) ++missed;
        std::printf("  %s %-58s %8.2f (target %s %.2f)\n", Verdict(met), text, value,
                    std::string(text).find("at least") != std::string::npos ? ">=" : "<=", limit);
    };

    // The issue fixes the export/limit and peer targets on the 1,000,000-triangle
    // scene; a run without it judges the largest spread scene instead.
    const SceneFigures* reference = SpreadWithTriangles(spread, 1000000);
    if (reference == nullptr && !spread.empty()) reference = spread.back();
    if (reference != nullptr) {
        std::printf("  (export and peer targets on \"%s\")\n", reference->shape.name.c_str());
        double overLimit = Ratio(reference->exportSeconds, reference->limitSeconds);
        judge(overLimit <= targets.exportOverLimit, "export / write limit", overLimit, targets.exportOverLimit);
        double peer = reference->fastestBinaryPeerSeconds();
        if (peer > 0) {
            double faster = Ratio(peer, reference->exportSeconds);
            judge(faster >= targets.peerOverExport, "fastest binary peer / export, at least", faster,
                  targets.peerOverExport);
        }
    }

    // Large meshes and one-triangle meshes are judged apart: in the second the
    // fixed size of each record, not the triangle soup, sets the memory.
    for (bool tiny : {false, true}) {
        double worstMemory = 0;
        std::string worstScene;
        for (const SceneFigures& s : all) {
            if (s.shape.triangles() == 0 || (s.shape.trianglesPerMesh == 1) != tiny) continue;
            double ratio = s.memoryOverFile();
            if (ratio > worstMemory) worstMemory = ratio, worstScene = s.shape.name;
        }
        if (worstScene.empty()) continue;
        std::string text = "export memory / file size, worst (" + worstScene + ")";
        judge(worstMemory <= targets.memoryOverFile, text.c_str(), worstMemory, targets.memoryOverFile);
    }

    if (spread.size() >= 2) {
        double fastest = 0, slowest = 0;
        for (const SceneFigures* s : spread) {
            double ns = s->exportPerTriangleNs();
            if (fastest == 0 || ns < fastest) fastest = ns;
            slowest = std::max(slowest, ns);
        }
        std::printf("  time per triangle:");
        for (const SceneFigures* s : spread) std::printf(" %s %.1f ns;", s->shape.name.c_str(), s->exportPerTriangleNs());
        std::printf("\n  processor time per triangle:");
        for (const SceneFigures* s : spread)
            std::printf(" %s %.1f ns;", s->shape.name.c_str(),
                        s->exportCpuSeconds * 1e9 / double(std::max<int64_t>(1, s->shape.triangles())));
        std::printf("\n");
        if (extrasOnly != nullptr) {
            // The fixed part (helpers, spheres, file creation, flush to disk)
            // weighs most in the smallest scene.
            std::printf("  net of the %.4f s export of the extras alone:", extrasOnly->exportSeconds);
            for (const SceneFigures* s : spread)
                std::printf(" %s %.1f ns;", s->shape.name.c_str(),
                            (s->exportSeconds - extrasOnly->exportSeconds) * 1e9 /
                                double(std::max<int64_t>(1, s->shape.triangles())));
            std::printf("\n");
        }
        judge(slowest / fastest <= targets.perTriangleSpread, "time per triangle, slowest / fastest size",
              slowest / fastest, targets.perTriangleSpread);
    }

    if (sharedMaterials != nullptr && ownMaterials != nullptr) {
        std::printf("  time per mesh: %s %.2f us; %s %.2f us\n", sharedMaterials->shape.name.c_str(),
                    sharedMaterials->exportPerMeshUs(), ownMaterials->shape.name.c_str(),
                    ownMaterials->exportPerMeshUs());
        double ratio = Ratio(ownMaterials->exportPerMeshUs(), sharedMaterials->exportPerMeshUs());
        judge(ratio <= targets.perMeshMaterials, "time per mesh, own material / shared materials", ratio,
              targets.perMeshMaterials);
        if (ownMaterialsSmall != nullptr) {
            // The same scene at a tenth of the size: equal times per mesh mean
            // the material lookup grows linearly with the number of materials.
            std::printf("  time per mesh: %s %.2f us (linear growth gives a ratio near 1: %.2f)\n",
                        ownMaterialsSmall->shape.name.c_str(), ownMaterialsSmall->exportPerMeshUs(),
                        Ratio(ownMaterials->exportPerMeshUs(), ownMaterialsSmall->exportPerMeshUs()));
        }
    }
    return missed;
}
