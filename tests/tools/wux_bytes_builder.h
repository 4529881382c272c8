// Builds WUX files byte by byte for the reader and checker tests, independently of the
// plug-in's writer, and remembers where each chunk starts so tests can corrupt it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "format/wux_reader.h"

namespace wuxtest {

class Bytes {
public:
    std::vector<std::uint8_t> data;

    std::size_t Size() const { return data.size(); }
    void U8(std::uint8_t v) { data.push_back(v); }
    void U16(std::uint16_t v) {
        U8(static_cast<std::uint8_t>(v));
        U8(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void F32(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        U32(bits);
    }
    void Tag(const char* tag) { data.insert(data.end(), tag, tag + 4); }
    void Padded(const std::string& s) {
        const std::uint32_t p = static_cast<std::uint32_t>(4 * (s.size() / 4) + 4);
        U32(p);
        data.insert(data.end(), s.begin(), s.end());
        for (std::size_t i = s.size(); i < p; ++i) U8(0);
    }
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void PatchF32(std::size_t at, float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        PatchU32(at, bits);
    }
    void PatchU16(std::size_t at, std::uint16_t v) {
        data[at] = static_cast<std::uint8_t>(v);
        data[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    std::uint32_t ReadU32(std::size_t at) const {
        return std::uint32_t{data[at]} | std::uint32_t{data[at + 1]} << 8 | std::uint32_t{data[at + 2]} << 16 |
               std::uint32_t{data[at + 3]} << 24;
    }
    wux::ByteSpan Span() const { return wux::ByteSpan{data.data(), data.size()}; }
};

struct Map {
    std::uint32_t channel = 0;
    std::string file;
    float amount = 1.0f;
};

struct Material {
    std::string name;
    std::array<float, 19> colour{0, 0, 0.5f, 0.5f, 0.5f, 1, 0.2f, 0.2f, 0.2f, 1, 0.9f, 0.9f, 0.9f, 1,
                                 0.5f, 0.5f, 0.5f, 1, 39};
    std::vector<Map> maps;
};

// Vertex k sits at (k, 2k, -k) with u 0.25 and v 0.75 and normal (0, 0, 1).
struct Mesh {
    std::int32_t material = 0;
    std::uint32_t triangles = 1;
};

struct Sphere {
    float x = 0, y = 0, z = 0, radius = 0;
};

struct Reference {
    std::string name;
    std::array<float, 16> transform{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -5, 0, 0};
    std::array<float, 3> halfExtents{10, 10, 10};
};

struct File {
    std::vector<Material> materials;
    std::vector<Mesh> meshes;
    Sphere mainSphere;
    std::vector<Sphere> spheres;
    std::optional<std::array<float, 6>> ellipsoid;
    std::vector<Reference> references;
};

struct Built {
    Bytes bytes;
    std::vector<std::size_t> materials;  // chunk offsets
    std::vector<std::size_t> meshes;
    std::size_t bounds = 0;
    std::size_t ellipsoid = 0;           // 0 when there is none
    std::size_t references = 0;
};

inline void WriteSphere(Bytes& b, const Sphere& s) {
    b.F32(s.x);
    b.F32(s.y);
    b.F32(s.z);
    b.F32(s.radius);
}

inline Built Build(const File& f) {
    Built out;
    Bytes& b = out.bytes;
    b.Tag("LIBF");
    b.U32(0);
    b.Tag("IDFM");
    b.Tag("GNFO");
    b.U32(0);
    b.U32(100);
    for (int i = 0; i < 6; ++i) b.U32(0);
    b.F32(1.0f);
    b.U32(static_cast<std::uint32_t>(f.meshes.size()));
    b.U32(static_cast<std::uint32_t>(f.materials.size()));

    for (const Material& m : f.materials) {
        const std::size_t start = b.Size();
        out.materials.push_back(start);
        b.Tag("GMAT");
        b.U32(0);
        b.U32(100);
        b.Padded(m.name);
        for (float w : m.colour) b.F32(w);
        b.U32(static_cast<std::uint32_t>(m.maps.size()));
        for (const Map& map : m.maps) {
            b.U32(map.channel);
            b.Padded(map.file);
            b.F32(map.amount);
        }
        b.PatchU32(start + 4, static_cast<std::uint32_t>(b.Size() - start));
    }
    for (const Mesh& m : f.meshes) {
        out.meshes.push_back(b.Size());
        const std::uint32_t v = 3 * m.triangles;
        b.Tag("GVTX");
        b.U32(28 + 32 * v + 18 * m.triangles);
        b.U32(100);
        b.U32(static_cast<std::uint32_t>(m.material));
        b.U32(0x44BAF1E3);
        b.U32(v);
        b.U32(m.triangles);
        for (std::uint32_t k = 0; k < v; ++k) {
            const float kf = static_cast<float>(k);
            b.F32(kf);
            b.F32(2 * kf);
            b.F32(0.0f - kf);  // +0, not -0, for vertex 0
            b.F32(0.25f);
            b.F32(0.75f);
        }
        for (std::uint32_t k = 0; k < v; ++k) b.U16(static_cast<std::uint16_t>(k));
        for (std::uint32_t k = 0; k < v; ++k) {
            b.F32(0);
            b.F32(0);
            b.F32(1);
        }
        for (std::uint32_t i = 0; i < 3 * m.triangles; ++i) b.U32(0);
    }
    out.bounds = b.Size();
    b.Tag("GBND");
    b.U32(static_cast<std::uint32_t>(32 + 16 * f.spheres.size()));
    b.U32(100);
    WriteSphere(b, f.mainSphere);
    b.U32(static_cast<std::uint32_t>(f.spheres.size()));
    for (const Sphere& s : f.spheres) WriteSphere(b, s);
    if (f.ellipsoid) {
        out.ellipsoid = b.Size();
        b.Tag("GELP");
        b.U32(36);
        b.U32(100);
        for (float v : *f.ellipsoid) b.F32(v);
    }
    out.references = b.Size();
    b.Tag("GREF");
    b.U32(0);
    b.U32(100);
    b.U32(static_cast<std::uint32_t>(f.references.size()));
    for (const Reference& r : f.references) {
        b.Padded(r.name);
        for (float v : r.transform) b.F32(v);
        for (float v : r.halfExtents) b.F32(v);
        b.U32(0xFFDCAAF0);
    }
    b.PatchU32(out.references + 4, static_cast<std::uint32_t>(b.Size() - out.references));
    b.PatchU32(16, static_cast<std::uint32_t>(out.references - 12));
    b.PatchU32(4, static_cast<std::uint32_t>(b.Size()));
    return out;
}

// A file with every kind of chunk: two materials (one with two maps), two meshes, a main
// sphere with two further spheres, an ellipsoid and two reference entries.
inline File RichFile() {
    File f;
    Material brick;
    brick.name = "brick";
    brick.maps = {{1, "brick.bmp", 1.0f}, {8, "bump.bmp", 0.5f}};
    Material glass;
    glass.name = "glass pane";  // 10 characters: padded to 12
    glass.colour[9] = 0.25f;
    f.materials = {brick, glass};
    f.meshes = {{0, 1}, {1, 4}};
    f.mainSphere = {1, 2, 3, 10};
    f.spheres = {{0, 0, 0, 2}, {4, 5, 6, 3}};
    f.ellipsoid = std::array<float, 6>{1, 2, 3, 8, 4, 2};
    Reference a;
    a.name = "Point01";
    Reference b;
    b.name = "Dummy";
    b.transform = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 7, 8, 9, 0};
    b.halfExtents = {1, 2, 3};
    f.references = {a, b};
    return f;
}

// The 108-byte file of an empty scene, as the format describes it.
inline std::vector<std::uint8_t> EmptyFileGolden() {
    std::vector<std::uint8_t> out = {0x4c, 0x49, 0x42, 0x46, 0x6c, 0x00, 0x00, 0x00, 0x49, 0x44, 0x46, 0x4d,
                                     0x47, 0x4e, 0x46, 0x4f, 0x50, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00};
    out.insert(out.end(), 24, 0x00);
    const std::uint8_t middle[] = {0x00, 0x00, 0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0x47, 0x42, 0x4e, 0x44, 0x20, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00};
    out.insert(out.end(), std::begin(middle), std::end(middle));
    out.insert(out.end(), 20, 0x00);
    const std::uint8_t tail[] = {0x47, 0x52, 0x45, 0x46, 0x10, 0x00, 0x00, 0x00,
                                 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    out.insert(out.end(), std::begin(tail), std::end(tail));
    return out;
}

}  // namespace wuxtest
