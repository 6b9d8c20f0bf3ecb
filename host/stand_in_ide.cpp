#include "host/stand_in_ide.h"

#include "win32util/text.h"

#include "host/module_text.h"

#include "host/vbe_objects.h"
#include <algorithm>

#include <vbide.h>
#include <wrl/client.h>

#include <fstream>
#include <sstream>

namespace qvn::host {

using Microsoft::WRL::ComPtr;

struct IdeHost::AddIn {
    std::wstring name;
    ComPtr<IDTExtensibility> extensibility;
    bool connected = false;
};

namespace {

// The empty array the IDE passes as `custom`.
class CustomArray {
public:
    CustomArray() : array_(SafeArrayCreateVector(VT_VARIANT, 0, 0)) {}
    ~CustomArray() {
        if (array_ != nullptr) {
            SafeArrayDestroy(array_);
        }
    }
    CustomArray(const CustomArray&) = delete;
    CustomArray& operator=(const CustomArray&) = delete;
    SAFEARRAY** Get() { return &array_; }

private:
    SAFEARRAY* array_;
};

} // namespace

IdeHost::IdeHost() : state_(std::make_shared<HostState>()) {
    auto* bars = new CommandBarsObject(state_);
    bars->AddBar(L"Menu Bar");
    bars->AddBar(L"Standard");
    bars->AddBar(kAddInsBarName);
    auto* events = new EventsObject(state_);
    auto* pane = new CodePaneObject(state_);
    vbe_ = new VbeObject(state_, bars, events, pane);
    bars_ = bars; // the root object holds the collection for the host's whole life
    bars->Release();
    events->Release();
    pane->Release();
}

IdeHost::~IdeHost() {
    ShutDown();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    state_->menuChanged = nullptr;
    state_->moduleChanged = nullptr;
    state_->syncSelectionFromView = nullptr;
    vbe_->Release();
}

IDispatch* IdeHost::Root() const {
    return static_cast<::VBE*>(vbe_);
}

void IdeHost::FailOperation(const std::wstring& operation, HRESULT hr,
                            const std::wstring& description, int times) {
    state_->failures[Lower(operation)] = InjectedFailure{hr, description, times};
}

void IdeHost::ClearFailures() {
    state_->failures.clear();
}

void IdeHost::SetCodePaneOpen(bool open) {
    state_->hasCodePane = open;
    if (edit_ != nullptr) {
        ShowWindow(edit_, open ? SW_SHOW : SW_HIDE);
    }
}

void IdeHost::SetAddInsBar(bool present) {
    state_->hasAddInsBar = present;
    if (present) {
        bars_->AddBar(kAddInsBarName);
    } else {
        bars_->RemoveBar(kAddInsBarName);
    }
    RebuildMenu();
}

void IdeHost::SetRefuseEventBinding(bool refuse) {
    state_->refuseEventBinding = refuse;
}

void IdeHost::SetEventInterface(EventInterface events) {
    state_->eventInterface = events;
}

void IdeHost::SetModuleText(const std::wstring& text) {
    state_->lines = text.empty() ? std::vector<std::wstring>{} : SplitLines(text);
    RefreshCodePane();
}

bool IdeHost::LoadModuleFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    state_->lines = LinesFromFileBytes(bytes.str());
    state_->selStartLine = state_->selEndLine = 1;
    state_->selStartColumn = state_->selEndColumn = 1;
    RefreshCodePane();
    return true;
}

bool IdeHost::SaveModuleFile(const std::wstring& path) const {
    std::wstring text = ModuleText();
    if (!state_->lines.empty()) {
        text += L"\r\n";
    }
    const std::string bytes = win32util::Utf8(text);
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::wstring IdeHost::ModuleText() const {
    return JoinLines(state_->lines, 0, state_->lines.size());
}

std::vector<std::wstring> IdeHost::ModuleLines() const {
    return state_->lines;
}

void IdeHost::SetCaretLine(long line) {
    state_->selStartLine = state_->selEndLine = line < 1 ? 1 : line;
    state_->selStartColumn = state_->selEndColumn = 1;
    RefreshCodePane();
}

long IdeHost::CaretLine() const {
    const_cast<IdeHost*>(this)->ReadSelectionFromView();
    return state_->selStartLine;
}

std::vector<std::wstring> IdeHost::AddInsMenu() const {
    std::vector<std::wstring> captions;
    if (CommandBarObject* bar = bars_->Find(kAddInsBarName)) {
        for (const auto& control : bar->Controls()->Items()) {
            captions.push_back(control->Caption());
        }
    }
    return captions;
}

int IdeHost::ClickAddInsItem(const std::wstring& caption) {
    CommandBarObject* bar = bars_->Find(kAddInsBarName);
    if (bar == nullptr) {
        return -1;
    }
    for (const auto& control : bar->Controls()->Items()) {
        if (control->Caption() == caption) {
            ComPtr<ControlObject> keep = control; // the click may delete it from the bar
            return keep->RaiseClick();
        }
    }
    return -1;
}

std::vector<ObjectRefs> IdeHost::Objects() const {
    std::vector<ObjectRefs> objects;
    for (const HostObject* object : state_->live) {
        objects.push_back({object->TypeName(), object->Refs()});
    }
    return objects;
}

std::size_t IdeHost::LiveObjectCount() const {
    return state_->live.size();
}

std::wstring IdeHost::DefaultAddInListPath() {
    wchar_t folder[MAX_PATH] = {};
    UINT n = GetWindowsDirectoryW(folder, MAX_PATH);
    std::wstring path(folder, n);
    if (!path.empty() && path.back() != L'\\') {
        path += L'\\';
    }
    return path + names::kAddInListFileW;
}

std::vector<AddInListEntry> IdeHost::ReadAddInList(const std::wstring& iniPath) {
    std::vector<AddInListEntry> entries;
    std::wstring keys(32768, L'\0');
    DWORD n = GetPrivateProfileStringW(names::kAddInListSectionW, nullptr, L"", keys.data(),
                                       static_cast<DWORD>(keys.size()), iniPath.c_str());
    keys.resize(n);
    std::size_t start = 0;
    while (start < keys.size()) {
        std::size_t end = keys.find(L'\0', start);
        if (end == std::wstring::npos) {
            end = keys.size();
        }
        std::wstring key = keys.substr(start, end - start);
        start = end + 1;
        if (key.empty()) {
            continue;
        }
        wchar_t value[256] = {};
        GetPrivateProfileStringW(names::kAddInListSectionW, key.c_str(), L"", value, 256,
                                 iniPath.c_str());
        entries.push_back({key, value});
    }
    return entries;
}

HRESULT IdeHost::StartUp(const std::wstring& iniPath) {
    auto entries = ReadAddInList(iniPath.empty() ? DefaultAddInListPath() : iniPath);
    HRESULT first = S_OK;
    std::vector<std::wstring> started;
    for (const auto& entry : entries) {
        if (std::find(listed_.begin(), listed_.end(), entry.progId) == listed_.end()) {
            listed_.push_back(entry.progId);
        }
        if (entry.value != L"1") {
            continue;
        }
        HRESULT hr = Connect(entry.progId, kConnectStartup);
        if (SUCCEEDED(hr)) {
            started.push_back(entry.progId);
        } else if (SUCCEEDED(first)) {
            first = hr;
        }
    }
    RebuildMenu();
    for (const auto& name : started) {
        AddIn* addIn = FindAddIn(name);
        if (addIn == nullptr || !addIn->connected) {
            continue;
        }
        ComPtr<IDTExtensibility> keep = addIn->extensibility;
        CustomArray custom;
        HRESULT hr = keep->OnStartupComplete(custom.Get());
        if (FAILED(hr) && SUCCEEDED(first)) {
            first = hr;
        }
    }
    return first;
}

IdeHost::AddIn* IdeHost::FindAddIn(const std::wstring& name) {
    for (auto& addIn : addIns_) {
        if (lstrcmpiW(addIn->name.c_str(), name.c_str()) == 0) {
            return addIn.get();
        }
    }
    return nullptr;
}

HRESULT IdeHost::Connect(const std::wstring& progId, long mode) {
    if (AddIn* existing = FindAddIn(progId); existing != nullptr && existing->connected) {
        return S_FALSE;
    }
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IUnknown> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                          reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(hr)) {
        return hr;
    }
    return ConnectObject(object.Get(), progId, mode);
}

HRESULT IdeHost::ConnectObject(IUnknown* addIn, const std::wstring& name, long mode) {
    if (addIn == nullptr) {
        return E_POINTER;
    }
    ComPtr<IDTExtensibility> extensibility;
    HRESULT hr = addIn->QueryInterface(IID_IDTExtensibility,
                                       reinterpret_cast<void**>(extensibility.GetAddressOf()));
    if (FAILED(hr)) {
        return hr;
    }
    AddIn* record = FindAddIn(name);
    if (record == nullptr) {
        addIns_.push_back(std::make_unique<AddIn>());
        record = addIns_.back().get();
        record->name = name;
    }
    if (record->connected) {
        return S_FALSE;
    }
    record->extensibility = extensibility;
    record->connected = true;
    RebuildMenu();
    CustomArray custom;
    hr = extensibility->OnConnection(Root(), static_cast<vbext_ConnectMode>(mode), nullptr,
                                     custom.Get());
    if (FAILED(hr)) {
        // An add-in that refuses the connection is released at once.
        if (AddIn* again = FindAddIn(name)) {
            again->connected = false;
            again->extensibility.Reset();
        }
        RebuildMenu();
    }
    return hr;
}

HRESULT IdeHost::Disconnect(const std::wstring& name, long mode) {
    AddIn* record = FindAddIn(name);
    if (record == nullptr || !record->connected) {
        return S_FALSE;
    }
    // The record is updated before the call: OnDisconnection may run a message loop in
    // which the host is asked to disconnect again.
    ComPtr<IDTExtensibility> extensibility = std::move(record->extensibility);
    record->connected = false;
    RebuildMenu();
    CustomArray custom;
    HRESULT hr =
        extensibility->OnDisconnection(static_cast<vbext_DisconnectMode>(mode), custom.Get());
    extensibility.Reset();
    return hr;
}

void IdeHost::ShutDown() {
    if (shuttingDown_) {
        return;
    }
    shuttingDown_ = true;
    for (std::size_t i = 0; i < addIns_.size(); ++i) {
        if (addIns_[i]->connected) {
            Disconnect(addIns_[i]->name, kDisconnectHostShutdown);
        }
    }
    shuttingDown_ = false;
}

std::vector<std::wstring> IdeHost::ConnectedAddIns() const {
    std::vector<std::wstring> names;
    for (const auto& addIn : addIns_) {
        if (addIn->connected) {
            names.push_back(addIn->name);
        }
    }
    return names;
}

std::vector<std::wstring> IdeHost::ListedAddIns() const {
    return listed_;
}

} // namespace qvn::host
