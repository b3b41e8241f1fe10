#include "win32/window_dump.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "engine/io/native_text_win32.h"
#include "win32/etched.h"
#include "win32/window.h"

namespace kavendrum::win32 {

namespace {

std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

std::string RectJson(const RECT& r) {
    return std::string("[") + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + "]";
}

// The widest line of the text in the control's font, without the mnemonic marks.
int TextWidth(HWND hwnd, const std::string& text) {
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        shown += text[i];
    }
    HDC dc = GetDC(hwnd);
    auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    // Our owner-drawn check boxes draw their caption in the default GUI font.
    if (GetPropA(hwnd, EtchedControls::kCheckedProperty) != nullptr) {
        font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    const HGDIOBJ old = SelectObject(
        dc, font != nullptr ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    int widest = 0;
    std::size_t start = 0;
    while (start <= shown.size()) {
        std::size_t end = shown.find('\n', start);
        if (end == std::string::npos) {
            end = shown.size();
        }
        SIZE extent{};
        GetTextExtentPoint32A(dc, shown.c_str() + start, static_cast<int>(end - start), &extent);
        widest = extent.cx > widest ? extent.cx : widest;
        start = end + 1;
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return widest;
}

std::string FontName(HWND hwnd) {
    auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    if (font == nullptr || GetObjectA(font, sizeof logFont, &logFont) == 0) {
        return std::string();
    }
    return logFont.lfFaceName;
}

// "checked" for the buttons that have a state: radio buttons, check boxes and ours.
std::string CheckedJson(HWND hwnd) {
    if (const HANDLE ours = GetPropA(hwnd, EtchedControls::kCheckedProperty); ours != nullptr) {
        return reinterpret_cast<INT_PTR>(ours) == 2 ? ",\"checked\":true" : ",\"checked\":false";
    }
    if (ClassOf(hwnd) != "Button") {
        return std::string();
    }
    const LONG type = GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
        type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) {
        return SendMessageA(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? ",\"checked\":true"
                                                                    : ",\"checked\":false";
    }
    return std::string();
}

std::string ListRowsJson(HWND list) {
    const int rows = ListView_GetItemCount(list);
    const HWND header = ListView_GetHeader(list);
    const int columns = header != nullptr ? Header_GetItemCount(header) : 1;
    std::string json = ",\"rows\":[";
    for (int row = 0; row < rows; ++row) {
        json += row > 0 ? ",{" : "{";
        LVITEMA item{};
        item.mask = LVIF_IMAGE | LVIF_STATE;
        item.stateMask = LVIS_SELECTED;
        item.iItem = row;
        ListView_GetItem(list, &item);
        json += std::string("\"image\":") + std::to_string(item.iImage) +
                ",\"selected\":" + ((item.state & LVIS_SELECTED) != 0 ? "true" : "false");
        // Where the row shows on the screen, when it does.
        RECT rect{};
        if (ListView_GetItemRect(list, row, &rect, LVIR_BOUNDS)) {
            MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
            json += std::string(",\"rect\":") + RectJson(rect);
        }
        json += ",\"cells\":[";
        for (int column = 0; column < columns; ++column) {
            char text[1024] = {};
            ListView_GetItemText(list, row, column, text, sizeof text);
            if (column > 0) {
                json += ',';
            }
            json += JsonString(text);
        }
        json += "]}";
    }
    return json + "]";
}

std::string TreeItemsJson(HWND tree) {
    std::string json = ",\"items\":[";
    bool first = true;
    for (HTREEITEM item = TreeView_GetRoot(tree); item != nullptr;
         item = TreeView_GetNextSibling(tree, item)) {
        char text[256] = {};
        TVITEMA data{};
        data.mask = TVIF_TEXT | TVIF_STATE | TVIF_IMAGE;
        data.hItem = item;
        data.stateMask = TVIS_STATEIMAGEMASK | TVIS_SELECTED;
        data.pszText = text;
        data.cchTextMax = sizeof text;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
        if (!first) {
            json += ',';
        }
        json += std::string("{\"text\":") + JsonString(text) +
                ",\"image\":" + std::to_string(data.iImage) +
                ",\"stateImage\":" + std::to_string((data.state & TVIS_STATEIMAGEMASK) >> 12) +
                ",\"selected\":" + ((data.state & TVIS_SELECTED) != 0 ? "true" : "false");
        RECT rect{};
        if (TreeView_GetItemRect(tree, item, &rect, TRUE)) {
            MapWindowPoints(tree, nullptr, reinterpret_cast<POINT*>(&rect), 2);
            json += std::string(",\"rect\":") + RectJson(rect);
        }
        json += "}";
        first = false;
    }
    return json + "]";
}

std::string WindowJson(HWND hwnd) {
    const std::string className = ClassOf(hwnd);
    const std::string text = WindowText(hwnd);
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    HWND parent = GetAncestor(hwnd, GA_PARENT);
    std::string json = std::string("{\"class\":") + JsonString(className) +
                       ",\"id\":" + std::to_string(GetDlgCtrlID(hwnd)) +
                       ",\"text\":" + JsonString(text) + ",\"rect\":" + RectJson(rect) +
                       ",\"style\":" + std::to_string(GetWindowLongA(hwnd, GWL_STYLE));
    if ((GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) != 0 && parent != nullptr) {
        RECT client{};
        GetClientRect(parent, &client);
        MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
        json += std::string(",\"parentClient\":") + RectJson(client) +
                ",\"parentId\":" + std::to_string(GetDlgCtrlID(parent));
    }
    json += std::string(",\"visible\":") + (IsWindowVisible(hwnd) ? "true" : "false") +
            ",\"enabled\":" + (IsWindowEnabled(hwnd) ? "true" : "false") + CheckedJson(hwnd) +
            ",\"textWidth\":" + std::to_string(TextWidth(hwnd, text)) +
            ",\"font\":" + JsonString(FontName(hwnd));
    if (className == "#32770") {
        // The units of the dialog's own font, as its template is mapped.
        RECT units{0, 0, 4, 8};
        MapDialogRect(hwnd, &units);
        json += std::string(",\"dialogUnits\":[") + std::to_string(units.right) + "," +
                std::to_string(units.bottom) + "]";
    }
    if (className == WC_LISTVIEWA) {
        json += ListRowsJson(hwnd);
    } else if (className == WC_TREEVIEWA) {
        json += TreeItemsJson(hwnd);
    }
    return json + "}";
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM list) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId()) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    }
    return TRUE;
}

std::string TopLevelJson(HWND hwnd) {
    std::string json = WindowJson(hwnd);
    json.pop_back();
    std::vector<HWND> children;
    EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&children));
    json += ",\"children\":[";
    for (std::size_t i = 0; i < children.size(); ++i) {
        json += i > 0 ? ",\n" : "\n";
        json += WindowJson(children[i]);
    }
    return json + "]}";
}

}  // namespace

std::string JsonString(const std::string& text) {
    // The letters as the code page spells them, each beyond ASCII as its UTF-16 units (a pair for
    // one beyond the first plane), so that the dump stays ASCII; bytes that spell no text are
    // kept as their numbers.
    std::vector<unsigned> units;
    if (const auto wide = WideFromNative(text)) {
        units.assign(wide->begin(), wide->end());
    } else {
        for (const char c : text) {
            units.push_back(static_cast<unsigned char>(c));
        }
    }
    std::string json = "\"";
    for (const unsigned unit : units) {
        if (unit == '"' || unit == '\\') {
            json += '\\';
            json += static_cast<char>(unit);
        } else if (unit < 0x20 || unit >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
            json += escaped;
        } else {
            json += static_cast<char>(unit);
        }
    }
    return json + "\"";
}

std::string DescribeWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
    const LONG units = GetDialogBaseUnits();
    std::string json = std::string("{\"dialogBaseUnits\":[") + std::to_string(LOWORD(units)) + "," +
                       std::to_string(HIWORD(units)) + "],\"windows\":[";
    bool first = true;
    for (HWND hwnd : windows) {
        if (!IsWindowVisible(hwnd) && ClassOf(hwnd) != "KavendrumFrame") {
            continue;
        }
        json += first ? "\n" : ",\n";
        json += TopLevelJson(hwnd);
        first = false;
    }
    return json + "]}\n";
}

bool WriteWindowDump(const std::string& path) {
    const std::string json = DescribeWindows();
    // A name of this process's own; a stale one from an earlier run is left alone.
    const std::string staged = path + "." + std::to_string(GetCurrentProcessId()) + ".new";
    HANDLE file = CreateFileA(staged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, json.data(), static_cast<DWORD>(json.size()), &written, nullptr) &&
        written == json.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (!ok || !MoveFileExA(staged.c_str(), path.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(staged.c_str());
        return false;
    }
    return true;
}

}  // namespace kavendrum::win32
