// The whole content of a file as bytes ("" when it cannot be read).
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace morvelant::testsupport {

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace morvelant::testsupport
