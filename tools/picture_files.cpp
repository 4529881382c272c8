#include "tools/picture_files.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "tools/file_bytes.h"
#include "tools/wux_reader.h"
#include "writer/file_sink.h"

namespace wux {

int LoadPictureScene(const std::string& command, const std::string& path, PictureScene* scene) {
    const FileBytes file = LoadFileBytes(path);
    if (!file.ok) {
        std::cerr << "wux " << command << ": " << path << ": " << file.error << "\n";
        return 2;
    }
    const ReadResult<WuxFile> read = ReadWux(ByteSpan{file.bytes.data(), file.bytes.size()});
    if (!read.Ok()) {
        std::cerr << "wux " << command << ": " << path << ": not a readable WUX file: offset " << read.error.offset
                  << ": " << read.error.message << "\n";
        return 1;
    }
    *scene = BuildPictureScene(*read.value);
    if (scene->droppedTriangles > 0)
        std::cerr << "wux " << command << ": warning: " << path << ": " << scene->droppedTriangles
                  << (scene->droppedTriangles == 1 ? " triangle" : " triangles")
                  << " not drawn (a corner outside its mesh or not a finite number); `wux check` lists them\n";
    return 0;
}

int WritePictureFile(const std::string& command, const std::string& input, const std::string& output,
                     const std::uint8_t* data, std::size_t size) {
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) {
        std::cerr << "wux " << command << ": " << output << ": is the input file; choose another output\n";
        return 2;
    }
    FileSink sink;
    SaveError error;
    if (!sink.open(output.c_str(), &error) || !sink.write(data, size) || !sink.finish(&error)) {
        if (error.kind == SaveError::Kind::None) error = sink.writeError();
        std::cerr << "wux " << command << ": " << error.message << "\n";
        return 2;
    }
    return 0;
}

}  // namespace wux
