#include "core/system.h"

namespace orvandi {

Result<Text> ExpandVariables(System& system, const Text& text) {
    Text expanded;
    std::size_t at = 0;
    for (std::size_t open; (open = text.find(u'%', at)) != Text::npos;) {
        const std::size_t close = text.find(u'%', open + 1);
        if (close == Text::npos) break;
        Result<Text> value = Text();
        if (close > open + 1)
            value = system.GetEnvironment(text.substr(open + 1, close - open - 1));
        if (!value) return value.failure();
        if (value->empty()) {  // unset: kept as written, and its closing % may open the next one
            expanded += text.substr(at, close - at);
            at = close;
        } else {
            expanded += text.substr(at, open - at) + *value;
            at = close + 1;
        }
    }
    return expanded + text.substr(at);
}

}  // namespace orvandi
