// The class object of Connect, the component's one creatable class.
#pragma once

#include <unknwn.h>

namespace qvn::addin {

// DllGetClassObject's work: the class factory for Connect's CLSID, else
// CLASS_E_CLASSNOTAVAILABLE with nothing created.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept;

} // namespace qvn::addin
