// Calls the host's objects the way a late-bound client does: names through GetIDsOfNames,
// then Invoke with the flags the language uses.
#pragma once

#include <oaidl.h>
#include <unknwn.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

namespace qvn::standin::testing {

struct CallResult {
    HRESULT hr = S_OK;
    VARIANT value{};
    SCODE scode = S_OK;       // from EXCEPINFO when hr is DISP_E_EXCEPTION
    std::wstring description; // likewise
    CallResult();
    ~CallResult();
    CallResult(const CallResult&) = delete;
    CallResult(CallResult&& other) noexcept;
    [[nodiscard]] Microsoft::WRL::ComPtr<IDispatch> Object() const;
    // The object of a VT_UNKNOWN or VT_DISPATCH result, never asked for IDispatch.
    [[nodiscard]] Microsoft::WRL::ComPtr<IUnknown> Unknown() const;
    [[nodiscard]] std::wstring Text() const;
    [[nodiscard]] long Number() const;
};

// `args` in the order the caller writes them; they are passed reversed as DISPPARAMS wants.
CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args = {});
CallResult Get(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args = {});
CallResult Method(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args = {});
HRESULT Put(IDispatch* object, const wchar_t* name, VARIANT value);
DISPID IdOf(IDispatch* object, const wchar_t* name, HRESULT* hr = nullptr);

VARIANT Long(long value);
VARIANT Text(const wchar_t* text); // caller's VARIANT owns a BSTR; Call frees it
VARIANT Object(IDispatch* object); // not AddRef'd; Call does not release it
VARIANT Missing();
// A whole-number out argument, as the library types it (long by reference).
VARIANT LongRef(long* value);

// A class object that lives as long as the test (its counts are fixed) and makes a new
// `AddIn(name)` for each CreateInstance.
template <class AddIn> class AddInFactory final : public IClassFactory {
public:
    explicit AddInFactory(std::wstring name) : name_(std::move(name)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            return E_NOINTERFACE;
        }
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        *object = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* addIn = new AddIn(name_);
        HRESULT hr = addIn->QueryInterface(riid, object);
        addIn->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    std::wstring name_;
};

} // namespace qvn::standin::testing

namespace qvn::standin::testing {
std::string Utf8Name(const wchar_t* name);
} // namespace qvn::standin::testing
