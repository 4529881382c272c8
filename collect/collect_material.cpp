#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "collect/file_name_part.h"
#include "collect/node_collector.h"
#include "format/wux_format.h"
#include "model/export_model.h"

namespace {

void StoreColour(float* words, const Color& colour) {
    words[0] = FiniteOrZero(colour.r);
    words[1] = FiniteOrZero(colour.g);
    words[2] = FiniteOrZero(colour.b);
}

// Fills the used map slots, packed from slot 0, each keeping its own slot
// number as channel. Only bitmap textures give a slot: an enabled slot with no
// map, or with a map of another kind, has no file to name and takes no place.
// The material's map calls take its shader's channel for the slot; a slot the
// shader has no channel for takes no place either.
void CollectMaps(StdMat* material, MaterialChunk& chunk) {
    const Class_ID bitmapClass(BMTEX_CLASS_ID, 0);
    const bool shaded = material->SupportsShaders() != FALSE;
    for (int slot = 0; slot < MaterialChunk::kMaxMaps; ++slot) {
        const long channel = shaded ? static_cast<StdMat2*>(material)->StdIDToChannel(slot) : slot;
        if (channel < 0) continue;
        const int id = static_cast<int>(channel);
        if (!material->MapEnabled(id)) continue;
        Texmap* map = material->GetSubTexmap(id);
        if (map == nullptr || map->ClassID() != bitmapClass) {
            RecordOutcome(OutcomeKind::MapWithoutBitmap, chunk.name.c_str(),
                          "slot " + std::to_string(slot) + (map == nullptr ? ": no map" : ": not a bitmap"));
            continue;
        }
        MaterialMap& used = chunk.maps[chunk.mapCount];
        used.channel = slot;
        used.fileName = FileNamePart(static_cast<BitmapTex*>(map)->GetMapName());
        used.amount = FiniteOrZero(material->GetTexmapAmt(id, 0));
        ++chunk.mapCount;
    }
}

void FillColourBlock(StdMat* material, float* words) {
    for (const wux_file::ColourConstant& constant : wux_file::kColourConstants) {
        words[constant.word] = wux_file::FloatFromBits(constant.bits);
    }
    StoreColour(words + wux_file::kDiffuseWord, material->GetDiffuse(hostInterface->GetTime()));
    StoreColour(words + wux_file::kAmbientWord, material->GetAmbient(hostInterface->GetTime()));
    words[wux_file::kOpacityWord] = FiniteOrZero(material->GetOpacity(hostInterface->GetTime()));
    StoreColour(words + wux_file::kSpecularWord, material->GetSpecular(hostInterface->GetTime()));
    StoreColour(words + wux_file::kFilterWord, material->GetFilter(hostInterface->GetTime()));
}

}  // namespace

int32_t NodeCollector::CollectMaterial(INode* node, const char* nodeName) {
    Mtl* mtl = node->GetMtl();
    if (mtl == nullptr || mtl->ClassID() != Class_ID(DMTL_CLASS_ID, 0)) {
        const char* other = mtl != nullptr ? mtl->GetName().data() : nullptr;
        RecordOutcome(OutcomeKind::NoStandardMaterial, nodeName,
                      mtl == nullptr ? "no material"
                                     : "material \"" + std::string(other != nullptr ? other : "") + "\" is not a standard material");
        return 0;
    }
    StdMat* material = static_cast<StdMat*>(mtl);

    ExportModel& model = *currentModel;
    const char* rawName = material->GetName().data();
    std::string name(rawName != nullptr ? rawName : "");
    // Materials are told apart by name alone: a later material of a known name
    // is not read at all.
    const auto known = model.materialIndexByName.find(name);
    if (known != model.materialIndexByName.end()) {
        const size_t at = static_cast<size_t>(known->second);
        if (at < materialSources.size() && materialSources[at] != material)
            RecordOutcome(OutcomeKind::MaterialNameShared, name.c_str());
        return known->second;
    }

    const int32_t index = model.materials->count();
    auto chunk = std::make_unique<MaterialChunk>(name.c_str());
    CollectMaps(material, *chunk);
    FillColourBlock(material, chunk->colourBlock);

    // Index entry first, so that a failed append can be undone and the index
    // never names a material the list does not hold.
    const auto entry = model.materialIndexByName.emplace(std::move(name), index).first;
    try {
        model.materials->append(std::move(chunk));
    } catch (...) {
        model.materialIndexByName.erase(entry);
        throw;
    }
    ++model.materialCount;
    if (materialSources.size() <= static_cast<size_t>(index)) materialSources.resize(static_cast<size_t>(index) + 1);
    materialSources[static_cast<size_t>(index)] = material;
    return index;
}
