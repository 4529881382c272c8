#include "input/json_scene.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "input/json_scene_schema.h"
#include "input/json_text_source.h"

namespace wux {
namespace {

using json_scene::Json;
using json_scene::SchemaProblem;

std::string Byte(std::size_t at) { return "byte " + std::to_string(at); }

// Builds the scene from the parser's events. Each open bracket of the text is one frame with
// a role: the scene's nodes, objects and the large arrays of meshes are read into the scene
// description as they come; the few small values of one node, object or material are held as
// a small tree until their object ends and are checked then, in a fixed order. The text is
// read to its end even after a schema fault, since a syntax fault anywhere, then a key given
// twice, outrank it; of schema faults the one a reader of the whole tree meets first wins.
class SceneBuilder {
public:
    explicit SceneBuilder(JsonTextSource* source) : source_(source) {}

    // The parser's events; each returns false to stop the parse.
    bool null() { return Guard([&] { Scalar(Json(nullptr)); }); }
    bool boolean(bool v) { return Guard([&] { Scalar(Json(v)); }); }
    bool number_integer(Json::number_integer_t v) { return Guard([&] { Scalar(Json(v)); }); }
    bool number_unsigned(Json::number_unsigned_t v) { return Guard([&] { Scalar(Json(v)); }); }
    bool number_float(Json::number_float_t v, const std::string&) { return Guard([&] { Scalar(Json(v)); }); }
    bool string(std::string& v) { return Guard([&] { Scalar(Json(std::move(v))); }); }
    bool binary(Json::binary_t&) { return true; }  // not in JSON text
    bool start_object(std::size_t) { return Open(true); }
    bool start_array(std::size_t) { return Open(false); }
    bool end_object() { return Guard([&] { Close(); }); }
    bool end_array() { return Guard([&] { Close(); }); }
    bool key(std::string& k) { return Guard([&] { Key(std::move(k)); }); }
    bool parse_error(std::size_t position, const std::string& lastToken, const nlohmann::detail::exception& e) {
        syntax_ = SyntaxProblem(position, lastToken, e);
        return false;
    }

    bool OutOfMemory() const { return outOfMemory_; }
    // Each with a byte offset for its path.
    const std::optional<SchemaProblem>& Syntax() const { return syntax_; }
    const std::optional<SchemaProblem>& Duplicate() const { return duplicate_; }
    const std::optional<SchemaProblem>& Problem() const { return problem_; }
    SceneDescription& Scene() { return scene_; }

private:
    enum class Role {
        Top,       // the top-level object
        NodeList,  // "nodes", or a node's "children": each element a node
        Node,
        Object,    // a node's "object"
        MeshArray, // "verts", "faces", ... of an object: each element kept as it comes
        Element,   // one element of a MeshArray
        Tree,      // any other value: built as a small tree
        Skip,      // content that cannot matter (its type is all that counts): parsed, not kept
    };

    // A fault inside the nodes, with the place in document order of the node it is about.
    struct NodeProblem {
        SchemaProblem problem;
        std::size_t order = 0;
    };

    // What a node frame gathers besides its own small values.
    struct NodeParts {
        std::size_t order = 0;  // the node's place in document order
        std::vector<SceneNode> children;
        std::optional<NodeProblem> childrenProblem;
        bool objectStreamed = false;
        SceneObject object;
        std::optional<SchemaProblem> objectProblem;
    };

    // Cheap to make: a mesh has one frame for each of its vertices and faces.
    struct Frame {
        Role role = Role::Skip;
        bool isObject = false;
        bool skipValue = false;    // the key whose value comes next was given before
        json_scene::MeshArrays::Part part = json_scene::MeshArrays::Part::Verts;  // MeshArray
        std::size_t count = 0;     // NodeList, MeshArray: elements met
        Json* target = nullptr;    // Tree: the container being filled
        // NodeList: where its nodes and its first fault go.
        std::vector<SceneNode>* nodesOut = nullptr;
        std::optional<NodeProblem>* problemOut = nullptr;
        std::string path;          // Top, NodeList, Node, Object, MeshArray
        std::string key;           // an object's key whose value comes next
        Json own;                  // Top, Node, Object: the frame's small values by key
        std::unique_ptr<std::set<std::string>> skippedKeys;  // Skip objects: for keys given twice
        std::unique_ptr<NodeParts> node;                     // Node
        std::unique_ptr<json_scene::MeshArrays> mesh;        // Object
    };

    // Allocation failures stop the parse here rather than unwind through the parser.
    template <class F>
    bool Guard(F&& f) {
        try {
            f();
            return true;
        } catch (const std::bad_alloc&) {
            outOfMemory_ = true;
            return false;
        }
    }

    bool Open(bool isObject) {
        if (frames_.size() >= kMaxJsonDepth) {
            syntax_ = SchemaProblem{Byte(source_->LastBracket()),
                                    "nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels"};
            return false;
        }
        return Guard([&] { Container(isObject); });
    }

    Frame& Push(Role role, bool isObject) {
        if (frames_.capacity() == 0) frames_.reserve(kMaxJsonDepth);
        frames_.emplace_back();
        Frame& f = frames_.back();
        f.role = role;
        f.isObject = isObject;
        return f;
    }

    void PushSkip(bool isObject) {
        Frame& f = Push(Role::Skip, isObject);
        if (isObject) f.skippedKeys = std::make_unique<std::set<std::string>>();
    }

    // The mesh of the object whose array is the innermost open frame.
    json_scene::MeshArrays& MeshOfArray() { return *frames_[frames_.size() - 2].mesh; }

    static Json Empty(bool isObject) { return isObject ? Json::object() : Json::array(); }

    // A scalar value: where it belongs depends on the innermost open frame.
    void Scalar(Json value) {
        if (frames_.empty()) return NotAnObjectAtTop(value);
        Frame& f = frames_.back();
        switch (f.role) {
            case Role::Top:
            case Role::Node:
            case Role::Object:
                if (!f.skipValue) f.own[f.key] = std::move(value);
                return ValueDone(f);
            case Role::Tree:
                if (f.isObject) {
                    if (!f.skipValue) (*f.target)[f.key] = std::move(value);
                } else {
                    f.target->push_back(std::move(value));
                }
                return;
            case Role::NodeList: return NodeNotAnObject(f, value);
            case Role::MeshArray:
                MeshOfArray().Add(f.part, f.count++, json_scene::Items::Other(value));
                return;
            case Role::Element: elementItems_.push_back(std::move(value)); return;
            case Role::Skip: return;
        }
    }

    void Container(bool isObject) {
        if (frames_.empty()) {
            if (isObject) {
                Frame& top = Push(Role::Top, true);
                top.own = Json::object();
                return;
            }
            NotAnObjectAtTop(Json::array());
            return PushSkip(false);
        }
        Frame& f = frames_.back();
        switch (f.role) {
            case Role::Top:
            case Role::Node:
            case Role::Object: return KeyedContainer(f, isObject);
            case Role::Tree: {
                Json* child = nullptr;
                if (f.isObject) {
                    if (f.skipValue) return PushSkip(isObject);
                    child = &((*f.target)[f.key] = Empty(isObject));
                } else {
                    f.target->push_back(Empty(isObject));
                    child = &f.target->back();
                }
                Frame& tree = Push(Role::Tree, isObject);
                tree.target = child;
                return;
            }
            case Role::NodeList: {
                if (!isObject) {
                    NodeNotAnObject(f, Json::array());
                    return PushSkip(false);
                }
                const std::string path = json_scene::Index(f.path, f.count++);
                Frame& node = Push(Role::Node, true);
                node.path = path;
                node.own = Json::object();
                node.node = std::make_unique<NodeParts>();
                node.node->order = nodeCount_++;
                return;
            }
            case Role::MeshArray: {
                if (isObject) {
                    MeshOfArray().Add(f.part, f.count++, json_scene::Items::Other(Json::object()));
                    return PushSkip(true);
                }
                Push(Role::Element, false);
                elementItems_.clear();
                return;
            }
            case Role::Element:
                elementItems_.push_back(Empty(isObject));
                return PushSkip(isObject);
            case Role::Skip: return PushSkip(isObject);
        }
    }

    // A container as the value of a key of the top level, a node or an object.
    void KeyedContainer(Frame& f, bool isObject) {
        if (f.skipValue) return PushSkip(isObject);
        const std::string path = json_scene::Member(f.path, f.key);
        f.own[f.key] = Empty(isObject);  // stands in for what is read into the scene
        if (f.role == Role::Top && f.key == "nodes" && !isObject) {
            Frame& list = Push(Role::NodeList, false);
            list.path = path;
            list.nodesOut = &scene_.nodes;
            list.problemOut = &nodesProblem_;
            return;
        }
        if (f.role == Role::Node && f.key == "children" && !isObject) {
            Frame& list = Push(Role::NodeList, false);
            list.path = path;
            list.nodesOut = &f.node->children;
            list.problemOut = &f.node->childrenProblem;
            return;
        }
        if (f.role == Role::Node && f.key == "object" && isObject) {
            f.node->objectStreamed = true;
            Frame& object = Push(Role::Object, true);
            object.path = path;
            object.own = Json::object();
            object.mesh = std::make_unique<json_scene::MeshArrays>();
            return;
        }
        if (f.role == Role::Object && !isObject) {
            if (const auto part = json_scene::MeshArrays::PartOf(f.key)) {
                f.mesh->Begin(*part, path);
                Frame& array = Push(Role::MeshArray, false);
                array.path = path;
                array.part = *part;
                return;
            }
        }
        Frame& tree = Push(Role::Tree, isObject);
        tree.target = &f.own[f.key];
    }

    void Key(std::string k) {
        Frame& f = frames_.back();
        bool given = false;
        switch (f.role) {
            case Role::Top:
            case Role::Node:
            case Role::Object: given = f.own.contains(k); break;
            case Role::Tree: given = f.target->contains(k); break;
            case Role::Skip: given = !f.skippedKeys->insert(k).second; break;
            default: break;
        }
        if (given && !duplicate_)
            duplicate_ = SchemaProblem{Byte(source_->LastStringStart()), "key \"" + k + "\" given twice in one object"};
        f.skipValue = given;
        f.key = std::move(k);
    }

    void Close() {
        if (frames_.back().role == Role::Element) {
            frames_.pop_back();
            Frame& array = frames_.back();
            MeshOfArray().Add(array.part, array.count++, json_scene::Items::Array(elementItems_));
            return;
        }
        Frame done = std::move(frames_.back());
        frames_.pop_back();
        switch (done.role) {
            case Role::Top: return FinishScene(done);
            case Role::Node: return FinishNode(done);
            case Role::Object: return FinishObject(done);
            case Role::Element: return;
            case Role::Tree:
            case Role::Skip:
            case Role::NodeList:
            case Role::MeshArray:
                if (!frames_.empty()) ValueDone(frames_.back());
                return;
        }
    }

    // A key's value has ended: the materials are read at once, nodes need their count.
    void ValueDone(Frame& f) {
        if (f.role != Role::Top || f.key != "materials" || f.skipValue) return;
        try {
            scene_.materials = json_scene::ReadMaterials(f.own["materials"]);
            materialsRead_ = true;
        } catch (SchemaProblem& p) {
            materialsProblem_ = std::move(p);
        }
    }

    void NotAnObjectAtTop(const Json& value) {
        problem_ = json_scene::WrongType("expected an object", value, "top level");
    }

    void NodeNotAnObject(Frame& list, const Json& value) {
        const std::string path = json_scene::Index(list.path, list.count++);
        if (!*list.problemOut)
            *list.problemOut = NodeProblem{json_scene::WrongType("expected an object", value, path), nodeCount_};
        ++nodeCount_;
    }

    void FinishNode(Frame& done) {
        Frame& list = frames_.back();
        SceneNode node;
        std::size_t origin = done.node->order;
        try {
            const std::size_t materialCount = scene_.materials.size();
            std::optional<json_scene::PendingMaterial> pending;
            json_scene::ReadNodeOwnKeys(done.own, done.path, materialsRead_ ? &materialCount : nullptr, &node, &pending);
            if (pending) pendingMaterials_.push_back({std::move(*pending), done.node->order});
            if (done.node->objectStreamed) {
                if (done.node->objectProblem) throw *done.node->objectProblem;
                node.object = std::move(done.node->object);
            } else if (const auto it = done.own.find("object"); it != done.own.end()) {
                throw json_scene::WrongType("expected an object", *it, json_scene::Member(done.path, "object"));
            }
            if (const auto it = done.own.find("children"); it != done.own.end()) {
                if (!it->is_array())
                    throw json_scene::WrongType("expected an array", *it, json_scene::Member(done.path, "children"));
                if (done.node->childrenProblem) {
                    origin = done.node->childrenProblem->order;
                    throw done.node->childrenProblem->problem;
                }
                node.children = std::move(done.node->children);
            }
        } catch (SchemaProblem& p) {
            if (!*list.problemOut) *list.problemOut = NodeProblem{std::move(p), origin};
            return;
        }
        if (!*list.problemOut) list.nodesOut->push_back(std::move(node));
    }

    void FinishObject(Frame& done) {
        Frame& node = frames_.back();
        try {
            node.node->object = done.mesh->Finish(done.own, done.path);
        } catch (SchemaProblem& p) {
            node.node->objectProblem = std::move(p);
        }
    }

    // The same order as a reader of the whole tree: top-level keys, "time", "materials", "nodes".
    void FinishScene(Frame& top) {
        try {
            json_scene::CheckTopLevelKeys(top.own);
            scene_.time = json_scene::ReadTime(top.own);
            if (materialsProblem_) throw *materialsProblem_;
            json_scene::CheckNodesKey(top.own);
            // Indices given before the materials were read, in document order; one fails
            // first when its node comes no later than the node of any other fault.
            std::stable_sort(pendingMaterials_.begin(), pendingMaterials_.end(),
                             [](const Pending& a, const Pending& b) { return a.order < b.order; });
            for (const Pending& pending : pendingMaterials_) {
                if (nodesProblem_ && pending.order > nodesProblem_->order) break;
                json_scene::CheckPendingMaterial(pending.material, scene_.materials.size());
            }
            if (nodesProblem_) throw nodesProblem_->problem;
        } catch (SchemaProblem& p) {
            problem_ = std::move(p);
        }
    }

    // The library's message without its "[json.exception...] " prefix; byte offsets count from 0.
    SchemaProblem SyntaxProblem(std::size_t position, const std::string& lastToken, const nlohmann::detail::exception& e) {
        std::string text = e.what();
        if (!text.empty() && text[0] == '[') {
            const auto close = text.find("] ");
            if (close != std::string::npos) text = text.substr(close + 2);
        }
        // A number too large for a double: the position is the end of its token.
        const bool overflow = dynamic_cast<const nlohmann::detail::parse_error*>(&e) == nullptr;
        const std::size_t at = overflow ? position - std::min(position, lastToken.size()) : (position > 0 ? position - 1 : 0);
        // The parser takes a NUL byte for the end of the text.
        if (at == source_->FirstNul()) {
            const auto end = text.find("unexpected end of input");
            if (end != std::string::npos) text.replace(end, 23, "unexpected NUL character");
        }
        return SchemaProblem{Byte(at), text};
    }

    JsonTextSource* source_;
    // Reserved to the depth limit once: frames hold pointers into the frames below them.
    std::vector<Frame> frames_;
    std::vector<Json> elementItems_;  // the open Element's items
    SceneDescription scene_;
    bool materialsRead_ = false;
    std::optional<SchemaProblem> materialsProblem_;
    std::optional<NodeProblem> nodesProblem_;
    struct Pending {
        json_scene::PendingMaterial material;
        std::size_t order;
    };
    std::vector<Pending> pendingMaterials_;
    std::size_t nodeCount_ = 0;
    std::optional<SchemaProblem> syntax_;
    std::optional<SchemaProblem> duplicate_;
    std::optional<SchemaProblem> problem_;
    bool outOfMemory_ = false;
};

ToolResult<SceneDescription> Parse(JsonTextSource* source, const std::string& sourceName) {
    auto fail = [&](ToolError::Kind kind, const SchemaProblem& p) {
        return ToolError{kind, sourceName, p.path, std::nullopt, p.what};
    };
    SceneBuilder builder(source);
    const bool parsed = Json::sax_parse(source->begin(), source->end(), &builder);
    if (builder.OutOfMemory()) throw std::bad_alloc();
    if (source->ReadError()) return *source->ReadError();
    if (builder.Syntax()) return fail(ToolError::Kind::Syntax, *builder.Syntax());
    if (parsed && source->FirstNul() != JsonTextSource::kNone)
        return fail(ToolError::Kind::Syntax,
                    SchemaProblem{Byte(source->FirstNul()), "unexpected NUL character after the top-level value"});
    if (builder.Duplicate()) return fail(ToolError::Kind::Schema, *builder.Duplicate());
    if (builder.Problem()) return fail(ToolError::Kind::Schema, *builder.Problem());
    return std::move(builder.Scene());
}

}  // namespace

ToolResult<SceneDescription> ParseJsonScene(const std::string& text, const std::string& sourceName) {
    JsonTextSource source(text);
    return Parse(&source, sourceName);
}

ToolResult<SceneDescription> ReadJsonSceneFile(const std::string& path, const ReadProgress& progress) {
    JsonTextSource source;
    source.SetProgress(progress);
    if (ToolResult<void> opened = source.Open(path); !opened.Ok()) return opened.Error();
    return Parse(&source, path);
}

void ReportMissingTextures(const SceneDescription& scene, const std::string& folder, Warnings* warnings) {
    std::vector<bool> used(scene.materials.size());
    ForEachNode(scene.nodes, [&used](const SceneNode& node) {
        if (node.material >= 0 && static_cast<std::size_t>(node.material) < used.size()) used[node.material] = true;
    });
    for (std::size_t i = 0; i < used.size(); ++i) {
        const SceneMaterial& material = scene.materials[i];
        if (!used[i] || !material.IsStandard()) continue;
        for (const SceneMap& map : material.maps) {
            if (!map.enabled || map.kind != SceneMap::Kind::Bitmap) continue;
            std::string path = map.path;
            std::replace(path.begin(), path.end(), '\\', '/');
            std::error_code ec;
            const std::filesystem::path file(path);
            if (!path.empty() && std::filesystem::is_regular_file(file.is_absolute() ? file : folder / file, ec)) continue;
            warnings->Add(WarningKind::TexturesMissing,
                          QuotedName(material.name) + " slot " + std::to_string(map.slot) + ": " + map.path);
        }
    }
}

}  // namespace wux
