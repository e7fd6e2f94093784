#pragma once
#include <stdexcept>
#include <string>

namespace gridvane {

/// The one exception type of the core: a message for a person, UTF-8 in what().
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace gridvane
