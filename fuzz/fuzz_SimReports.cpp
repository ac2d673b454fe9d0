// The simulated mouse's handling of whatever a host sends: feature reports of
// any ID and length, answer fetches of any size, on-mouse actions and plug
// changes in any order, in strict mode; and the socket protocol's message and
// enumeration decoders, which read bytes from other processes.
#include "platform/SimWire.h"
#include "sim/VirtualMouse.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    namespace wire = hkt::platform::simwire;
    const std::span<const std::uint8_t> all(data, size);
    if (auto m = wire::Decode(all))
        (void)wire::DecodeInterfaces(m->body);

    hkt::sim::VirtualMouse mouse;
    mouse.SetStrict(true);
    mouse.SetLogCapacity(16);
    int events = 0;
    const int id = mouse.AddListener([&events](const hkt::sim::MouseEvent &) { ++events; });
    std::size_t pos = 0;
    auto take = [&](std::size_t n) {
        const std::size_t k = std::min(n, size - pos);
        auto s = all.subspan(pos, k);
        pos += k;
        return s;
    };
    while (pos + 3 <= size) {
        const std::uint8_t op = data[pos];
        const std::size_t len = std::size_t(data[pos + 1]) | (std::size_t(data[pos + 2] & 0x1F) << 8);
        pos += 3;
        switch (op % 8) {
        case 0:
        case 1:
            mouse.SetFeature(take(len));
            break;
        case 2: {
            std::vector<std::uint8_t> buf(len);
            const auto reportId = take(1);
            if (!buf.empty() && !reportId.empty())
                buf[0] = reportId[0];
            mouse.GetFeature(buf);
            break;
        }
        case 3: mouse.Press(int(len % 32) - 4); break;
        case 4: mouse.SetProfile(int(len % 8)); break;
        case 5: mouse.SetDpiLevel(int(len % 8)); break;
        case 6: mouse.SetRateCode(int(len % 16)); break;
        case 7:
            if (len & 1)
                mouse.Unplug();
            else
                mouse.Plug();
            mouse.FailAfter(len % 4, (len >> 2) % 3);
            break;
        }
    }
    (void)mouse.Dump(std::uint32_t(size) * 37u, 300);
    (void)mouse.Log();
    mouse.RemoveListener(id);
    return events >= 0 ? 0 : 1;
}
