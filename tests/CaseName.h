#pragma once

#include <concepts>
#include <ostream>

// GoogleTest shows a parameter it cannot print as a dump of its bytes, in the
// name of every test of a table. Each case table names its rows, so show the
// name. In the unnamed namespace so that it sits beside the case structs of
// the file that includes it, where argument-dependent lookup finds it.
namespace {

template <typename Case>
requires requires(const Case& c) {
    { c.name } -> std::convertible_to<const char*>;
}
[[maybe_unused]] void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

}  // namespace
