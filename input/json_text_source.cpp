#include "input/json_text_source.h"

namespace wux {

JsonTextSource::JsonTextSource(const std::string& text) : cur_(text.data()), end_(text.data() + text.size()) {}

bool JsonTextSource::Refill() {
    if (file_.Descriptor() < 0 || readError_) return false;
    if (buffer_.empty()) buffer_.resize(chunkSize_);
    const ToolResult<std::size_t> n = file_.Read(buffer_.data(), buffer_.size());
    if (!n.Ok()) readError_ = n.Error();
    if (!n.Ok() || *n == 0) return false;
    cur_ = buffer_.data();
    end_ = cur_ + *n;
    return true;
}

}  // namespace wux
