// hkt75-hidmatch: the udev rule's test of whether a hidraw node is the mouse.
//
//   hkt75-hidmatch DESCRIPTOR USAGE-PAGE USAGE
//
// DESCRIPTOR is the node's report descriptor (sysfs report_descriptor),
// USAGE-PAGE and USAGE are hexadecimal. Exits 0 when the descriptor holds a
// top-level Application collection of that page and usage, the collection
// the suite opens (HidCollectionIs), 1 when it does not or cannot be read,
// 2 on a wrong command line. udev tags the node only on 0, so a descriptor
// that merely carries the page's bytes inside another item, or a vendor
// collection of that page with another usage or type, opens nothing.
//
// It reads one file and prints nothing: udev runs it for every hidraw node
// that appears.

#include "platform/HidDescriptor.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::optional<std::uint16_t> HexWord(const char *text)
{
    if (!text || !*text)
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text, &end, 16);
    if (errno != 0 || *end != '\0' || v > 0xFFFF || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    return static_cast<std::uint16_t>(v);
}

// The whole file, at most one byte more than a descriptor may hold (so an
// oversized one is seen as such); nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadDescriptor(const char *path)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(hkt::platform::kHidMaxDescriptorSize + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    const std::optional<std::uint16_t> page = HexWord(argv[2]);
    const std::optional<std::uint16_t> usage = HexWord(argv[3]);
    if (!page || !usage)
        return 2;
    const std::optional<std::vector<std::uint8_t>> bytes = ReadDescriptor(argv[1]);
    if (!bytes)
        return 1;
    return hkt::platform::HidDescriptorHasCollection(*bytes, *page, *usage) ? 0 : 1;
}
