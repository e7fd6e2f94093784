#pragma once
#include <stdexcept>
#include <string>

namespace gridvane {

/// The one exception type of the core: a message for a person, UTF-8 in what(). Where the window tells
/// the user in Japanese what the converter prints in English, the error carries both.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    /// message: English, for the console; japanese: the same fact as the window shows it.
    Error(const std::string& message, std::u16string japanese) : std::runtime_error(message), japanese_(std::move(japanese)) {}
    /// The Japanese text, or empty when the error has only what().
    const std::u16string& Japanese() const { return japanese_; }

private:
    std::u16string japanese_;
};

/// What the window shows for e: its Japanese text where it has one, otherwise what() as UTF-16.
std::u16string WindowText(const std::exception& e);

} // namespace gridvane
