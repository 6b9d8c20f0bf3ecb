// The component's own type libraries, loaded from its TYPELIB resources: the registered one
// (resource 1) and the descriptions late-bound calls follow (resource 2).
#pragma once

#include <oaidl.h>
#include <wrl/client.h>

namespace qvn::addin {

inline constexpr int kRegisteredLibrary = 1;
inline constexpr int kLateBoundLibrary = 2;

// The library embedded in this module as TYPELIB resource `resource`; fails when it cannot be
// loaded.
HRESULT OwnTypeLibrary(ITypeLib** library, int resource = kRegisteredLibrary);
// The description of `iid` inside that library.
HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info, int resource = kRegisteredLibrary);

} // namespace qvn::addin
