// QVNRemove: takes the add-in out of the IDE's add-in list, then has the system's
// registration tool unregister the component beside this program.
#include "setup/addin_list.h"
#include "setup/get_short_path.h"
#include "setup/registration_tool.h"
#include "setup/tool_message.h"
#include "setup/user_install.h"

#include <windows.h>

namespace Module1 {

inline constexpr char kTitle[] = "QVNRemove";

namespace {

using namespace qvn::setup;

// The delete names the list with this spelling; the file system ignores the case, so it is
// the same file the lookup read.
constexpr char kDeleteFile[] = "VBAddIn.ini";

bool listStepDone = false;
bool registerStepDone = false;

// Deletes the key (a write with no value) from `lookupFile` when it holds it; the section
// stays even when the entry was its last line.
bool DeleteEntry(const char* lookupFile, const char* deleteFile, DWORD& error) {
    if (!EntryPresent(lookupFile))
        return true;
    if (WritePrivateProfileStringA(kSection, kKey, nullptr, deleteFile))
        return true;
    error = LastWriteError();
    return false;
}

} // namespace

void RemoveFromAddInList() {
    const bool wasPresent = EntryPresent(kListFile);
    DWORD error = ERROR_SUCCESS;
    bool deleted = DeleteEntry(kListFile, kDeleteFile, error);
    // An IDE that runs virtualised reads its own copy; the entry must go from there too.
    if (const auto copy = VirtualStoreCopy())
        deleted = DeleteEntry(copy->c_str(), copy->c_str(), error) && deleted;
    if (!deleted) {
        ShowMessage(std::string("QVN could not be removed from VBAddin.ini.") + kEmptyLine +
                        SystemErrorText(error),
                    kFailureStyle, kTitle);
        return;
    }
    listStepDone = true;
    ShowMessage(wasPresent ? "QVN removed from VBAddin.ini."
                           : "QVN already removed from VBAddin.ini.",
                kInformationStyle, kTitle);
}

void UnregisterAddIn() {
    registerStepDone = StartRegistrationTool("/u ", kTitle);
}

// The start procedure. The exit status tells a script whether both steps were carried out:
// bit 0 set when the list was not updated, bit 1 when the registration tool was not started.
int Main() {
    RemoveFromAddInList();
    UnregisterAddIn();
    return (listStepDone ? 0 : 1) | (registerStepDone ? 0 : 2);
}

} // namespace Module1

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return qvn::setup::ToolMain(true, Module1::kTitle, Module1::Main);
}
