#include "input/json_text_source.h"

namespace wux {

JsonTextSource::JsonTextSource(const std::string& text) : cur_(text.data()), end_(text.data() + text.size()) {}

bool JsonTextSource::Refill() {
    if (file_.Descriptor() < 0 || readError_) return false;
    if (buffer_.empty()) buffer_.resize(chunkSize_);
    if (progress_ && file_.Size() > 0) progress_(static_cast<double>(offset_) / static_cast<double>(file_.Size()));
    const ToolResult<std::size_t> n = file_.Read(buffer_.data(), buffer_.size());
    if (!n.Ok()) readError_ = n.Error();
    if (!n.Ok() || *n == 0) return false;
    cur_ = buffer_.data();
    end_ = cur_ + *n;
    return true;
}

}  // namespace wux
