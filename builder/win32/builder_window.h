// The builder window on Win32: native controls made from the layout table, mirroring frmMain's
// model, and the modal display the add-in asks for through BuilderForm.
#pragma once

#include "builder/builder_form.h"
#include "builder/frm_main.h"
#include "builder/win32/gdi_tally.h"
#include "builder/win32/system_services.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace qvn::win32 {

class BuilderWindow final : public BuilderForm, private ModelObserver {
public:
    // `services` lets a test watch the calls on their way to the system; nothing means the
    // plain system services.
    explicit BuilderWindow(std::unique_ptr<SystemServices> services = nullptr);
    ~BuilderWindow() override;
    BuilderWindow(const BuilderWindow&) = delete;
    BuilderWindow& operator=(const BuilderWindow&) = delete;

    void SetVBInstance(std::shared_ptr<IdeRoot> vbInstance) override;
    void SetConnect(AddinConnect* connect) override;
    bool PrepareEdit() override;
    void ShowModal() override;
    void HideForm() override;
    void Unload() override;
    [[nodiscard]] bool IsLoaded() const override { return form_.IsLoaded(); }
    [[nodiscard]] bool IsShowing() const override { return showing_; }

    [[nodiscard]] HWND Hwnd() const { return hwnd_; }
    // The native control of layout row `row`, or nullptr (file dialog, or not loaded).
    [[nodiscard]] HWND ControlWindow(int row) const;
    [[nodiscard]] UINT Dpi() const { return dpi_; }
    frmMain& Form() { return form_; }

    // Window class of the builder window.
    static constexpr const wchar_t* kClassName = L"QvnBuilderWindow";

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id, int code);
    void OnDestroyedFromOutside() noexcept;
    // Posts a message to the thread of a running modal loop, so that it looks again whether
    // the display has ended. A message sent from another thread (an automation client's
    // click on Exit) is handled inside GetMessage, which then goes on waiting for a posted one.
    void WakeModalLoop() const;
    DWORD loopThread_ = 0; // the thread of the modal loop while one runs

    void ControlChanged(int row, Property property) override;
    void FormCaptionChanged(const std::string& caption) override;

    bool CreateNativeWindow();
    void CreateFonts();
    void CreateControl(int row);
    void CreateTooltips();
    // Drops the handles of the window and its controls and returns the window's.
    HWND ForgetNativeWindow() noexcept;
    void DestroyNativeWindow();
    void FreeDrawingObjects();
    void MirrorEnabled(int row);
    void MirrorVisible(int row);
    // False when the model has no control with the focus to give it to.
    bool FocusModelControl();
    [[nodiscard]] RECT PlaceOf(int row) const;
    [[nodiscard]] HGDIOBJ FontOf(int row) const;
    void ChangeDpi(UINT dpi, const RECT& suggested);

    static BOOL CALLBACK DisableWindow(HWND other, LPARAM self);
    void DisableOtherWindows();
    void EnableOtherWindows();
    void RunModalLoop();
    bool HandleKey(const MSG& msg);

    std::unique_ptr<SystemServices> services_;
    frmMain form_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::vector<HWND> controls_; // by layout row
    GdiHandle dialogFont_;
    GdiHandle boldFont_;
    std::vector<GdiHandle> pictures_;
    std::vector<HWND> disabledWindows_;
    std::optional<int> settingTextRow_;
    bool inShowModal_ = false;
    bool showing_ = false;
};

} // namespace qvn::win32
