#include "win32/folder_picker.h"

#include "engine/io/native_text_win32.h"
#include "win32/window.h"

namespace kavendrum::win32 {

namespace {

// The file system path of a shell item in the program's code page, empty when it has none. The
// wide call, since a path of MAX_PATH letters can take three times as many bytes in UTF-8.
std::string PathOfItem(LPCITEMIDLIST item) {
    wchar_t path[MAX_PATH] = {};
    if (item == nullptr || !SHGetPathFromIDListW(item, path)) {
        return std::string();
    }
    return NativeFromWide(path).value_or(std::string());
}

}  // namespace

CFolderPicker::~CFolderPicker() = default;

CFolderPicker::CFolderPicker(HWND owner, LPCITEMIDLIST root, int titleId) {
    m_info.hwndOwner = owner;
    m_info.pidlRoot = root;
    m_info.pszDisplayName = m_szPath;
    m_info.lpfn = Callback;
    m_info.lParam = reinterpret_cast<LPARAM>(this);
    SetTitle(titleId);
}

void CFolderPicker::SetOwner(HWND owner) {
    if (m_hOpenDialog == nullptr) {
        m_info.hwndOwner = owner;
    }
}

void CFolderPicker::SetRoot(LPCITEMIDLIST root) {
    if (m_hOpenDialog == nullptr) {
        m_info.pidlRoot = root;
    }
}

void CFolderPicker::SetTitle(const std::string& title) {
    if (m_hOpenDialog == nullptr) {
        m_strTitle = title;
        m_info.lpszTitle = m_strTitle.c_str();
    }
}

void CFolderPicker::SetTitle(int stringId) {
    if (stringId <= 0) {
        return;
    }
    char text[256] = {};
    if (LoadStringA(ProgramInstance(), static_cast<UINT>(stringId), text, sizeof text) > 0) {
        SetTitle(std::string(text));
    }
}

void CFolderPicker::SetFlags(UINT flags) {
    if (m_hOpenDialog == nullptr) {
        m_info.ulFlags = flags;
    }
}

bool CFolderPicker::Browse() {
    LPITEMIDLIST item = SHBrowseForFolderA(&m_info);
    if (item == nullptr) {
        m_hOpenDialog = nullptr;
        return false;
    }
    m_strPath = PathOfItem(item);
    CoTaskMemFree(item);
    m_hOpenDialog = nullptr;
    return true;
}

void CFolderPicker::SetSelection(const std::string& path) {
    if (m_hOpenDialog != nullptr) {
        SendMessageA(m_hOpenDialog, BFFM_SETSELECTIONA, TRUE,
                     reinterpret_cast<LPARAM>(path.c_str()));
    }
}

void CFolderPicker::SetStatusText(const std::string& text) {
    if (m_hOpenDialog != nullptr) {
        SendMessageA(m_hOpenDialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
}

int CALLBACK CFolderPicker::Callback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
    auto* picker = reinterpret_cast<CFolderPicker*>(data);
    picker->m_hOpenDialog = dialog;
    if (message == BFFM_INITIALIZED) {
        picker->OnInitialized();
    } else if (message == BFFM_SELCHANGED) {
        picker->OnSelChanged(reinterpret_cast<LPCITEMIDLIST>(lParam));
    }
    return 0;
}

void CDestFolderPicker::OnInitialized() {
    SetSelection(m_strInitialFolder);
    SetStatusText(m_strInitialFolder);
}

void CDestFolderPicker::OnSelChanged(LPCITEMIDLIST item) {
    SetStatusText(PathOfItem(item));
}

}  // namespace kavendrum::win32
