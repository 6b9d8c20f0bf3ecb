// Where Connect's dispatch descriptions come from, and the completion of the exceptions the
// calls report.
#include "addin/connect_dispatch.h"

#include "addin/dispatch_call.h"
#include "addin/identifiers.h"
#include "addin/type_library.h"
#include "win32util/variant.h"

#include <qvn_late_bound.h>

#include <string>

namespace qvn::addin {
namespace {

void CompleteException(EXCEPINFO* exception) {
    if (exception == nullptr || exception->bstrDescription != nullptr) {
        return;
    }
    if (exception->pfnDeferredFillIn != nullptr) {
        exception->pfnDeferredFillIn(exception);
        if (exception->bstrDescription != nullptr) {
            return;
        }
    }
    const HRESULT hr = FAILED(exception->scode) ? exception->scode : E_FAIL;
    std::wstring description = win32util::TakeErrorInfoDescription();
    if (description.empty()) {
        description = DescribeFailure(hr);
    }
    if (exception->bstrSource == nullptr) {
        exception->bstrSource = SysAllocString(kProgId);
    }
    exception->bstrDescription =
        SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
    exception->scode = hr;
}

} // namespace
} // namespace qvn::addin

namespace qvn::win32util {

HRESULT DispatchDescription<_Connect>::CallInfo(ITypeInfo** info) {
    return addin::OwnTypeInfo(IID__ConnectLateBound, info, addin::kLateBoundLibrary);
}

HRESULT DispatchDescription<_Connect>::PublicInfo(ITypeInfo** info) {
    return addin::OwnTypeInfo(IID__Connect, info);
}

void DispatchDescription<_Connect>::CompleteException(EXCEPINFO* exception) {
    addin::CompleteException(exception);
}

HRESULT DispatchDescription<IDTExtensibility>::CallInfo(ITypeInfo** info) {
    return addin::OwnTypeInfo(IID_IDTExtensibilityLateBound, info, addin::kLateBoundLibrary);
}

HRESULT DispatchDescription<IDTExtensibility>::PublicInfo(ITypeInfo** info) {
    return addin::OwnTypeInfo(IID_IDTExtensibility, info);
}

void DispatchDescription<IDTExtensibility>::CompleteException(EXCEPINFO* exception) {
    addin::CompleteException(exception);
}

HRESULT DispatchDescription<IDTExtensibility2>::PublicInfo(ITypeInfo** info) {
    return addin::OwnTypeInfo(IID_IDTExtensibility2, info);
}

void DispatchDescription<IDTExtensibility2>::CompleteException(EXCEPINFO* exception) {
    addin::CompleteException(exception);
}

} // namespace qvn::win32util
