// The exporter object, its class descriptor and the entry point, linked in directly.
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/standin/standin.h"
#include "model/export_model.h"
#include "plugin/model_exporter.h"
#include "tests/plugin/plugin_test_support.h"
#include "tests/support/sample_scene.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wux_bytes.h"
#include "tests/support/wux_check.h"
#include "writer/save_result.h"

namespace {

// A scene whose walk runs out of memory, as a host call may.
class OutOfMemoryScene : public IScene {
public:
    int EnumTree(ITreeEnumProc*) override { throw std::bad_alloc(); }
};

class PluginExporterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StandinSetMessageBoxEcho(false);
        StandinClearMessageBoxCalls();
    }

    int ExportEmpty(const std::string& path, BOOL suppressPrompts = FALSE)
    {
        StandinScene scene;
        StandinExpInterface ei(&scene);
        StandinInterface host;
        return exporter.DoExport(path.c_str(), &ei, &host, suppressPrompts);
    }

    ModelExporter exporter;
    TempFolder folder;
};

TEST_F(PluginExporterTest, DescribesTheWuxFileType)
{
    struct Text {
        const char* what;
        const TCHAR* actual;
        const char* expected;
    };
    const Text texts[] = {
        {"Ext(0)", exporter.Ext(0), "WUX"},
        {"Ext(1)", exporter.Ext(1), ""},
        {"Ext(-1)", exporter.Ext(-1), ""},
        {"Ext(1000)", exporter.Ext(1000), ""},
        {"LongDesc", exporter.LongDesc(), "My export first plugin"},
        {"ShortDesc", exporter.ShortDesc(), "My exporter"},
        {"OtherMessage1", exporter.OtherMessage1(), ""},
        {"OtherMessage2", exporter.OtherMessage2(), ""},
    };
    for (const Text& text : texts) {
        ASSERT_NE(text.actual, nullptr) << text.what;
        EXPECT_STREQ(text.actual, text.expected) << text.what;
    }
    EXPECT_NE(exporter.AuthorName(), nullptr);
    EXPECT_NE(exporter.CopyrightMessage(), nullptr);
    EXPECT_EQ(exporter.ExtCount(), 1);
    EXPECT_EQ(exporter.Version(), 100u);
}

TEST_F(PluginExporterTest, SupportsNoOptionForAnyExtension)
{
    SceneExport& asHost = exporter;  // through the host's interface
    for (int ext : {0, 1, -1, 7}) {
        for (DWORD options : {DWORD(0), DWORD(1), DWORD(0x80000000u), DWORD(0xFFFFFFFFu)}) {
            EXPECT_EQ(asHost.SupportsOptions(ext, options), FALSE) << ext << " " << options;
        }
    }
}

TEST_F(PluginExporterTest, AboutBoxIsOwnedByTheHostsWindow)
{
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    exporter.ShowAbout(owner);
    const auto& calls = StandinMessageBoxCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, owner);
    EXPECT_EQ(calls[0].text, "First exporter plugin");
    EXPECT_EQ(calls[0].caption, "About");
    EXPECT_EQ(calls[0].type, UINT(MB_OK));
}

TEST_F(PluginExporterTest, EmptySceneGivesThe108ByteFileAndNoMessage)
{
    const std::string path = folder.Path("empty.wux");
    EXPECT_EQ(ExportEmpty(path), 1);
    EXPECT_EQ(ReadFileBytes(path), wuxtest::EmptySceneFile());
    EXPECT_TRUE(PassesChecker(path));
    EXPECT_TRUE(StandinMessageBoxCalls().empty());
    EXPECT_EQ(currentModel, nullptr);
    EXPECT_EQ(hostInterface, nullptr);
}

// The export fails with the SDK's failure code; the one message, naming the file only, is
// shown unless the host suppresses prompts.
TEST_F(PluginExporterTest, MissingFolderFailsWithOneMessageNamingTheFileOnly)
{
    struct Case {
        std::string path;
        BOOL suppressPrompts;
    };
    const Case cases[] = {
        {folder.Path("missing/D:\\missing\\scene.wux"), FALSE},
        {folder.Path("missing/D:\\missing\\scene.wux"), TRUE},
        {"/no/such/folder/scene.wux", FALSE},
    };
    for (const Case& c : cases) {
        StandinClearMessageBoxCalls();
        EXPECT_EQ(ExportEmpty(c.path, c.suppressPrompts), IMPEXP_FAIL) << c.path;
        const auto& calls = StandinMessageBoxCalls();
        EXPECT_FALSE(FileExists(c.path));
        EXPECT_EQ(currentModel, nullptr);
        if (c.suppressPrompts) {
            EXPECT_TRUE(calls.empty()) << c.path;
            continue;
        }
        ASSERT_EQ(calls.size(), 1u) << c.path;
        EXPECT_EQ(calls[0].text, ExpectedCannotCreateMessage("scene.wux")) << c.path;
        EXPECT_EQ(calls[0].caption, ExpectedCannotCreateCaption());
        EXPECT_EQ(calls[0].type, UINT(MB_OK));
        EXPECT_EQ(calls[0].owner, GetActiveWindow());
    }
    EXPECT_TRUE(folder.Files().empty());
}

TEST_F(PluginExporterTest, ThousandCharacterNameIsCutInsideTheBuffer)
{
    const std::string name(1000, 'n');
    EXPECT_EQ(ExportEmpty(folder.Path("missing/x\\" + name)), IMPEXP_FAIL);
    const auto& calls = StandinMessageBoxCalls();
    ASSERT_EQ(calls.size(), 1u);
    // 45 bytes of text around 454 bytes of the name, and the NUL: 500 bytes.
    EXPECT_EQ(calls[0].text, ExpectedCannotCreateMessage(name.substr(0, 454)));
    EXPECT_EQ(calls[0].text.size(), kMessageBufferSize - 1);
}

TEST_F(PluginExporterTest, OutOfMemoryEndsTheExportLikeAFileThatCannotBeCreated)
{
    // An earlier failed save's cause must not be reported for this export.
    EXPECT_EQ(ExportEmpty(folder.Path("missing/x.wux"), TRUE), IMPEXP_FAIL);
    ASSERT_NE(LastSaveFailure().kind, SaveError::Kind::None);
    OutOfMemoryScene scene;
    ExpInterface ei;
    ei.theScene = &scene;
    StandinInterface host;
    const std::string path = folder.Path("C:\\out\\memory.wux");
    EXPECT_EQ(exporter.DoExport(path.c_str(), &ei, &host), IMPEXP_FAIL);
    const auto& calls = StandinMessageBoxCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, ExpectedCannotCreateMessage("memory.wux"));
    EXPECT_TRUE(folder.Files().empty());
    EXPECT_EQ(currentModel, nullptr);
    EXPECT_EQ(hostInterface, nullptr);
    EXPECT_EQ(LastSaveFailure().kind, SaveError::Kind::None);
}

// Collectors meet host calls that throw; the stand-in's walk calls back through a noexcept
// boundary, as a foreign host effectively does, so anything escaping would end this test.
class ThrowingBlock : public IParamBlock {
public:
    BOOL GetValue(int, TimeValue, float&, Interval&) override { throw std::bad_alloc(); }
};

class ThrowingBlock2 : public IParamBlock2 {
public:
    BOOL GetValue(ParamID, TimeValue, float&, Interval&, int) override { throw std::runtime_error("host failure"); }
};

class ThrowingHelper : public HelperObject {
public:
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? &block : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override { return id == 0 ? &block : nullptr; }
    using BaseObject::GetParamBlock;

private:
    ThrowingBlock2 block;
};

class ThrowingPrimitive : public GeomObject {
public:
    IParamArray* GetParamBlock() override { return &block; }
    using Animatable::GetParamBlock;
    int CanConvertToType(Class_ID) override { return TRUE; }
    Object* ConvertToType(TimeValue, Class_ID) override { throw 7; }

private:
    ThrowingBlock block;
};

class ThrowingMaterial : public StandinStdMat {
public:
    ThrowingMaterial() : StandinStdMat("Paint") {}
    Color GetDiffuse(TimeValue) override { throw std::bad_alloc(); }
};

// Counts the walk's visits, to show that it stopped.
class CountingNode : public StandinNode {
public:
    using StandinNode::StandinNode;
    const ObjectState& EvalWorldState(TimeValue time, BOOL evalHidden) override
    {
        ++visits;
        return StandinNode::EvalWorldState(time, evalHidden);
    }
    int visits = 0;
};

TEST_F(PluginExporterTest, AnExceptionInAnyCollectorFailsTheExport)
{
    enum class Thrower { ReferenceSize, SphereRadius, EllipsoidRadius, Material, Conversion };
    struct Case {
        const char* collector;
        Thrower thrower;
        const char* name;
    };
    const Case cases[] = {
        {"reference helper", Thrower::ReferenceSize, "Point01"},
        {"bound sphere", Thrower::SphereRadius, "GBND"},
        {"ellipsoid", Thrower::EllipsoidRadius, "GELP"},
        {"material", Thrower::Material, "Box01"},
        {"mesh conversion", Thrower::Conversion, "Box02"},
    };
    for (const Case& c : cases) {
        StandinClearMessageBoxCalls();
        const long alive = StandinTriObjectsAlive();
        {
            StandinScene scene;
            TriObject* box = scene.Create<TriObject>();
            box->mesh.setNumVerts(3);
            box->mesh.setNumFaces(1);
            box->mesh.faces[0].setVerts(0, 1, 2);
            scene.AddNode(nullptr, "Before")->SetObject(box);
            StandinNode* thrower = scene.AddNode(nullptr, c.name);
            switch (c.thrower) {
                case Thrower::ReferenceSize: thrower->SetObject(scene.Create<ThrowingHelper>()); break;
                case Thrower::SphereRadius:
                case Thrower::EllipsoidRadius:
                case Thrower::Conversion: thrower->SetObject(scene.Create<ThrowingPrimitive>()); break;
                case Thrower::Material:
                    thrower->SetObject(box);
                    thrower->SetMtl(scene.Create<ThrowingMaterial>());
                    break;
            }
            CountingNode* after = scene.AddNodeOf<CountingNode>(nullptr, "After");
            after->SetObject(box);

            StandinExpInterface ei(&scene);
            StandinInterface host;
            const std::string path = folder.Path("C:\\out\\failed.wux");
            EXPECT_EQ(exporter.DoExport(path.c_str(), &ei, &host), IMPEXP_FAIL) << c.collector;
            EXPECT_EQ(after->visits, 0) << c.collector << ": the walk went on";
            const auto& calls = StandinMessageBoxCalls();
            ASSERT_EQ(calls.size(), 1u) << c.collector;
            EXPECT_EQ(calls[0].text, ExpectedCannotCreateMessage("failed.wux")) << c.collector;
            EXPECT_TRUE(folder.Files().empty()) << c.collector;
            EXPECT_EQ(currentModel, nullptr);
            EXPECT_EQ(hostInterface, nullptr);
            EXPECT_FALSE(collectionFailed);
        }
        EXPECT_EQ(StandinTriObjectsAlive(), alive) << c.collector;
    }
    // The next export starts afresh and succeeds.
    StandinClearMessageBoxCalls();
    const std::string path = folder.Path("next.wux");
    EXPECT_EQ(ExportEmpty(path), 1);
    EXPECT_EQ(ReadFileBytes(path), wuxtest::EmptySceneFile());
    EXPECT_TRUE(PassesChecker(path));
    EXPECT_TRUE(StandinMessageBoxCalls().empty());
}

TEST_F(PluginExporterTest, EachExportStartsFromAnEmptyModel)
{
    const std::string full = folder.Path("full.wux");
    {
        SampleScene scene;
        EXPECT_EQ(exporter.DoExport(full.c_str(), scene.exportInterface(), scene.hostInterface()), 1);
    }
    EXPECT_GT(ReadFileBytes(full).size(), wuxtest::EmptySceneFile().size());
    EXPECT_TRUE(PassesChecker(full));

    const std::string empty = folder.Path("empty.wux");
    EXPECT_EQ(ExportEmpty(empty), 1);
    EXPECT_EQ(ReadFileBytes(empty), wuxtest::EmptySceneFile());
    EXPECT_TRUE(StandinMessageBoxCalls().empty());
}

TEST(PluginFailureMessageTest, TextsAreTheWindows1251Bytes)
{
    EXPECT_EQ(std::strlen(kCannotCreateFormat), 47u);
    EXPECT_EQ(std::string(kCannotCreateFormat), ExpectedCannotCreateMessage("%s"));
    EXPECT_EQ(std::string(kCannotCreateCaption), ExpectedCannotCreateCaption());
}

TEST(PluginFailureMessageTest, NeverWritesPastTheBuffer)
{
    // Heap buffers of the exact size, so that AddressSanitizer sees any overrun.
    const std::string longName(1000, 'x');
    for (std::size_t size : {std::size_t(1), std::size_t(10), std::size_t(46), std::size_t(47),
                             std::size_t(48), std::size_t(500)}) {
        std::unique_ptr<char[]> buffer(new char[size]);
        FormatCannotCreateMessage(buffer.get(), size, longName.c_str());
        const std::string text(buffer.get());
        EXPECT_EQ(text.size(), size - 1) << size;
        EXPECT_EQ(text, ExpectedCannotCreateMessage(longName.substr(0, size > 46 ? size - 46 : 0))
                            .substr(0, size - 1))
            << size;
    }
    char exact[46 + 9];  // room for "scene.wux" exactly
    FormatCannotCreateMessage(exact, sizeof(exact), "scene.wux");
    EXPECT_EQ(std::string(exact), ExpectedCannotCreateMessage("scene.wux"));
}

TEST(PluginClassDescTest, DescribesAPublicSceneExporter)
{
    ModelExporterClassDesc desc;
    EXPECT_EQ(desc.IsPublic(), TRUE);
    EXPECT_STREQ(desc.ClassName(), "Tolvar");
    EXPECT_STREQ(desc.Category(), "");
    EXPECT_EQ(desc.SuperClassID(), SClass_ID(0xA20));
    Class_ID id = desc.ClassID();
    EXPECT_EQ(id.PartA(), 0x280D4A49u);
    EXPECT_EQ(id.PartB(), 0x4ABE3694u);
}

TEST(PluginClassDescTest, EveryCreateMakesANewExporter)
{
    ClassDesc& desc = exporterClassDesc;
    std::unique_ptr<SceneExport> first(static_cast<SceneExport*>(desc.Create(FALSE)));
    std::unique_ptr<SceneExport> second(static_cast<SceneExport*>(desc.Create(TRUE)));
    static_assert(noexcept(exporterClassDesc.Create(FALSE)), "Create lets nothing out into the host");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first.get(), second.get());
    EXPECT_NE(dynamic_cast<ModelExporter*>(first.get()), nullptr);
    EXPECT_STREQ(second->Ext(0), "WUX");
}

TEST(PluginDllMainTest, SecondCallOnlyStoresTheHandle)
{
    ASSERT_FALSE(controlsInitialized);  // nothing loads this test program as a library
    const int custom = StandinInitCustomControlsCalls();
    const int common = StandinInitCommonControlsCalls();
    HINSTANCE first = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000));
    HINSTANCE second = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x20000));

    EXPECT_EQ(DllMain(first, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_TRUE(controlsInitialized);
    EXPECT_EQ(hInstance, first);
    EXPECT_EQ(StandinInitCustomControlsCalls(), custom + 1);
    EXPECT_EQ(StandinInitCommonControlsCalls(), common + 1);

    EXPECT_EQ(DllMain(second, DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(hInstance, second);
    EXPECT_EQ(StandinInitCustomControlsCalls(), custom + 1);
    EXPECT_EQ(StandinInitCommonControlsCalls(), common + 1);
}

}  // namespace
