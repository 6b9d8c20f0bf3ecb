// The completion of the exceptions that Connect's late-bound calls report.
#include "addin/connect_dispatch.h"

#include "addin/dispatch_call.h"
#include "addin/identifiers.h"
#include "win32util/variant.h"

#include <string>

namespace qvn::addin {

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

} // namespace qvn::addin
