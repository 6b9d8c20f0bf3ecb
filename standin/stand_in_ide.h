// The stand-in IDE as a library: the object model an add-in sees (VBE, command bars, events,
// code pane), the add-in list and connections, the main window, and the hooks tests use to
// steer it. idehost.exe is a thin program around this class; tests drive it in-process.
#pragma once

#include "ide/names.h"

#include "standin/addin_class.h"
#include "standin/host_state.h"

#include <windows.h>

#include <vbide.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

struct IDispatch;
struct IUnknown;

namespace qvn::standin {

class VbeObject;
class CommandBarsObject;
class EventsObject;
class CodePaneObject;

struct ObjectRefs {
    std::wstring type; // the object's interface name, e.g. "CommandBarControl"
    ULONG refs;
};

struct AddInListEntry {
    std::wstring progId;
    std::wstring value; // vbaddin.ini: "1" means load at start-up
    // The VBA editor's list (HKCU ...\Addins or Addins64): the subkey's values.
    std::wstring friendlyName;
    std::wstring description;
    DWORD loadBehavior = 0; // 3 connects at start-up, 0 lists only
};

// The VBA editor's LoadBehavior that connects an add-in at start-up.
inline constexpr DWORD kLoadAtStartup = 3;

// Connection modes the IDE passes to OnConnection and OnDisconnection, as its library names them.
inline constexpr long kConnectAfterStartup = vbext_cm_AfterStartup;
inline constexpr long kConnectStartup = vbext_cm_Startup;
inline constexpr long kConnectExternal = vbext_cm_External;
// IDTExtensibility2's mode 3; the VB IDEs' library defines only 0 to 2.
inline constexpr long kConnectCommandLine = 3;
inline constexpr long kDisconnectHostShutdown = vbext_dm_HostShutdown;
inline constexpr long kDisconnectUserClosed = vbext_dm_UserClosed;

class IdeHost {
public:
    // The VB5 IDE unless told otherwise.
    explicit IdeHost(HostFlavour flavour = HostFlavour::Vb5);
    ~IdeHost();
    IdeHost(const IdeHost&) = delete;
    IdeHost& operator=(const IdeHost&) = delete;

    // The root object handed to add-ins (not AddRef'd for the caller).
    [[nodiscard]] IDispatch* Root() const;
    [[nodiscard]] HostFlavour Flavour() const { return state_->flavour; }

    // --- Steering for tests and the demo -----------------------------------------------
    // Makes the named operation (CommandBars, Item, Controls, Add, Caption, Events,
    // CommandBarEvents, Delete, ActiveCodePane, GetSelection, CodeModule, InsertLines,
    // CountOfLines, Lines, DeleteLines, ProcOfLine, ProcBodyLine, ProcStartLine,
    // CountOfDeclarationLines, Parent, Collection) fail with `hr` and `description`, `times` times
    // or until cleared.
    void FailOperation(const std::wstring& operation, HRESULT hr, const std::wstring& description,
                       int times = -1);
    void ClearFailures();
    void SetCodePaneOpen(bool open);
    void SetAddInsBar(bool present);
    void SetRefuseEventBinding(bool refuse);
    void SetEventInterface(EventInterface events);
    // Plays the IDE of a localized Office or Visual Basic: the built-in bars are named and
    // their menus captioned in that language ("en", "de", "es", "fr"); the built-in Ids stay.
    // False for a language the stand-in does not know.
    bool SetLocale(const std::wstring& locale);
    // Keeps the bars' customizations (controls added without Temporary) in `path` as the
    // IDEs do: whatever an add-in leaves on a bar is there again at the next start, even when
    // the IDE ended without disconnecting it. Loads what the file holds now.
    void KeepCustomizationsIn(const std::wstring& path);
    // Ends the session as a crash does: every add-in is released without OnDisconnection.
    void EndWithoutDisconnecting();

    // --- Code pane -------------------------------------------------------------------------
    void SetModuleText(const std::wstring& text);
    bool LoadModuleFile(const std::wstring& path);
    bool SaveModuleFile(const std::wstring& path) const; // UTF-8, CR LF
    [[nodiscard]] std::wstring ModuleText() const;       // lines joined by CR LF
    [[nodiscard]] std::vector<std::wstring> ModuleLines() const;
    // Adds a module to the pane's project (after the pane's module, which is component 1);
    // `type` is vbext_ComponentType (1 standard module, 2 class module, 3 form).
    void AddProjectModule(const std::wstring& name, long type, const std::wstring& text);
    void SetCaretLine(long line); // 1-based; also moves the edit control's caret
    [[nodiscard]] long CaretLine() const;

    // --- Add-Ins menu ----------------------------------------------------------------------
    // Captions of the Add-Ins menu's controls, in order (empty without the menu).
    [[nodiscard]] std::vector<std::wstring> AddInsMenu() const;
    // Chooses the first item with this caption as a user would: raises Click on every event
    // source bound to it. Returns the number of sinks called, or -1 without such an item.
    int ClickAddInsItem(const std::wstring& caption);
    // The same for the code window's context menu ("Code Window"), which a host may lack.
    [[nodiscard]] std::vector<std::wstring> CodeWindowMenu() const;
    int ClickCodeWindowItem(const std::wstring& caption);
    void SetCodeWindowMenu(bool present);

    // --- Reference counts ------------------------------------------------------------------
    // Every host COM object alive, with its current reference count.
    [[nodiscard]] std::vector<ObjectRefs> Objects() const;
    [[nodiscard]] std::size_t LiveObjectCount() const;

    // --- Add-ins -----------------------------------------------------------------------------
    static std::wstring DefaultAddInListPath(); // vbaddin.ini in the Windows folder
    static std::vector<AddInListEntry> ReadAddInList(const std::wstring& iniPath);
    // The VBA editor's list below HKEY_CURRENT_USER: Addins for a 32-bit host, Addins64 for a
    // 64-bit one.
    static std::wstring DefaultVbaAddInsKey();
    static std::vector<AddInListEntry> ReadVbaAddInList(const std::wstring& userKey);
    // Reads the flavour's list (the VB5 IDE: the ini file, default path when empty; the VBA
    // editor: the HKCU key, default key when empty), connects each start-up entry (value "1";
    // LoadBehavior 3) in mode 1, then calls OnStartupComplete on each; returns the first
    // failure, if any.
    HRESULT StartUp(const std::wstring& list = {});
    // Creates the add-in by ProgID (if not yet created) and connects it. The VBA editor finds
    // the class for the user (host/addin_class.h).
    HRESULT Connect(const std::wstring& progId, long mode);
    // Connects an add-in object the caller created (a test's own add-in). The VB5 IDE asks it
    // for IDTExtensibility, the VBA editor for IDTExtensibility2.
    HRESULT ConnectObject(IUnknown* addIn, const std::wstring& name, long mode);
    HRESULT Disconnect(const std::wstring& name, long mode);
    // Disconnects every connected add-in (mode 0) and releases them; the VBA editor first
    // calls OnBeginShutdown on each. Safe to call from inside an add-in's modal loop and more
    // than once.
    void ShutDown();
    [[nodiscard]] std::vector<std::wstring> ConnectedAddIns() const;
    [[nodiscard]] std::vector<std::wstring> ListedAddIns() const;

    // --- Window ------------------------------------------------------------------------------
    // `quitOnDestroy` ends the thread's message loop when the window goes (the program
    // wants that; in-process tests do not).
    HWND CreateMainWindow(int show, bool quitOnDestroy = false);
    [[nodiscard]] HWND Window() const { return window_; }
    [[nodiscard]] HWND CodePaneWindow() const { return edit_; }
    // Runs the message loop until the main window is destroyed; returns the exit code.
    static int RunMessageLoop();

private:
    struct AddIn;
    struct Listed {
        std::wstring progId;
        std::wstring caption; // what the Add-In Manager shows
        std::wstring description;
    };
    // `server` (the DLL the object came from, if the host loaded it) moves into the add-in's
    // record when the connection is made, and stays with the caller otherwise.
    HRESULT ConnectCreated(IUnknown* addIn, const std::wstring& name, long mode,
                           std::unique_ptr<LoadedServer>& server);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
    LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnCommand(UINT id);
    void RebuildMenu();
    void RefreshCodePane();
    void ReadSelectionFromView();
    void ReadTextFromView();
    AddIn* FindAddIn(const std::wstring& name);
    void SaveCustomizations() const;

    std::shared_ptr<HostState> state_;
    Microsoft::WRL::ComPtr<VbeObject> vbe_;
    CommandBarsObject* bars_; // the root object's, for the host's whole life
    std::vector<std::unique_ptr<AddIn>> addIns_;
    std::vector<Listed> listed_;
    HWND window_ = nullptr;
    HWND edit_ = nullptr;
    HMENU addInsMenu_ = nullptr;
    HMENU managerMenu_ = nullptr;
    bool updatingView_ = false;
    bool shuttingDown_ = false;
    bool quitOnDestroy_ = false;
    std::wstring customizationFile_;
};

} // namespace qvn::standin
