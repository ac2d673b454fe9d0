#pragma once
// A feature report as the tests spell it: the leading bytes, zero to `total`.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace hkt::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Report(std::initializer_list<int> head, std::size_t total)
{
    Bytes r(total, 0);
    std::size_t i = 0;
    for (int b : head)
        r[i++] = static_cast<std::uint8_t>(b);
    return r;
}

} // namespace hkt::test
