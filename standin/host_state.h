// State shared by the stand-in IDE and every COM object it hands out: options, injected
// failures, the module shown in the code pane, and the registry of live objects. Objects
// hold it by shared_ptr so that one an add-in leaks never points at freed memory.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qvn::standin {

class IdeObject;
class ControlObject;

// True in the 64-bit build, whose VBA editor reads Addins64 and fails Events.CommandBarEvents.
inline constexpr bool kHost64Bit = sizeof(void*) == 8;

struct InjectedFailure {
    HRESULT hr = E_FAIL;
    std::wstring description;
    int remaining = -1; // calls left to fail; -1 fails until cleared
};

// Which IDE the stand-in plays: the VB5 IDE (VBIDE 5.0, Office 97 command bars, vbaddin.ini,
// IDTExtensibility) or the VBA editor of Office (VBA Extensibility 5.3, Office 2000 command
// bars, the add-in list in HKCU, IDTExtensibility2).
enum class HostFlavour {
    Vb5,
    Vb6, // the VB5 IDE's object model and add-in list, with the 6.0 library (5.3)
    Vba,
};

// The outgoing interface an event source offers.
enum class EventInterface {
    Vb5, // {0002E198-...}, the IDE's own library
    Vba, // {0002E131-...}, the later library
};

struct HostState {
    HostFlavour flavour = HostFlavour::Vb5;
    bool hasAddInsBar = true;
    bool hasCodePane = true;
    bool refuseEventBinding = false;
    EventInterface eventInterface = EventInterface::Vb5;
    std::size_t locale = 0; // index of the language the bars are named in; 0 is English

    std::map<std::wstring, InjectedFailure> failures; // keyed by lower-case operation name

    // The one module of the code pane, one entry per line, and the caret/selection
    // (1-based lines and columns).
    std::vector<std::wstring> lines;
    long selStartLine = 1, selStartColumn = 1, selEndLine = 1, selEndColumn = 1;

    // The project's other modules, after the code pane's one (which is component 1).
    struct ProjectModule {
        std::wstring name;
        long type = 1; // vbext_ComponentType: 1 standard module, 2 class module, 3 form
        std::vector<std::wstring> lines;
    };
    std::wstring moduleName = L"Module1";
    std::vector<ProjectModule> otherModules;

    std::vector<IdeObject*> live;         // every host COM object not yet destroyed
    std::vector<ControlObject*> controls; // every command-bar control among them, in creation order

    // Set by the window so that the model and the native controls stay in step.
    std::function<void()> menuChanged;
    std::function<void()> moduleChanged;
    std::function<void()> syncSelectionFromView;
    // Set when the host keeps its command-bar customizations between sessions.
    std::function<void()> customizationsChanged;

    void CustomizationsChanged() const {
        if (customizationsChanged) {
            customizationsChanged();
        }
    }
    void MenuChanged() const {
        if (menuChanged) {
            menuChanged();
        }
    }

    // Fails `operation` when a failure was injected for it: records the description as the
    // thread's error info and returns the injected HRESULT; S_OK otherwise.
    HRESULT Check(const wchar_t* operation, const wchar_t* source);

    [[nodiscard]] bool IsVba() const { return flavour == HostFlavour::Vba; }
};

// Records `description` as the calling thread's IErrorInfo and returns `hr`.
HRESULT ReportError(HRESULT hr, const std::wstring& description, const wchar_t* source, REFIID iid);

std::wstring Lower(std::wstring text);

} // namespace qvn::standin
