// Report descriptors come from the device (sysfs report_descriptor, or the
// simulated mouse): any bytes must parse or be refused without a fault.
// The parser's source is compiled into this target so that libFuzzer's
// coverage instrumentation reaches it.
#include "platform/HidDescriptor.cpp"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The first byte splits the input into a descriptor and a report to list.
    if (size < 1)
        return 0;
    const std::size_t split = std::min<std::size_t>(data[0] * 16u, size - 1);
    const std::span<const std::uint8_t> descriptor(data + 1, split);
    const std::span<const std::uint8_t> report(data + 1 + split, size - 1 - split);

    const auto parsed = hkt::platform::ParseHidDescriptor(descriptor);
    if (!parsed)
        return 0;
    for (const auto &f : parsed->fields)
        if (f.collection >= static_cast<int>(parsed->collections.size()))
            std::abort();
    for (std::size_t c = 0; c < parsed->collections.size(); ++c) {
        const std::size_t max = hkt::platform::HidMaxUsageListLength(*parsed, static_cast<int>(c));
        const auto usages = hkt::platform::HidUsagesSetInReport(*parsed, static_cast<int>(c), report, 100);
        if (usages.size() > 100 || usages.size() > max)
            std::abort();
    }
    return 0;
}
