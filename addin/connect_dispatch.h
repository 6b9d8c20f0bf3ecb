// The descriptions Connect's interfaces are dispatched from. Members that the registered
// library types with the IDE's own interfaces are called through stand-in descriptions
// embedded beside it, so that they answer late-bound callers on a machine without the IDE's
// libraries too.
#pragma once

#include "win32util/type_info_dispatch.h"

#include <oaidl.h>
#include <qvn.h>

template <> struct qvn::win32util::DispatchDescription<_Connect> {
    static HRESULT CallInfo(ITypeInfo** info);
    static HRESULT PublicInfo(ITypeInfo** info);
    static void CompleteException(EXCEPINFO* exception);
};

template <> struct qvn::win32util::DispatchDescription<IDTExtensibility> {
    static HRESULT CallInfo(ITypeInfo** info);
    static HRESULT PublicInfo(ITypeInfo** info);
    static void CompleteException(EXCEPINFO* exception);
};

// IDTExtensibility2's types are all in the component's own library.
template <> struct qvn::win32util::DispatchDescription<IDTExtensibility2> {
    static HRESULT CallInfo(ITypeInfo** info) { return PublicInfo(info); }
    static HRESULT PublicInfo(ITypeInfo** info);
    static void CompleteException(EXCEPINFO* exception);
};
