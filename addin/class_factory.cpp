#include "class_factory.h"

#include "com_ptr.h"
#include "connect.h"
#include "module.h"
#include "result_macros.h"

#include <atomic>

namespace qvn::addin {

namespace {

class ConnectFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        RETURN_HR_IF_NULL(E_POINTER, object);
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                             void** object) noexcept override {
        RETURN_HR_IF_NULL(E_POINTER, object);
        *object = nullptr;
        RETURN_HR_IF(CLASS_E_NOAGGREGATION, outer != nullptr);
        return Connect::Create(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        if (lock) {
            AddModuleReference();
        } else {
            ReleaseModuleReference();
        }
        return S_OK;
    }

private:
    std::atomic<ULONG> refs_{1};
    ModuleReference module_;
};

} // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object) noexcept try {
    RETURN_HR_IF_NULL(E_POINTER, object);
    *object = nullptr;
    RETURN_HR_IF(CLASS_E_CLASSNOTAVAILABLE, clsid != CLSID_Connect);
    ComPtr<IClassFactory> factory = Adopt<IClassFactory>(new ConnectFactory());
    return factory->QueryInterface(riid, object);
}
CATCH_RETURN()

} // namespace qvn::addin
