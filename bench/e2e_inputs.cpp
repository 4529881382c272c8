#include "bench/e2e_inputs.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PutU32(std::vector<unsigned char>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutF32(std::vector<unsigned char>* out, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(out, bits);
}

bool WriteAll(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

void PutText(std::vector<unsigned char>* out, const std::string& text) { out->insert(out->end(), text.begin(), text.end()); }

std::vector<unsigned char> Ply(const GridMesh& m) {
    std::vector<unsigned char> out;
    PutText(&out, "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(m.vertexCount()) +
                      "\nproperty float x\nproperty float y\nproperty float z\nproperty float nx\nproperty float ny\n"
                      "property float nz\nproperty float s\nproperty float t\nelement face " +
                      std::to_string(m.triangleCount()) + "\nproperty list uchar int vertex_indices\nend_header\n");
    for (int v = 0; v < m.vertexCount(); ++v) {
        for (int k = 0; k < 3; ++k) PutF32(&out, m.positions[3 * v + k]);
        for (int k = 0; k < 3; ++k) PutF32(&out, m.normals[3 * v + k]);
        for (int k = 0; k < 2; ++k) PutF32(&out, m.uvs[2 * v + k]);
    }
    for (int t = 0; t < m.triangleCount(); ++t) {
        out.push_back(3);
        for (int k = 0; k < 3; ++k) PutU32(&out, m.corners[3 * t + k]);
    }
    return out;
}

std::vector<unsigned char> Obj(const GridMesh& m, bool withNormals) {
    std::vector<unsigned char> out;
    char line[128];
    for (int v = 0; v < m.vertexCount(); ++v) {
        std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", m.positions[3 * v], m.positions[3 * v + 1],
                      m.positions[3 * v + 2]);
        PutText(&out, line);
        std::snprintf(line, sizeof line, "vt %.6f %.6f\n", m.uvs[2 * v], m.uvs[2 * v + 1]);
        PutText(&out, line);
        if (withNormals) {
            std::snprintf(line, sizeof line, "vn %.6f %.6f %.6f\n", m.normals[3 * v], m.normals[3 * v + 1],
                          m.normals[3 * v + 2]);
            PutText(&out, line);
        }
    }
    for (int t = 0; t < m.triangleCount(); ++t) {
        const uint32_t a = m.corners[3 * t] + 1, b = m.corners[3 * t + 1] + 1, c = m.corners[3 * t + 2] + 1;
        if (withNormals)
            std::snprintf(line, sizeof line, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c);
        else
            std::snprintf(line, sizeof line, "f %u/%u %u/%u %u/%u\n", a, a, b, b, c, c);
        PutText(&out, line);
    }
    return out;
}

// One buffer: positions, normals, texture coordinates, indices; one mesh, one node.
std::vector<unsigned char> Glb(const GridMesh& m) {
    const uint32_t nv = uint32_t(m.vertexCount()), ni = uint32_t(m.corners.size());
    std::vector<unsigned char> bin;
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (uint32_t v = 0; v < nv; ++v)
        for (int k = 0; k < 3; ++k) {
            const float p = m.positions[3 * v + k];
            PutF32(&bin, p);
            lo[k] = std::fmin(lo[k], p);
            hi[k] = std::fmax(hi[k], p);
        }
    for (float n : m.normals) PutF32(&bin, n);
    for (float t : m.uvs) PutF32(&bin, t);
    for (uint32_t i : m.corners) PutU32(&bin, i);
    char bounds[256];
    std::snprintf(bounds, sizeof bounds, "\"min\":[%.9g,%.9g,%.9g],\"max\":[%.9g,%.9g,%.9g]", lo[0], lo[1], lo[2],
                  hi[0], hi[1], hi[2]);
    const uint64_t p = 0, n = 12ull * nv, t = 24ull * nv, i = 32ull * nv;
    std::string json = "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
                       "\"nodes\":[{\"name\":\"grid\",\"mesh\":0}],"
                       "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2},"
                       "\"indices\":3}]}],"
                       "\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) + "}],"
                       "\"bufferViews\":["
                       "{\"buffer\":0,\"byteOffset\":" + std::to_string(p) + ",\"byteLength\":" + std::to_string(n - p) + "},"
                       "{\"buffer\":0,\"byteOffset\":" + std::to_string(n) + ",\"byteLength\":" + std::to_string(t - n) + "},"
                       "{\"buffer\":0,\"byteOffset\":" + std::to_string(t) + ",\"byteLength\":" + std::to_string(i - t) + "},"
                       "{\"buffer\":0,\"byteOffset\":" + std::to_string(i) + ",\"byteLength\":" + std::to_string(4ull * ni) + "}],"
                       "\"accessors\":["
                       "{\"bufferView\":0,\"componentType\":5126,\"count\":" + std::to_string(nv) + ",\"type\":\"VEC3\"," + bounds + "},"
                       "{\"bufferView\":1,\"componentType\":5126,\"count\":" + std::to_string(nv) + ",\"type\":\"VEC3\"},"
                       "{\"bufferView\":2,\"componentType\":5126,\"count\":" + std::to_string(nv) + ",\"type\":\"VEC2\"},"
                       "{\"bufferView\":3,\"componentType\":5125,\"count\":" + std::to_string(ni) + ",\"type\":\"SCALAR\"}]}";
    while (json.size() % 4 != 0) json += ' ';
    while (bin.size() % 4 != 0) bin.push_back(0);
    std::vector<unsigned char> out;
    PutText(&out, "glTF");
    PutU32(&out, 2);
    PutU32(&out, uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    PutU32(&out, uint32_t(json.size()));
    PutText(&out, "JSON");
    PutText(&out, json);
    PutU32(&out, uint32_t(bin.size()));
    PutText(&out, std::string("BIN\0", 4));
    out.insert(out.end(), bin.begin(), bin.end());
    return out;
}

std::vector<unsigned char> Stl(const GridMesh& m) {
    std::vector<unsigned char> out(80, ' ');
    PutU32(&out, uint32_t(m.triangleCount()));
    for (int t = 0; t < m.triangleCount(); ++t) {
        const float* p[3];
        for (int k = 0; k < 3; ++k) p[k] = &m.positions[3 * m.corners[3 * t + k]];
        const double u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const double v[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (double& c : n) c = len > 0 ? c / len : 0;
        for (double c : n) PutF32(&out, float(c));
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) PutF32(&out, p[k][j]);
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

}  // namespace

const char* ExtensionOf(InputFormat format) {
    switch (format) {
        case InputFormat::PlyBinary: return "ply";
        case InputFormat::Obj: return "obj";
        case InputFormat::ObjWithoutNormals: return "obj";
        case InputFormat::Glb: return "glb";
        case InputFormat::StlBinary: return "stl";
    }
    return "bin";
}

const char* NameOf(InputFormat format) {
    switch (format) {
        case InputFormat::PlyBinary: return "binary PLY";
        case InputFormat::Obj: return "OBJ";
        case InputFormat::ObjWithoutNormals: return "OBJ, no normals";
        case InputFormat::Glb: return "GLB";
        case InputFormat::StlBinary: return "binary STL";
    }
    return "?";
}

bool WriteInput(const GridMesh& mesh, InputFormat format, const std::string& path) {
    switch (format) {
        case InputFormat::PlyBinary: return WriteAll(path, Ply(mesh));
        case InputFormat::Obj: return WriteAll(path, Obj(mesh, true));
        case InputFormat::ObjWithoutNormals: return WriteAll(path, Obj(mesh, false));
        case InputFormat::Glb: return WriteAll(path, Glb(mesh));
        case InputFormat::StlBinary: return WriteAll(path, Stl(mesh));
    }
    return false;
}
