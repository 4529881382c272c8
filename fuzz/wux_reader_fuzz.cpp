// libFuzzer entry: the reader, the checker and the info output must take any bytes.
#include <cstddef>
#include <cstdint>

#include "format/wux_checker.h"
#include "format/wux_info.h"
#include "format/wux_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const wux::ByteSpan bytes{data, size};
    const auto read = wux::OpenWux(bytes);
    if (read.Ok()) {
        (void)wux::InfoText(*read);
        (void)wux::DumpInfoJson(wux::InfoJson(*read));
    }
    (void)wux::FormatReport(wux::CheckWux(bytes));
    return 0;
}
