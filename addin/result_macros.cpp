#include "addin/result_macros.h"

#include "addin/dispatch_call.h"
#include "win32util/error_log.h"

namespace qvn::addin {

HRESULT ResultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const HResultError& e) {
        return e.Code();
    } catch (const DispatchError& e) {
        return e.Code();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::system_error& e) {
        return HRESULT_FROM_WIN32(static_cast<DWORD>(e.code().value()));
    } catch (...) {
        // Nothing tells the caller what this was: leave a trace for whoever debugs it.
        LOG_CAUGHT_EXCEPTION();
        return E_UNEXPECTED;
    }
}

} // namespace qvn::addin
