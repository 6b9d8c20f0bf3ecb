#include "host/addin_object.h"

#include <vba_extensibility.h>

namespace qvn::host {

namespace {

constexpr DISPID kDescription = 0;
constexpr DISPID kVbe = 1;
constexpr DISPID kCollection = 2;
constexpr DISPID kProgId = 3;
constexpr DISPID kGuid = 4;
constexpr DISPID kConnect = 6;
constexpr DISPID kObject = 7;

const DispMember kMembers[] = {{L"Description", kDescription},
                               {L"VBE", kVbe},
                               {L"Collection", kCollection},
                               {L"ProgId", kProgId},
                               {L"Guid", kGuid},
                               {L"Connect", kConnect},
                               {L"Object", kObject}};

HRESULT Text(const std::wstring& text, BSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

AddInObject::AddInObject(std::shared_ptr<HostState> state, Entry entry)
    : DispatchObject(std::move(state), L"AddIn"), entry_(std::move(entry)) {
    if (state_->IsVba()) {
        ServeAs(IID_VbaAddIn);
    }
}

void AddInObject::Forget() {
    entry_.vbe = nullptr;
    const bool connected = entry_.connected && entry_.connected();
    entry_.connected = [connected] { return connected; };
    entry_.connect = nullptr;
}

HRESULT AddInObject::get_Description(BSTR* description) {
    return Text(entry_.description, description);
}

HRESULT AddInObject::put_Description(BSTR description) {
    entry_.description.assign(description != nullptr ? description : L"",
                              description != nullptr ? SysStringLen(description) : 0);
    return S_OK;
}

HRESULT AddInObject::get_VBE(::VBE** vbe) {
    if (vbe == nullptr) {
        return E_POINTER;
    }
    *vbe = nullptr;
    if (entry_.vbe == nullptr) {
        return Fail(E_FAIL, L"The add-in is not attached to an IDE.");
    }
    entry_.vbe->AddRef();
    *vbe = reinterpret_cast<::VBE*>(entry_.vbe);
    return S_OK;
}

HRESULT AddInObject::get_Collection(IDispatch** collection) {
    if (collection == nullptr) {
        return E_POINTER;
    }
    *collection = nullptr;
    return Fail(E_NOTIMPL, L"The stand-in IDE offers no Addins collection.");
}

HRESULT AddInObject::get_ProgId(BSTR* progId) {
    return Text(entry_.progId, progId);
}

HRESULT AddInObject::get_Guid(BSTR* guid) {
    return Text(entry_.guid, guid);
}

HRESULT AddInObject::get_Connect(VARIANT_BOOL* connected) {
    if (connected == nullptr) {
        return E_POINTER;
    }
    *connected = entry_.connected && entry_.connected() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT AddInObject::put_Connect(VARIANT_BOOL connect) {
    if (!entry_.connect) {
        return Fail(E_FAIL, L"The add-in cannot be connected from here.");
    }
    return entry_.connect(connect != VARIANT_FALSE);
}

HRESULT AddInObject::get_Object(IDispatch** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = Microsoft::WRL::ComPtr<IDispatch>(object_).Detach();
    return S_OK;
}

HRESULT AddInObject::put_Object(IDispatch* object) {
    object_ = object;
    return S_OK;
}

std::span<const DispMember> AddInObject::Members() const {
    return kMembers;
}

HRESULT AddInObject::Dispatch(DISPID id, WORD flags, const Args& args, VARIANT* result, UINT*) {
    const bool get = IsGet(flags);
    const bool put = IsPut(flags);
    // The value a property write assigns, converted to `type`.
    win32util::Variant value;
    auto assigned = [&](VARTYPE type) {
        VARIANT* given = args.PutValue();
        return given != nullptr && SUCCEEDED(VariantChangeType(value.Get(), given, 0, type));
    };
    switch (id) {
    case kDescription:
    case kProgId:
    case kGuid:
        if (get) {
            BSTR text = nullptr;
            HRESULT hr = id == kDescription ? get_Description(&text)
                         : id == kProgId    ? get_ProgId(&text)
                                            : get_Guid(&text);
            if (SUCCEEDED(hr)) {
                SetResult(result, text);
            }
            return hr;
        }
        if (put && id == kDescription) {
            return assigned(VT_BSTR) ? put_Description(value.Get()->bstrVal) : DISP_E_TYPEMISMATCH;
        }
        break;
    case kVbe:
    case kCollection:
    case kObject:
        if (get) {
            IDispatch* object = nullptr;
            HRESULT hr = id == kVbe          ? get_VBE(reinterpret_cast<::VBE**>(&object))
                         : id == kCollection ? get_Collection(&object)
                                             : get_Object(&object);
            if (SUCCEEDED(hr)) {
                SetResult(result, object);
            }
            return hr;
        }
        if (put && id == kObject) {
            return assigned(VT_DISPATCH) ? put_Object(value.Get()->pdispVal) : DISP_E_TYPEMISMATCH;
        }
        break;
    case kConnect:
        if (get) {
            VARIANT_BOOL connected = VARIANT_FALSE;
            HRESULT hr = get_Connect(&connected);
            SetResult(result, connected);
            return hr;
        }
        if (put) {
            return assigned(VT_BOOL) ? put_Connect(value.Get()->boolVal) : DISP_E_TYPEMISMATCH;
        }
        break;
    default:
        break;
    }
    return DISP_E_MEMBERNOTFOUND;
}

} // namespace qvn::host
