#pragma once
// Class, interface and type-library identifiers in their usual text form
// "{8-4-4-4-12}"; parsed at compile time so identities stay readable in code.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace automation {

struct Guid {
    std::array<std::uint8_t, 16> bytes{};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hex digits.
    std::string ToString() const;
    static std::optional<Guid> Parse(std::string_view text);
};

namespace detail {
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr std::optional<Guid> ParseGuid(std::string_view s) {
    if (s.size() != 38 || s.front() != '{' || s.back() != '}')
        return std::nullopt;
    Guid g;
    std::size_t out = 0;
    for (std::size_t i = 1; i < 37;) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (s[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int hi = HexValue(s[i]);
        const int lo = HexValue(s[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        g.bytes[out++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    return g;
}
} // namespace detail

// A compile-time identifier; a malformed literal fails to compile.
consteval Guid MakeGuid(std::string_view text) {
    auto g = detail::ParseGuid(text);
    if (!g)
        throw "malformed identifier";
    return *g;
}

using CLSID = Guid;
using IID = Guid;

} // namespace automation
