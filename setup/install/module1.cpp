// QVNInstall: enters the add-in into the IDE's add-in list, then has the system's
// registration tool register the component beside this program.
#include "setup/addin_list.h"
#include "setup/get_short_path.h"
#include "setup/registration_tool.h"
#include "setup/tool_message.h"
#include "setup/user_install.h"

#include <windows.h>

namespace Module1 {

inline constexpr char kTitle[] = "QVNInstall";

namespace {

using namespace qvn::setup;

bool listStepDone = false;
bool registerStepDone = false;

// Writes the entry into `file` unless it is there already; false, with the error, when the
// service reports that the write did not take effect.
bool AddEntry(const char* file, DWORD& error) {
    if (EntryPresent(file))
        return true;
    if (WritePrivateProfileStringA(kSection, kKey, "1", file))
        return true;
    error = LastWriteError();
    return false;
}

} // namespace

void AddToAddInList() {
    const bool wasPresent = EntryPresent(kListFile);
    DWORD error = ERROR_SUCCESS;
    bool written = AddEntry(kListFile, error);
    // An IDE that runs virtualised reads its own copy; it must see the entry too.
    if (const auto copy = VirtualStoreCopy())
        written = AddEntry(copy->c_str(), error) && written;
    if (!written) {
        ShowMessage(std::string("QVN could not be added to VBAddin.ini.") + kEmptyLine +
                        SystemErrorText(error),
                    kFailureStyle, kTitle);
        return;
    }
    listStepDone = true;
    ShowMessage(wasPresent ? "QVN already installed in VBAddin.ini."
                           : "QVN installed in VBAddin.ini.",
                kInformationStyle, kTitle);
}

void RegisterAddIn() {
    registerStepDone = StartRegistrationTool("", kTitle);
}

// The start procedure. The exit status tells a scripted install whether both steps were
// carried out: bit 0 set when the list was not updated, bit 1 when the registration tool
// was not started.
int Main() {
    AddToAddInList();
    RegisterAddIn();
    return (listStepDone ? 0 : 1) | (registerStepDone ? 0 : 2);
}

} // namespace Module1

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return qvn::setup::ToolMain(false, Module1::kTitle, Module1::Main);
}
