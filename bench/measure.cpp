#include "bench/measure.h"

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <sstream>

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) return values[middle];
    return (values[middle - 1] + values[middle]) / 2.0;
}

uint64_t ReadProcStatusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, field.size(), field) != 0 || line.size() <= field.size() ||
            line[field.size()] != ':')
            continue;
        std::istringstream fields(line.substr(field.size() + 1));
        uint64_t kilobytes = 0;
        fields >> kilobytes;
        return kilobytes * 1024;
    }
    return 0;
}

double ProcessCpuSeconds() {
    struct rusage usage;
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0.0;
    auto seconds = [](const struct timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

static bool ResetHighWaterMark() {
    std::ofstream clear("/proc/self/clear_refs");
    if (!clear) return false;
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

bool PeakMemory::Supported() { return ResetHighWaterMark(); }

void PeakMemory::Begin() {
    malloc_trim(0);
    ResetHighWaterMark();
    baseline_ = ReadProcStatusBytes("VmRSS");
}

uint64_t PeakMemory::End() const {
    uint64_t peak = ReadProcStatusBytes("VmHWM");
    return peak > baseline_ ? peak - baseline_ : 0;
}
