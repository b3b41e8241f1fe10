#pragma once

#include <windows.h>

#include <shlobj.h>

#include <string>

namespace kavendrum::win32 {

// The shell's folder browser: owns its parameters and path buffer, and turns the dialog's
// callback messages into two operations a subclass may override.
class CFolderPicker {
  public:
    CFolderPicker(const CFolderPicker&) = delete;
    CFolderPicker& operator=(const CFolderPicker&) = delete;
    virtual ~CFolderPicker() = 0;

    void SetOwner(HWND owner);
    void SetRoot(LPCITEMIDLIST root);
    void SetTitle(const std::string& title);
    void SetTitle(int stringId);
    void SetFlags(UINT flags);

    // True when the user chose a folder.
    bool Browse();
    std::string GetPath() const { return m_strPath; }
    void SetSelection(const std::string& path);
    void SetStatusText(const std::string& text);

  protected:
    CFolderPicker(HWND owner, LPCITEMIDLIST root, int titleId);

    virtual void OnInitialized() {}
    virtual void OnSelChanged(LPCITEMIDLIST) {}

  private:
    static int CALLBACK Callback(HWND dialog, UINT message, LPARAM lParam, LPARAM data);

    std::string m_strTitle;
    BROWSEINFOA m_info{};
    char m_szPath[MAX_PATH]{};  // the chosen item's display name, as the dialog fills it
    std::string m_strPath;
    HWND m_hOpenDialog = nullptr;
};

// Opens on a given folder and shows the selected folder's path in its status line.
class CDestFolderPicker : public CFolderPicker {
  public:
    CDestFolderPicker(HWND owner, int titleId) : CFolderPicker(owner, nullptr, titleId) {}
    ~CDestFolderPicker() override = default;

    void SetInitialFolder(const std::string& folder) { m_strInitialFolder = folder; }

  protected:
    void OnInitialized() override;
    void OnSelChanged(LPCITEMIDLIST item) override;

  private:
    std::string m_strInitialFolder;
};

}  // namespace kavendrum::win32
