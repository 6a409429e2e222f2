#pragma once
// Events told in words, comma-separated, so that a failed comparison reads
// as the keys and mouse actions themselves.

#include <string>
#include <vector>

#include "terminal/event.hpp"
#include "terminal/input_decoder.hpp"

namespace test_support {

inline std::string names(const std::vector<term::Event>& events)
{
    std::string s;
    for (const term::Event& e : events) {
        if (!s.empty()) s += ", ";
        s += term::describe(e);
    }
    return s;
}

}  // namespace test_support
