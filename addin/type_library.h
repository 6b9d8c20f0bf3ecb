// The component's own type library, loaded once from its TYPELIB resource.
#pragma once

#include <oaidl.h>
#include <wrl/client.h>

namespace qvn::addin {

// The library embedded in this module; fails when it cannot be loaded.
HRESULT OwnTypeLibrary(ITypeLib** library);
// The description of `iid` inside that library.
HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info);

} // namespace qvn::addin
