// Small host doubles for the collector tests: each records the host calls made on
// it, with the times passed, into one shared log, so that tests can check the
// calls the host requires; and with a ticking clock each answers a query at a time
// not asked of the host right before it with a stale value.
#pragma once

#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "host/max_sdk.h"
#include "model/export_model.h"

namespace fake {

using CallLog = std::vector<std::string>;

inline std::string Call(const char* what, TimeValue t) { return std::string(what) + "@" + std::to_string(t); }

// GetTime answers `time`, or start, start+1, ... when `advancing` (so each query
// shows which GetTime it followed). Throws bad_alloc on call number throwAtCall.
// When `ticking`, the host's time moves on by a tick at every time-dependent query,
// as while an animation plays: only a query at a time asked right before it sees the
// present.
class Interface : public ::Interface {
public:
    explicit Interface(CallLog* log, TimeValue time = 160) : log_(log), time_(time) {}
    TimeValue GetTime() override {
        ++calls;
        if (calls == throwAtCall) throw std::bad_alloc();
        if (log_ != nullptr) log_->push_back("GetTime");
        return advancing ? time_ + calls - 1 : time_;
    }
    // Whether a query at t sees the present; a ticking clock then moves on.
    bool Present(TimeValue t) {
        if (!ticking) return true;
        return t == time_++;
    }
    int calls = 0;
    int throwAtCall = -1;
    bool advancing = false;
    bool ticking = false;

private:
    CallLog* log_;
    TimeValue time_;
};

// The export's host as the fakes see it: a query at a time other than the present is stale.
inline bool Present(TimeValue t) {
    return hostInterface == nullptr || static_cast<Interface*>(hostInterface)->Present(t);
}
// What a stale query adds to the value it would have had.
constexpr float kStale = 1000.0f;

// An old-style block with one float parameter at index 0.
class ParamBlock : public IParamBlock {
public:
    ParamBlock(CallLog* log, float value, BOOL readable = TRUE) : log_(log), value_(value), readable_(readable) {}
    BOOL GetValue(int i, TimeValue t, float& v, Interval& ivalid) override {
        if (log_ != nullptr) log_->push_back(Call("GetValue", t) + " index " + std::to_string(i));
        intervalWasForever = ivalid == FOREVER;
        if (!readable_) return FALSE;
        v = Present(t) ? value_ : value_ + kStale;
        return TRUE;
    }
    bool intervalWasForever = false;

private:
    CallLog* log_;
    float value_;
    BOOL readable_;
};

// A parameter array that is not an old-style block (its GetParamBlock gives null).
class PlainParamArray : public IParamArray {};

// A second-generation block with one float parameter of ID 0.
class ParamBlock2 : public IParamBlock2 {
public:
    ParamBlock2(CallLog* log, float value, BOOL readable = TRUE) : log_(log), value_(value), readable_(readable) {}
    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& ivalid, int tabIndex) override {
        if (log_ != nullptr) {
            log_->push_back(Call("GetValue2", t) + " id " + std::to_string(id) + " tab " + std::to_string(tabIndex));
        }
        intervalWasForever = ivalid == FOREVER;
        if (!readable_ || id != 0) return FALSE;
        v = Present(t) ? value_ : value_ + kStale;
        return TRUE;
    }
    bool intervalWasForever = false;

private:
    CallLog* log_;
    float value_;
    BOOL readable_;
};

// A point helper: its size lives in a second-generation block of ID 0. Its
// old-style block slot answers a plain parameter array, which a collector must
// never take for the size block.
class Helper : public HelperObject {
public:
    explicit Helper(IParamBlock2* block, bool byIdOnly = false) : block_(block), byIdOnly_(byIdOnly) {}
    int NumParamBlocks() override { return block_ != nullptr && !byIdOnly_ ? 1 : 0; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 && !byIdOnly_ ? block_ : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override { return id == 0 ? block_ : nullptr; }
    IParamArray* GetParamBlock() override { return &decoy_; }

private:
    IParamBlock2* block_;
    bool byIdOnly_;
    PlainParamArray decoy_;
};

// Counts the triangle-mesh objects destroyed, to show who deletes temporaries.
class CountedTriObject : public TriObject {
public:
    explicit CountedTriObject(int* deletions) : deletions_(deletions) {}
    ~CountedTriObject() override { ++*deletions_; }

private:
    int* deletions_;
};

// One triangle in the XY plane.
inline void MakeOneTriangle(Mesh& mesh) {
    mesh.setNumVerts(3);
    mesh.verts[0] = Point3(0.0f, 0.0f, 0.0f);
    mesh.verts[1] = Point3(1.0f, 0.0f, 0.0f);
    mesh.verts[2] = Point3(0.0f, 1.0f, 0.0f);
    mesh.setNumFaces(1);
    mesh.faces[0].setVerts(0, 1, 2);
}

// A primitive with a radius at index 0 of an old-style block, which converts to a
// new triangle mesh on request (the caller owns it). With block2 set it also has a
// second-generation block, as objects whose old-style slot is not to be trusted.
class Primitive : public GeomObject {
public:
    Primitive(IParamArray* block, int* deletions) : block_(block), deletions_(deletions) {}
    IParamArray* GetParamBlock() override { return block_; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? block2 : nullptr; }
    IParamBlock2* block2 = nullptr;
    int CanConvertToType(Class_ID type) override { return type == triObjectClassID; }
    Object* ConvertToType(TimeValue, Class_ID type) override {
        if (!(type == triObjectClassID)) return nullptr;
        auto* tri = new CountedTriObject(deletions_);
        MakeOneTriangle(tri->mesh);
        return tri;
    }

private:
    IParamArray* block_;
    int* deletions_;
};

// An object that cannot become a mesh, such as a camera.
class Camera : public Object {
public:
    SClass_ID SuperClassID() override { return 0x20; }
};

// A node whose object may differ between time 0 and any other time.
class Node : public INode {
public:
    Node(CallLog* log, std::string name, Object* object)
        : atZero(object), atOther(object), tm(TRUE), log_(log), name_(std::move(name)) {}
    TCHAR* GetName() override {
        log_->push_back("GetName");
        return &name_[0];
    }
    Mtl* GetMtl() override {
        log_->push_back("GetMtl");
        return material;
    }
    const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden) override {
        log_->push_back(Call("EvalWorldState", time) + (evalHidden ? " hidden" : " visible-only"));
        // Time 0 is a time of its own; any other but the present sees no object.
        state_ = ObjectState(time == 0 ? atZero : Present(time) ? atOther : nullptr);
        return state_;
    }
    Matrix3 GetObjTMAfterWSM(TimeValue time, Interval* valid) override {
        log_->push_back(Call("GetObjTMAfterWSM", time) + (valid == nullptr ? "" : " interval"));
        Matrix3 at = tm;
        if (!Present(time)) at.Translate(Point3(kStale, kStale, kStale));
        return at;
    }

    Object* atZero;
    Object* atOther;
    Matrix3 tm;
    Mtl* material = nullptr;

private:
    CallLog* log_;
    std::string name_;
    ObjectState state_;
};

// An export in progress: a fresh model and the fake interface in the export state.
class ExportScope {
public:
    explicit ExportScope(CallLog* log, TimeValue time = 160) : host(log, time) {
        currentModel = &model;
        hostInterface = &host;
    }
    ~ExportScope() {
        currentModel = nullptr;
        hostInterface = nullptr;
    }
    ExportScope(const ExportScope&) = delete;
    ExportScope& operator=(const ExportScope&) = delete;

    ExportModel model;
    Interface host;
};

// Builds an object transform from axis rows and a translation.
struct Row {
    float x, y, z;
};
inline Matrix3 Transform(Row x, Row y, Row z, Row t) {
    Matrix3 m(TRUE);
    const Row rows[] = {x, y, z, t};
    for (int i = 0; i < 4; ++i) m.SetRow(i, Point3(rows[i].x, rows[i].y, rows[i].z));
    return m;
}

template <typename T>
std::vector<T*> Records(RecordList& list) {
    std::vector<T*> records;
    const int32_t n = list.count();
    ModelRecord* record = list.first();
    for (int32_t i = 0; i < n; ++i) {
        records.push_back(static_cast<T*>(record));
        record = list.next();
    }
    return records;
}

}  // namespace fake
