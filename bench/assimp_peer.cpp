#include "bench/assimp_peer.h"

#include <assimp/Exporter.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>


#include "bench/grid_mesh.h"
#include "bench/measure.h"

namespace {

aiColor3D Colour(int material, float base) {
    return aiColor3D(base, float(material % 10) / 10.0f, float(material % 7) / 7.0f);
}

aiMaterial* MakeMaterial(const SceneShape& shape, int index) {
    auto* material = new aiMaterial();
    aiString name(MaterialName(index));
    material->AddProperty(&name, AI_MATKEY_NAME);
    aiColor3D diffuse = Colour(index, 0.8f), ambient = Colour(index, 0.2f), specular = Colour(index, 0.9f);
    material->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
    material->AddProperty(&ambient, 1, AI_MATKEY_COLOR_AMBIENT);
    material->AddProperty(&specular, 1, AI_MATKEY_COLOR_SPECULAR);
    float opacity = 1.0f;
    material->AddProperty(&opacity, 1, AI_MATKEY_OPACITY);
    for (int map = 0; map < shape.mapsPerMaterial; ++map) {
        aiString path(MapPath(index, map));
        if (map == 0)
            material->AddProperty(&path, AI_MATKEY_TEXTURE_DIFFUSE(0));
        else
            material->AddProperty(&path, AI_MATKEY_TEXTURE(aiTextureType_HEIGHT, map - 1));
    }
    return material;
}

aiMesh* MakeSoupMesh(const GridMesh& grid, const Placement& at, unsigned materialIndex, const std::string& name) {
    auto* mesh = new aiMesh();
    mesh->mName = aiString(name);
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = materialIndex;
    unsigned corners = unsigned(grid.corners.size());
    mesh->mNumVertices = corners;
    mesh->mVertices = new aiVector3D[corners];
    mesh->mNormals = new aiVector3D[corners];
    mesh->mTextureCoords[0] = new aiVector3D[corners];
    mesh->mNumUVComponents[0] = 2;
    for (unsigned k = 0; k < corners; ++k) {
        unsigned n = grid.corners[k];
        const float* p = &grid.positions[3 * n];
        const float* normal = &grid.normals[3 * n];
        mesh->mVertices[k] = aiVector3D(p[0] + at.x, p[1] + at.y, p[2] + at.z);
        mesh->mNormals[k] = aiVector3D(normal[0], normal[1], normal[2]);
        mesh->mTextureCoords[0][k] = aiVector3D(grid.uvs[2 * n], grid.uvs[2 * n + 1], 0.0f);
    }
    mesh->mNumFaces = corners / 3;
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        aiFace& face = mesh->mFaces[f];
        face.mNumIndices = 3;
        face.mIndices = new unsigned[3]{3 * f, 3 * f + 1, 3 * f + 2};
    }
    return mesh;
}

aiNode* MakeNode(const std::string& name, const Placement& at, float scale, aiNode* parent) {
    auto* node = new aiNode(name);
    node->mTransformation = aiMatrix4x4(scale, 0, 0, at.x, 0, scale, 0, at.y, 0, 0, scale, at.z, 0, 0, 0, 1);
    node->mParent = parent;
    return node;
}

}  // namespace

AssimpScene::AssimpScene(const SceneShape& shape) : scene_(new aiScene()) {
    aiScene& scene = *scene_;
    scene.mNumMaterials = unsigned(shape.materialCount > 0 ? shape.materialCount : 1);
    scene.mMaterials = new aiMaterial*[scene.mNumMaterials];
    for (unsigned m = 0; m < scene.mNumMaterials; ++m) scene.mMaterials[m] = MakeMaterial(shape, int(m));

    GridMesh grid = MakeGridMesh(shape.trianglesPerMesh);
    scene.mNumMeshes = unsigned(shape.meshCount);
    scene.mMeshes = new aiMesh*[scene.mNumMeshes];

    auto* root = new aiNode("Scene Root");
    scene.mRootNode = root;
    unsigned children = unsigned(shape.meshCount + shape.helperCount + shape.boundSphereCount) +
                        (shape.ellipsoid ? 1u : 0u);
    root->mChildren = new aiNode*[children];
    auto add = [root](aiNode* child) { root->mChildren[root->mNumChildren++] = child; };

    for (int i = 0; i < shape.meshCount; ++i) {
        unsigned material = unsigned(i % int(scene.mNumMaterials));
        // Corners are already in world space, as the exporter writes them.
        scene.mMeshes[i] = MakeSoupMesh(grid, MeshPlacement(i), material, MeshNodeName(i));
        aiNode* node = MakeNode(MeshNodeName(i), {0, 0, 0}, 1.0f, root);
        node->mNumMeshes = 1;
        node->mMeshes = new unsigned[1]{unsigned(i)};
        add(node);
    }
    for (int i = 0; i < shape.helperCount; ++i) add(MakeNode(HelperName(i), HelperPlacement(i), HelperSize(i), root));
    for (int i = 0; i < shape.boundSphereCount; ++i) add(MakeNode("GBND", SpherePlacement(i), SphereRadius(i), root));
    if (shape.ellipsoid) add(MakeNode("GELP", {0, 0, 0}, 3.0f, root));
}

AssimpScene::~AssimpScene() = default;

wux::ToolResult<double> ExportWithAssimp(const AssimpScene& scene, const char* formatId, const std::string& path) {
    Assimp::Exporter exporter;
    Stopwatch clock;
    aiReturn result = exporter.Export(&scene.scene(), formatId, path);
    double seconds = clock.seconds();
    if (result != aiReturn_SUCCESS)
        return wux::ToolError::Of(wux::ToolError::Kind::Output, "",
                              std::string(formatId) + " export to " + path + ": " + exporter.GetErrorString());
    return seconds;
}
