#include "bench/grid_mesh.h"

#include <cmath>

GridMesh MakeGridMesh(int triangles) {
    GridMesh mesh;
    if (triangles <= 0) return mesh;
    int cells = (triangles + 1) / 2;
    int columns = int(std::ceil(std::sqrt(double(cells))));
    int rows = (cells + columns - 1) / columns;
    int stride = columns + 1;

    float cellSize = 10.0f / float(columns);
    for (int row = 0; row <= rows; ++row) {
        for (int column = 0; column <= columns; ++column) {
            float x = cellSize * float(column);
            float y = cellSize * float(row);
            mesh.positions.insert(mesh.positions.end(),
                                  {x, y, 0.25f * std::sin(x) * std::cos(y)});
            mesh.uvs.insert(mesh.uvs.end(), {float(column) / float(columns), float(row) / float(rows)});
        }
    }

    mesh.corners.reserve(size_t(triangles) * 3);
    for (int t = 0; t < triangles; ++t) {
        int cell = t / 2;
        uint32_t corner = uint32_t((cell / columns) * stride + cell % columns);
        uint32_t right = corner + 1, up = corner + uint32_t(stride), upRight = up + 1;
        if (t % 2 == 0)
            mesh.corners.insert(mesh.corners.end(), {corner, right, upRight});
        else
            mesh.corners.insert(mesh.corners.end(), {corner, upRight, up});
    }

    mesh.normals.assign(mesh.positions.size(), 0.0f);
    const float* p = mesh.positions.data();
    for (size_t t = 0; t < mesh.corners.size(); t += 3) {
        const float* a = p + 3 * mesh.corners[t];
        const float* b = p + 3 * mesh.corners[t + 1];
        const float* c = p + 3 * mesh.corners[t + 2];
        float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        float e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
        for (int k = 0; k < 3; ++k)
            for (int axis = 0; axis < 3; ++axis) mesh.normals[3 * mesh.corners[t + k] + axis] += n[axis];
    }
    for (size_t v = 0; v < mesh.normals.size(); v += 3) {
        float* n = &mesh.normals[v];
        float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f) {
            n[0] /= length, n[1] /= length, n[2] /= length;
        } else {
            n[0] = 0.0f, n[1] = 0.0f, n[2] = 1.0f;  // a vertex no triangle uses
        }
    }
    return mesh;
}
