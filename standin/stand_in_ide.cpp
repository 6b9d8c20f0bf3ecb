#include "standin/stand_in_ide.h"

#include "win32util/com_object.h"
#include "win32util/registry.h"
#include "win32util/text.h"

#include "standin/addin_object.h"
#include "standin/ide_object.h"
#include "standin/module_text.h"
#include "standin/vbe_objects.h"

#include <extensibility2.h>
#include <vbide.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>

namespace qvn::standin {

using Microsoft::WRL::ComPtr;

// Both libraries number the connection modes alike, so one set of constants serves both.
constexpr bool SameNumber(int a, int b) {
    return a == b;
}
static_assert(SameNumber(ext_cm_AfterStartup, vbext_cm_AfterStartup) &&
              SameNumber(ext_cm_Startup, vbext_cm_Startup) &&
              SameNumber(ext_cm_External, vbext_cm_External) &&
              SameNumber(ext_cm_CommandLine, kConnectCommandLine) &&
              SameNumber(ext_dm_HostShutdown, vbext_dm_HostShutdown) &&
              SameNumber(ext_dm_UserClosed, vbext_dm_UserClosed));

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

// The calls the host makes on a connected add-in, on a copy of its references, so that the
// add-in may disconnect (or be disconnected) from inside them.
struct Connection {
    ComPtr<IDTExtensibility> vb;
    ComPtr<IDTExtensibility2> vba;

    explicit operator bool() const { return vb || vba; }

    HRESULT OnConnection(IDispatch* root, long mode, IDispatch* addInInst) const {
        CustomArray custom;
        return vba ? vba->OnConnection(root, static_cast<ext_ConnectMode>(mode), addInInst,
                                       custom.Get())
                   : vb->OnConnection(root, static_cast<vbext_ConnectMode>(mode), addInInst,
                                      custom.Get());
    }
    HRESULT OnDisconnection(long mode) const {
        CustomArray custom;
        return vba ? vba->OnDisconnection(static_cast<ext_DisconnectMode>(mode), custom.Get())
                   : vb->OnDisconnection(static_cast<vbext_DisconnectMode>(mode), custom.Get());
    }
    HRESULT OnStartupComplete() const {
        CustomArray custom;
        return vba ? vba->OnStartupComplete(custom.Get()) : vb->OnStartupComplete(custom.Get());
    }
    HRESULT OnBeginShutdown() const {
        CustomArray custom;
        return vba ? vba->OnBeginShutdown(custom.Get()) : S_OK;
    }
};

} // namespace

// One add-in as the host holds it: the connection interface of the flavour (the VB5 IDE's
// IDTExtensibility or the VBA editor's IDTExtensibility2) and, for a class the host loaded
// from a per-user DLL, that DLL.
struct IdeHost::AddIn {
    std::wstring name;
    std::unique_ptr<LoadedServer> server; // outlives the references below
    Connection connection;                // empty while not connected
    ComPtr<AddInObject> object;           // what OnConnection receives as AddInInst
    std::wstring guid;

    [[nodiscard]] bool Connected() const { return static_cast<bool>(connection); }
};

namespace {

std::shared_ptr<HostState> NewState(HostFlavour flavour) {
    LoadIdeLibraries(flavour);
    auto state = std::make_shared<HostState>();
    state->flavour = flavour;
    state->eventInterface = flavour == HostFlavour::Vba ? EventInterface::Vba : EventInterface::Vb5;
    return state;
}

} // namespace

IdeHost::IdeHost(HostFlavour flavour)
    : state_(NewState(flavour)), vbe_(win32util::Adopt(new VbeObject(state_))),
      bars_(&vbe_->Bars()) {}

IdeHost::~IdeHost() {
    ShutDown();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    state_->menuChanged = nullptr;
    state_->moduleChanged = nullptr;
    state_->syncSelectionFromView = nullptr;
    state_->customizationsChanged = nullptr;
    // An add-in may still hold its AddIn object; it must not reach a host that is gone.
    for (auto& addIn : addIns_) {
        if (addIn->object) {
            addIn->object->Forget();
        }
    }
}

IDispatch* IdeHost::Root() const {
    return static_cast<::VBE*>(vbe_.Get());
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
    bars_->SetAddInsMenu(present);
    RebuildMenu();
}

void IdeHost::SetRefuseEventBinding(bool refuse) {
    state_->refuseEventBinding = refuse;
}

void IdeHost::SetEventInterface(EventInterface events) {
    state_->eventInterface = events;
}

bool IdeHost::SetLocale(const std::wstring& locale) {
    if (!bars_->Localize(locale)) {
        return false;
    }
    RebuildMenu();
    return true;
}

// The file holds one line per kept control: the index of its bar, its caption and its Tag,
// separated by tabs, in UTF-8.
void IdeHost::KeepCustomizationsIn(const std::wstring& path) {
    customizationFile_ = path;
    std::ifstream in(path.c_str(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto first = line.find('\t');
        const auto second = first == std::string::npos ? first : line.find('\t', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        const std::size_t bar = std::strtoul(line.substr(0, first).c_str(), nullptr, 10);
        if (bar >= bars_->Bars().size()) {
            continue;
        }
        ControlsObject* controls = bars_->Bars()[bar]->Controls();
        auto control = win32util::Adopt(new ControlObject(state_, controls, kControlButton));
        control->SetCaption(win32util::Wide(line.substr(first + 1, second - first - 1)));
        control->SetTag(win32util::Wide(line.substr(second + 1)));
        controls->Append(std::move(control));
    }
    state_->customizationsChanged = [this] { SaveCustomizations(); };
    RebuildMenu();
}

void IdeHost::SaveCustomizations() const {
    std::ofstream out(customizationFile_.c_str(), std::ios::binary | std::ios::trunc);
    const auto& bars = bars_->Bars();
    for (std::size_t i = 0; i < bars.size(); ++i) {
        for (const auto& control : bars[i]->Controls()->Items()) {
            if (control->Id() == kCustomControlId && !control->Temporary()) {
                out << i << '\t' << win32util::Utf8(control->Caption()) << '\t'
                    << win32util::Utf8(control->Tag()) << "\r\n";
            }
        }
    }
}

void IdeHost::EndWithoutDisconnecting() {
    for (auto& addIn : addIns_) {
        addIn->connection = {};
        if (addIn->object) {
            addIn->object->Forget();
            addIn->object.Reset();
        }
    }
    RebuildMenu();
}

void IdeHost::SetModuleText(const std::wstring& text) {
    state_->lines = text.empty() ? std::vector<std::wstring>{} : SplitLines(text);
    RefreshCodePane();
}

void IdeHost::AddProjectModule(const std::wstring& name, long type, const std::wstring& text) {
    state_->otherModules.push_back(
        {name, type, text.empty() ? std::vector<std::wstring>{} : SplitLines(text)});
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

namespace {

std::vector<std::wstring> Captions(const CommandBarObject* bar) {
    std::vector<std::wstring> captions;
    if (bar != nullptr) {
        for (const auto& control : bar->Controls()->Items()) {
            captions.push_back(control->Caption());
        }
    }
    return captions;
}

int Click(const CommandBarObject* bar, const std::wstring& caption) {
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

} // namespace

std::vector<std::wstring> IdeHost::AddInsMenu() const {
    return Captions(bars_->AddInsBar());
}

int IdeHost::ClickAddInsItem(const std::wstring& caption) {
    return Click(bars_->AddInsBar(), caption);
}

std::vector<std::wstring> IdeHost::CodeWindowMenu() const {
    return Captions(bars_->Find(names::kCodeWindowBarW));
}

int IdeHost::ClickCodeWindowItem(const std::wstring& caption) {
    return Click(bars_->Find(names::kCodeWindowBarW), caption);
}

void IdeHost::SetCodeWindowMenu(bool present) {
    bars_->SetCodeWindowMenu(present);
}

std::vector<ObjectRefs> IdeHost::Objects() const {
    std::vector<ObjectRefs> objects;
    for (const IdeObject* object : state_->live) {
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
        AddInListEntry entry;
        entry.progId = key;
        entry.value = value;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::wstring IdeHost::DefaultVbaAddInsKey() {
    return kHost64Bit ? names::kVbaAddIns64KeyW : names::kVbaAddInsKeyW;
}

std::vector<AddInListEntry> IdeHost::ReadVbaAddInList(const std::wstring& userKey) {
    std::vector<AddInListEntry> entries;
    for (const std::wstring& progId : win32util::Subkeys(HKEY_CURRENT_USER, userKey)) {
        const std::wstring key = userKey + L"\\" + progId;
        AddInListEntry entry;
        entry.progId = progId;
        entry.friendlyName =
            win32util::ReadString(HKEY_CURRENT_USER, key, names::kVbaAddInFriendlyNameW)
                .value_or(L"");
        entry.description =
            win32util::ReadString(HKEY_CURRENT_USER, key, names::kVbaAddInDescriptionW)
                .value_or(L"");
        entry.loadBehavior =
            win32util::ReadDword(HKEY_CURRENT_USER, key, names::kVbaAddInLoadBehaviorW).value_or(0);
        entries.push_back(std::move(entry));
    }
    return entries;
}

HRESULT IdeHost::StartUp(const std::wstring& list) {
    const bool vba = state_->IsVba();
    auto entries = vba ? ReadVbaAddInList(list.empty() ? DefaultVbaAddInsKey() : list)
                       : ReadAddInList(list.empty() ? DefaultAddInListPath() : list);
    HRESULT first = S_OK;
    std::vector<std::wstring> started;
    for (const auto& entry : entries) {
        if (std::none_of(listed_.begin(), listed_.end(),
                         [&](const Listed& l) { return l.progId == entry.progId; })) {
            listed_.push_back({entry.progId,
                               entry.friendlyName.empty() ? entry.progId : entry.friendlyName,
                               entry.description});
        }
        if (vba ? entry.loadBehavior != kLoadAtStartup : entry.value != L"1") {
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
        if (addIn == nullptr || !addIn->Connected()) {
            continue;
        }
        HRESULT hr = addIn->connection.OnStartupComplete();
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
    if (AddIn* existing = FindAddIn(progId); existing != nullptr && existing->Connected()) {
        return S_FALSE;
    }
    // The DLL is declared before the object so that the object goes first.
    std::unique_ptr<LoadedServer> server;
    ComPtr<IUnknown> object;
    HRESULT hr = S_OK;
    if (state_->IsVba()) {
        hr = CreateAddInObject(progId, &server, object.GetAddressOf());
    } else {
        CLSID clsid{};
        hr = CLSIDFromProgID(progId.c_str(), &clsid);
        if (SUCCEEDED(hr)) {
            hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                  IID_IUnknown, reinterpret_cast<void**>(object.GetAddressOf()));
        }
    }
    RETURN_IF_FAILED(hr);
    hr = ConnectCreated(object.Get(), progId, mode, server);
    if (AddIn* record = FindAddIn(progId); record != nullptr && record->guid.empty()) {
        CLSID clsid{};
        wchar_t text[40] = {};
        if (SUCCEEDED(CLSIDFromProgID(progId.c_str(), &clsid)) &&
            StringFromGUID2(clsid, text, 40) > 0) {
            record->guid = text;
        }
    }
    return hr;
}

HRESULT IdeHost::ConnectObject(IUnknown* addIn, const std::wstring& name, long mode) {
    std::unique_ptr<LoadedServer> none;
    return ConnectCreated(addIn, name, mode, none);
}

HRESULT IdeHost::ConnectCreated(IUnknown* addIn, const std::wstring& name, long mode,
                                std::unique_ptr<LoadedServer>& server) {
    if (addIn == nullptr) {
        return E_POINTER;
    }
    Connection connection;
    HRESULT hr =
        state_->IsVba()
            ? addIn->QueryInterface(IID_IDTExtensibility2,
                                    reinterpret_cast<void**>(connection.vba.GetAddressOf()))
            : addIn->QueryInterface(IID_IDTExtensibility,
                                    reinterpret_cast<void**>(connection.vb.GetAddressOf()));
    RETURN_IF_FAILED(hr);
    AddIn* record = FindAddIn(name);
    if (record == nullptr) {
        addIns_.push_back(std::make_unique<AddIn>());
        record = addIns_.back().get();
        record->name = name;
    }
    if (record->Connected()) {
        return S_FALSE;
    }
    record->server = std::move(server);
    record->connection = connection;
    if (!record->object) {
        AddInObject::Entry entry;
        entry.progId = name;
        for (const auto& listed : listed_) {
            if (lstrcmpiW(listed.progId.c_str(), name.c_str()) == 0) {
                entry.description = listed.description;
            }
        }
        entry.vbe = Root();
        entry.connected = [this, name] {
            AddIn* addIn = FindAddIn(name);
            return addIn != nullptr && addIn->Connected();
        };
        entry.connect = [this, name](bool connect) {
            return connect ? Connect(name, kConnectAfterStartup)
                           : Disconnect(name, kDisconnectUserClosed);
        };
        record->object = win32util::Adopt(new AddInObject(state_, std::move(entry)));
    }
    ComPtr<AddInObject> addInInst = record->object;
    RebuildMenu();
    hr = connection.OnConnection(Root(), mode, static_cast<::AddIn*>(addInInst.Get()));
    if (FAILED(hr)) {
        // An add-in that refuses the connection is released at once; its DLL goes back to
        // the caller, who still holds the object.
        if (AddIn* again = FindAddIn(name)) {
            again->connection = {};
            if (again->server) {
                server = std::move(again->server);
            }
        }
        RebuildMenu();
    }
    return hr;
}

HRESULT IdeHost::Disconnect(const std::wstring& name, long mode) {
    AddIn* record = FindAddIn(name);
    if (record == nullptr || !record->Connected()) {
        return S_FALSE;
    }
    // The record is updated before the call: OnDisconnection may run a message loop in
    // which the host is asked to disconnect again, or to connect the add-in anew.
    std::unique_ptr<LoadedServer> server = std::move(record->server);
    Connection connection = std::exchange(record->connection, {});
    RebuildMenu();
    HRESULT hr = connection.OnDisconnection(mode);
    // The host's references go before the DLL is offered to unload; an add-in that keeps its
    // AddIn object past this point keeps one that no longer reaches the host.
    connection = Connection{};
    if (AddIn* again = FindAddIn(name); again != nullptr && !again->Connected() && again->object) {
        again->object->Forget();
        again->object.Reset();
    }
    server.reset();
    return hr;
}

void IdeHost::ShutDown() {
    if (shuttingDown_) {
        return;
    }
    shuttingDown_ = true;
    if (state_->IsVba()) {
        // The VBA editor tells every add-in that it is closing before it disconnects any.
        for (std::size_t i = 0; i < addIns_.size(); ++i) {
            if (addIns_[i]->Connected()) {
                addIns_[i]->connection.OnBeginShutdown();
            }
        }
    }
    for (std::size_t i = 0; i < addIns_.size(); ++i) {
        if (addIns_[i]->Connected()) {
            Disconnect(addIns_[i]->name, kDisconnectHostShutdown);
        }
    }
    shuttingDown_ = false;
}

std::vector<std::wstring> IdeHost::ConnectedAddIns() const {
    std::vector<std::wstring> names;
    for (const auto& addIn : addIns_) {
        if (addIn->Connected()) {
            names.push_back(addIn->name);
        }
    }
    return names;
}

std::vector<std::wstring> IdeHost::ListedAddIns() const {
    std::vector<std::wstring> progIds;
    for (const auto& listed : listed_) {
        progIds.push_back(listed.progId);
    }
    return progIds;
}

} // namespace qvn::standin
