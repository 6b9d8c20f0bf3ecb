#include "testsupport/vbscript/script_engine.h"

#include "win32util/com_object.h"

#include <cstdio>
#include <utility>

namespace qvn::test {

using Microsoft::WRL::ComPtr;

namespace {

// Owns a BSTR handed out by the engine.
struct Bstr {
    BSTR value = nullptr;
    ~Bstr() { SysFreeString(value); }
    [[nodiscard]] std::wstring Text() const {
        return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
    }
};

std::string HexHr(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

} // namespace

// The host side of the engine: it offers no named items and keeps the first error the engine
// reports until the next script block is handed over.
class ScriptEngine::Site final : public win32util::ComObject<IActiveScriptSite> {
public:
    bool hasError = false;
    ScriptError error;

    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        if (!lcid)
            return E_POINTER;
        // English messages whatever the machine's locale.
        *lcid = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown** item,
                                          ITypeInfo** typeInfo) override {
        if (item)
            *item = nullptr;
        if (typeInfo)
            *typeInfo = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
        if (version)
            *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* scriptError) override {
        if (!scriptError)
            return E_POINTER;
        if (hasError)
            return S_OK;
        hasError = true;
        EXCEPINFO info{};
        if (SUCCEEDED(scriptError->GetExceptionInfo(&info))) {
            if (info.pfnDeferredFillIn)
                info.pfnDeferredFillIn(&info);
            error.hr = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
            if (info.bstrDescription)
                error.description.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
        }
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        if (SUCCEEDED(scriptError->GetSourcePosition(&context, &line, &column))) {
            error.line = line;
            error.column = column;
        }
        Bstr text;
        if (SUCCEEDED(scriptError->GetSourceLineText(&text.value)))
            error.sourceLine = text.Text();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }
};

ScriptEngine::ScriptEngine(bool started) {
    site_ = win32util::Adopt(new Site);
    auto step = [this](HRESULT hr, const char* what) {
        status_ = hr;
        if (FAILED(hr))
            statusText_ = std::string(what) + " failed with " + HexHr(hr);
        return SUCCEEDED(hr);
    };
    CLSID clsid{};
    if (!step(CLSIDFromProgID(L"VBScript", &clsid), "CLSIDFromProgID(\"VBScript\")") ||
        !step(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&script_)),
              "CoCreateInstance(IActiveScript)") ||
        !step(script_.As(&parse_), "QueryInterface(IActiveScriptParse)") ||
        !step(parse_->InitNew(), "IActiveScriptParse::InitNew") ||
        !step(script_->SetScriptSite(site_.Get()), "IActiveScript::SetScriptSite"))
        return;
    if (started)
        step(script_->SetScriptState(SCRIPTSTATE_STARTED), "SetScriptState(STARTED)");
}

ScriptEngine::~ScriptEngine() {
    // Close drops the engine's reference to the site and every compiled block.
    if (script_)
        script_->Close();
    parse_.Reset();
    script_.Reset();
}

bool ScriptEngine::Parse(const std::wstring& text, DWORD flags, VARIANT* result,
                         ScriptError& error) {
    error = {};
    if (FAILED(status_)) {
        error.hr = status_;
        error.description = Widen(statusText_);
        return false;
    }
    site_->hasError = false;
    site_->error = {};
    EXCEPINFO info{};
    const HRESULT hr = parse_->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, flags,
                                               result, &info);
    const bool ok = SUCCEEDED(hr) && !site_->hasError;
    if (!ok) {
        error = site_->error;
        if (!site_->hasError) {
            error.hr = hr;
            if (info.bstrDescription)
                error.description.assign(info.bstrDescription, SysStringLen(info.bstrDescription));
        }
        // Some engines report a syntax error by position only; keep the returned code.
        if (error.description.empty())
            error.description =
                L"(no description; ParseScriptText returned " + Widen(HexHr(hr)) + L")";
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    return ok;
}

bool ScriptEngine::Run(const std::wstring& text, ScriptError& error) {
    return Parse(text, 0, nullptr, error);
}

bool ScriptEngine::Evaluate(const std::wstring& expression, VARTYPE type, VARIANT& result,
                            ScriptError& error) {
    if (!Parse(expression, SCRIPTTEXT_ISEXPRESSION, &result, error))
        return false;
    const HRESULT hr = VariantChangeType(&result, &result, 0, type);
    if (FAILED(hr)) {
        error.hr = hr;
        error.description = L"the result is not of variant type " + std::to_wstring(type) +
                            L" but " + std::to_wstring(result.vt);
        return false;
    }
    return true;
}

bool ScriptEngine::EvaluateLong(const std::wstring& expression, LONG& value, ScriptError& error) {
    VARIANT result;
    VariantInit(&result);
    const bool ok = Evaluate(expression, VT_I4, result, error);
    if (ok)
        value = result.lVal;
    VariantClear(&result);
    return ok;
}

bool ScriptEngine::EvaluateString(const std::wstring& expression, std::wstring& value,
                                  ScriptError& error) {
    VARIANT result;
    VariantInit(&result);
    const bool ok = Evaluate(expression, VT_BSTR, result, error);
    if (ok)
        value.assign(result.bstrVal, SysStringLen(result.bstrVal));
    VariantClear(&result);
    return ok;
}

std::string Describe(const ScriptError& error, const std::wstring& script) {
    std::string out = "engine error " + HexHr(error.hr) + " at line " +
                      std::to_string(error.line + 1) + ", column " +
                      std::to_string(error.column + 1) + ": " + Narrow(error.description);
    if (!error.sourceLine.empty())
        out += "\n  source line: " + Narrow(error.sourceLine);
    out += "\n  script:";
    std::size_t number = 1;
    std::size_t start = 0;
    // Lines as the engine counts them: CR LF, CR and LF each end one.
    while (start <= script.size()) {
        std::size_t end = script.find_first_of(L"\r\n", start);
        const std::wstring line =
            script.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        out += "\n  " + std::to_string(number++) + "| " + Narrow(line);
        if (end == std::wstring::npos)
            break;
        start =
            end +
            ((script[end] == L'\r' && end + 1 < script.size() && script[end + 1] == L'\n') ? 2 : 1);
        if (start == script.size())
            break;
    }
    return out;
}

} // namespace qvn::test
