// Builds WUX bytes by hand, independently of the plug-in's writer: the expected bytes of the
// writer's golden tests, and whole files for the reader and checker tests, which remember
// where each chunk starts so tests can corrupt it.
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
    Bytes& U8(std::uint8_t v) {
        data.push_back(v);
        return *this;
    }
    Bytes& U16(std::uint16_t v) { return U8(static_cast<std::uint8_t>(v)).U8(static_cast<std::uint8_t>(v >> 8)); }
    Bytes& U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& F32(float f) { return U32(Bits(f)); }
    // Characters as they are, no length and no terminator: a tag, or a padded string's text.
    Bytes& Text(const std::string& text) {
        data.insert(data.end(), text.begin(), text.end());
        return *this;
    }
    Bytes& Tag(const char* tag) { return Text(std::string(tag, 4)); }
    Bytes& Zeros(std::size_t count) {
        data.insert(data.end(), count, 0);
        return *this;
    }
    // Pairs of hexadecimal digits; spaces are ignored.
    Bytes& Hex(const char* digits) {
        for (const char* p = digits; *p != '\0';) {
            if (*p == ' ') {
                ++p;
                continue;
            }
            U8(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
            p += 2;
        }
        return *this;
    }
    Bytes& Padded(const std::string& s) {
        const std::uint32_t p = static_cast<std::uint32_t>(4 * (s.size() / 4) + 4);
        return U32(p).Text(s).Zeros(p - s.size());
    }
    void PatchU32(std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void PatchF32(std::size_t at, float f) { PatchU32(at, Bits(f)); }
    void PatchU16(std::size_t at, std::uint16_t v) {
        data[at] = static_cast<std::uint8_t>(v);
        data[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    std::uint32_t ReadU32(std::size_t at) const {
        return std::uint32_t{data[at]} | std::uint32_t{data[at + 1]} << 8 | std::uint32_t{data[at + 2]} << 16 |
               std::uint32_t{data[at + 3]} << 24;
    }
    wux::ByteSpan Span() const { return wux::ByteSpan{data.data(), data.size()}; }

private:
    static std::uint32_t Bits(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return bits;
    }
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

// Vertex k sits at (k, 2k, -k), or at positions[k] when positions are given (then the
// mesh has positions.size() / 3 triangles), with u 0.25 and v 0.75 and normal (0, 0, 1),
// or uvs[k] and normals[k] when given.
struct Mesh {
    Mesh(std::int32_t material_ = 0, std::uint32_t triangles_ = 1) : material(material_), triangles(triangles_) {}
    std::int32_t material;
    std::uint32_t triangles;
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 2>> uvs;
    std::vector<std::array<float, 3>> normals;
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
    for (const Mesh& given : f.meshes) {
        Mesh m = given;
        if (!m.positions.empty()) m.triangles = static_cast<std::uint32_t>(m.positions.size() / 3);
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
            if (m.positions.empty()) {
                b.F32(kf);
                b.F32(2 * kf);
                b.F32(0.0f - kf);  // +0, not -0, for vertex 0
            } else {
                for (float c : m.positions[k]) b.F32(c);
            }
            b.F32(k < m.uvs.size() ? m.uvs[k][0] : 0.25f);
            b.F32(k < m.uvs.size() ? m.uvs[k][1] : 0.75f);
        }
        for (std::uint32_t k = 0; k < v; ++k) b.U16(static_cast<std::uint16_t>(k));
        for (std::uint32_t k = 0; k < v; ++k) {
            for (float c : k < m.normals.size() ? m.normals[k] : std::array<float, 3>{0, 0, 1}) b.F32(c);
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

// The 108-byte file of a scene with nothing to export, as the format describes it.
inline std::vector<std::uint8_t> EmptySceneFile() {
    Bytes b;
    b.Hex("4c494246 6c000000 4944464d 474e464f 50000000 64000000").Zeros(24);
    b.Hex("0000803f 00000000 00000000 47424e44 20000000 64000000").Zeros(20);
    b.Hex("47524546 10000000 64000000 00000000");
    return b.data;
}

}  // namespace wuxtest
