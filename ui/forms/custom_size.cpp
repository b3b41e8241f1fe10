#include "ui/forms/custom_size.h"

#include "ui/forms/modal_dialogs.h"

namespace kavendrum::ui {

namespace {

std::optional<std::uint64_t> UnsignedDecimal(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 10) {
        return std::nullopt;
    }
    for (const QChar c : trimmed) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    const std::uint64_t value = trimmed.toULongLong();
    if (value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return value;
}

void Refuse(QWidget* form, QLineEdit* field, const QString& text) {
    ShowBox(form, text, "Kavendrum", BoxStyle::Warning);
    field->setFocus();
    field->selectAll();
}

}  // namespace

std::optional<std::uint32_t> ReadCustomSize(QWidget* form, QLineEdit* field, std::uint32_t lowest,
                                            std::uint32_t highest) {
    const auto value = UnsignedDecimal(field->text());
    if (!value) {
        Refuse(form, field, "Please enter a positive integer.");
        return std::nullopt;
    }
    if (*value < lowest || *value > highest) {
        Refuse(form, field,
               QString("Please enter an integer between %1 and %2.").arg(lowest).arg(highest));
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

}  // namespace kavendrum::ui
