#pragma once

#include <QLineEdit>
#include <QWidget>
#include <cstdint>
#include <optional>

namespace kavendrum::ui {

// The field's text as an unsigned decimal number from `lowest` to `highest`. Otherwise the
// framework's notice is shown ("Please enter a positive integer." or "Please enter an integer
// between %1 and %2."), the focus goes to the field and its text is selected.
std::optional<std::uint32_t> ReadCustomSize(QWidget* form, QLineEdit* field, std::uint32_t lowest,
                                            std::uint32_t highest);

}  // namespace kavendrum::ui
