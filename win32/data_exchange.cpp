#include "win32/data_exchange.h"

#include "win32/window.h"

namespace kavendrum::win32 {

namespace {

bool IsRadioButton(HWND control) {
    const LONG style = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    return style == BS_RADIOBUTTON || style == BS_AUTORADIOBUTTON;
}

// Calls `visit` with each radio button of the group that starts at `first`, and its index.
template <class Visit>
void ForEachRadio(HWND dialog, int first, Visit visit) {
    int index = 0;
    for (HWND control = GetDlgItem(dialog, first); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (control != GetDlgItem(dialog, first) &&
            (GetWindowLongA(control, GWL_STYLE) & WS_GROUP) != 0) {
            break;
        }
        if (IsRadioButton(control)) {
            visit(control, index++);
        }
    }
}

}  // namespace

std::string DataExchange::Text(int id) const {
    return WindowText(GetDlgItem(m_dialog, id));
}

void DataExchange::WriteText(int id, const std::string& text) {
    const Writes writes(*this);
    // An unchanged text is left alone, so that the caret and selection stay where they are.
    if (Text(id) != text) {
        SetDlgItemTextA(m_dialog, id, text.c_str());
    }
}

int DataExchange::Radio(int first) const {
    int checked = -1;
    ForEachRadio(m_dialog, first, [&](HWND control, int index) {
        if (checked < 0 && SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
            checked = index;
        }
    });
    return checked;
}

void DataExchange::WriteRadio(int first, int index) {
    const Writes writes(*this);
    ForEachRadio(m_dialog, first, [&](HWND control, int at) {
        SendMessageA(control, BM_SETCHECK, at == index ? BST_CHECKED : BST_UNCHECKED, 0);
    });
}

bool DataExchange::Checked(int id) const {
    return IsDlgButtonChecked(m_dialog, id) == BST_CHECKED;
}

void DataExchange::WriteChecked(int id, bool checked) {
    const Writes writes(*this);
    CheckDlgButton(m_dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

}  // namespace kavendrum::win32
