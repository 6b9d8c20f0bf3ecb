// The builder window as its owner, the add-in object, sees it: the window's two public
// members and the operations that load, show, hide and unload it.
#pragma once

#include "builder/ide_operations.h"

#include <memory>

namespace qvn {

class BuilderForm {
public:
    virtual ~BuilderForm() = default;

    // The window's public members. The window neither creates nor frees what they name.
    virtual void SetVBInstance(std::shared_ptr<IdeRoot> vbInstance) = 0;
    virtual void SetConnect(AddinConnect* connect) = 0;

    // The edit command: reads the message box at the IDE's caret for the next display. False,
    // after saying why, when there is none the window can hold.
    virtual bool PrepareEdit() = 0;
    // Loads the window when it is not loaded (running Form_Load) and displays it modally.
    // Returns when the window has been hidden or unloaded. A call made while the window is
    // already being shown (the load step's own call) returns at once and changes nothing.
    virtual void ShowModal() = 0;
    // Hides the window; a modal display in progress ends.
    virtual void HideForm() = 0;
    // Runs Form_Unload and destroys the window's controls; nothing when not loaded.
    virtual void Unload() = 0;
    [[nodiscard]] virtual bool IsLoaded() const = 0;
    [[nodiscard]] virtual bool IsShowing() const = 0;
};

// Creates the native builder window (Windows only; implemented in builder/win32).
std::unique_ptr<BuilderForm> CreateBuilderForm();

} // namespace qvn
