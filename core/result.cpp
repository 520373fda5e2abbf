#include "core/result.h"

#include <limits>

namespace orvandi {
namespace {

Result<std::int16_t> Checked16(std::int32_t result) {
    if (result < std::numeric_limits<std::int16_t>::min() ||
        result > std::numeric_limits<std::int16_t>::max()) {
        return Failure{kOverflowNumber, kOverflowDescription, true};
    }
    return static_cast<std::int16_t>(result);
}

}  // namespace

Result<std::int16_t> Add16(std::int16_t a, std::int16_t b) {
    return Checked16(std::int32_t{a} + b);
}

Result<std::int16_t> Sub16(std::int16_t a, std::int16_t b) {
    return Checked16(std::int32_t{a} - b);
}

}  // namespace orvandi
