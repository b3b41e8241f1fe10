#pragma once

#include <QSettings>

#include "ui/presenters/option_source.h"

namespace kavendrum::ui {

// The user profile: the program's settings under its organisation and application name. Each
// value is written through at once.
class CSettingsProfile : public Profile {
  public:
    int ReadInt(const std::string& key, int fallback) const override {
        return Settings().value(QString::fromStdString(key), fallback).toInt();
    }
    void WriteInt(const std::string& key, int value) override {
        Settings().setValue(QString::fromStdString(key), value);
    }

  private:
    static QSettings Settings() { return QSettings("Kavendrum", "Kavendrum"); }
};

}  // namespace kavendrum::ui
