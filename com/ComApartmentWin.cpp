#include "com/ComApartmentWin.h"

#include <windows.h>
#include <objbase.h>

namespace gridvane {

ComApartment::ComApartment()
{
    // S_FALSE (already initialised on this thread) must be balanced as well.
    initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComApartment::~ComApartment()
{
    if (initialized_)
        CoUninitialize();
}

} // namespace gridvane
