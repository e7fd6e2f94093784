#pragma once
// Windows only.

namespace gridvane {

/// COM initialised on the calling thread (single-threaded apartment) for the life of the object, balanced
/// on destruction; a thread that already has an apartment keeps it.
class ComApartment {
public:
    /// Enters the apartment.
    ComApartment();
    /// Leaves it, when entering counted.
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_ = false;
};

} // namespace gridvane
