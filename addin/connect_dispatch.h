// The descriptions Connect's interfaces are dispatched from. Members that the registered
// library types with the IDE's own interfaces are called through stand-in descriptions
// embedded beside it, so that they answer late-bound callers on a machine without the IDE's
// libraries too.
#pragma once

#include "addin/type_library.h"
#include "win32util/type_info_dispatch.h"

#include <oaidl.h>
#include <qvn.h>
#include <qvn_late_bound.h>

namespace qvn::addin {

// Gives a DISP_E_EXCEPTION that came without a description the failure's own, with the
// component as its source.
void CompleteException(EXCEPINFO* exception);

// An interface described by the component's own libraries: `Public` in the registered one, and
// the calls following `Call` in library `callLibrary`.
template <const IID* Public, const IID* Call, int callLibrary> struct OwnDescription {
    static HRESULT CallInfo(ITypeInfo** info) { return OwnTypeInfo(*Call, info, callLibrary); }
    static HRESULT PublicInfo(ITypeInfo** info) { return OwnTypeInfo(*Public, info); }
    static void CompleteException(EXCEPINFO* exception) { addin::CompleteException(exception); }
};

} // namespace qvn::addin

template <>
struct qvn::win32util::DispatchDescription<_Connect>
    : qvn::addin::OwnDescription<&IID__Connect, &IID__ConnectLateBound,
                                 qvn::addin::kLateBoundLibrary> {};

template <>
struct qvn::win32util::DispatchDescription<IDTExtensibility>
    : qvn::addin::OwnDescription<&IID_IDTExtensibility, &IID_IDTExtensibilityLateBound,
                                 qvn::addin::kLateBoundLibrary> {};

// IDTExtensibility2's types are all in the component's own library.
template <>
struct qvn::win32util::DispatchDescription<IDTExtensibility2>
    : qvn::addin::OwnDescription<&IID_IDTExtensibility2, &IID_IDTExtensibility2,
                                 qvn::addin::kRegisteredLibrary> {};
