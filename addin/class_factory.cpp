#include "addin/class_factory.h"

#include "addin/connect.h"
#include "win32util/com_object.h"
#include "win32util/result_macros.h"

namespace qvn::addin {

namespace {

class ConnectFactory final : public win32util::ComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                             void** object) noexcept override {
        RETURN_HR_IF_NULL(E_POINTER, object);
        *object = nullptr;
        RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer != nullptr);
        return Connect::Create(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        if (lock) {
            win32util::AddObjectReference();
        } else {
            win32util::ReleaseObjectReference();
        }
        return S_OK;
    }
};

} // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept try {
    RETURN_HR_IF_NULL(E_POINTER, object);
    *object = nullptr;
    RETURN_HR_IF(CLASS_E_CLASSNOTAVAILABLE, clsid != CLSID_Connect);
    ComPtr<IClassFactory> factory = win32util::Adopt<IClassFactory>(new ConnectFactory());
    return factory->QueryInterface(riid, object);
}
CATCH_RETURN()

} // namespace qvn::addin
