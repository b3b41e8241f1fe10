#pragma once

#include <windows.h>

#include <string>

namespace kavendrum::win32 {

// Copies between a dialog's controls and a form's fields, as text, radio indexes and check
// states. While a write is under way the form's own change notifications are to be ignored, so
// that writing a field into a control never runs the follow-up meant for typing.
class DataExchange {
  public:
    explicit DataExchange(HWND dialog = nullptr) : m_dialog(dialog) {}

    void SetDialog(HWND dialog) { m_dialog = dialog; }
    bool Writing() const { return m_nWriting > 0; }

    std::string Text(int id) const;
    void WriteText(int id, const std::string& text);
    // The index, counting radio buttons only, of the checked button from `first` up to the next
    // control that starts a group; -1 when none is checked.
    int Radio(int first) const;
    void WriteRadio(int first, int index);
    bool Checked(int id) const;
    void WriteChecked(int id, bool checked);

    // Marks a run of writes.
    class Writes {
      public:
        explicit Writes(DataExchange& exchange) : m_exchange(exchange) { ++m_exchange.m_nWriting; }
        ~Writes() { --m_exchange.m_nWriting; }
        Writes(const Writes&) = delete;
        Writes& operator=(const Writes&) = delete;

      private:
        DataExchange& m_exchange;
    };

  private:
    HWND m_dialog;
    int m_nWriting = 0;
};

}  // namespace kavendrum::win32
