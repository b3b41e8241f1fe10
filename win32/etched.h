#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace kavendrum::win32 {

// The pens and brushes of the flat grey look, made once for the program.
class EtchedPalette {
  public:
    static const EtchedPalette& Shared();
    ~EtchedPalette();
    EtchedPalette(const EtchedPalette&) = delete;
    EtchedPalette& operator=(const EtchedPalette&) = delete;

    HPEN Dark() const { return m_dark; }
    HPEN Light() const { return m_light; }
    HPEN Focus() const { return m_focus; }
    HPEN CheckMark() const { return m_checkMark; }
    HBRUSH Face() const { return m_face; }
    HBRUSH Pressed() const { return m_pressed; }
    HBRUSH Accent() const { return m_accent; }

  private:
    EtchedPalette();

    HPEN m_dark;
    HPEN m_light;
    HPEN m_focus;
    HPEN m_checkMark;
    HBRUSH m_face;
    HBRUSH m_pressed;
    HBRUSH m_accent;
};

// The two-pixel etched frame: the outer ring dark at top and left and light at bottom and
// right, the inner ring the reverse.
void DrawEtchedFrame(HDC dc, const RECT& rect);

// A form's owner-drawn buttons and check boxes and its etched edits and combo box. The buttons
// draw their caption, not their window text; a check box keeps its state here, and a click
// turns it over before the form hears of it.
class EtchedControls {
  public:
    static constexpr const char* kCheckedProperty = "KavendrumChecked";

    void AttachButton(HWND button, const std::string& caption);
    void AttachCheckBox(HWND box, const std::string& caption);
    // A frame painted over the edit's own; dropped files replace its text when it takes them.
    static void AttachEdit(HWND edit);
    static void AttachComboBox(HWND combo);

    // Called for the form's WM_DRAWITEM; false for a control that is not ours.
    bool Draw(const DRAWITEMSTRUCT& item) const;
    // Called for a click; true when it was a check box, now turned over.
    bool Toggle(HWND control);

    // The state as the form reads and writes it: any nonzero value counts as checked.
    int State(HWND box) const;
    void SetState(HWND box, int state);
    bool Checked(HWND box) const { return State(box) != 0; }
    void SetChecked(HWND box, bool checked) { SetState(box, checked ? 1 : 0); }

  private:
    void DrawButton(const DRAWITEMSTRUCT& item, const std::string& caption) const;
    void DrawCheckBox(const DRAWITEMSTRUCT& item, const std::string& caption) const;

    std::map<HWND, std::string> m_buttons;
    std::map<HWND, std::string> m_checkBoxes;
    std::map<HWND, int> m_states;
};

}  // namespace kavendrum::win32
