// Window-message frames come from other processes: any bytes must decode to
// nothing or to a frame that encodes back to exactly those bytes.
#include "platform/WindowMessages.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace hkt::platform;
    const auto frame = DecodeMessageFrame(std::span<const std::uint8_t>(data, size));
    if (frame) {
        const auto again = EncodeMessageFrame(*frame);
        if (size != kMessageFrameSize || std::memcmp(again.data(), data, size) != 0)
            std::abort();
    }
    return 0;
}
