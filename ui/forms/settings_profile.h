#pragma once

#include <QSettings>

#include "ui/presenters/option_source.h"

namespace kavendrum::ui {

// The user profile: the program's settings, in the same configuration folder as an installed
// program's option file (kavendrum/Kavendrum.conf). Each value is written through at once.
class CSettingsProfile : public Profile {
  public:
    static QSettings Settings() { return QSettings("kavendrum", "Kavendrum"); }
    // A profile kept where earlier versions kept it (Kavendrum/) moves to the shared folder
    // once, when there is none there yet.
    static void TakeOverEarlierProfile() {
        QSettings earlier("Kavendrum", "Kavendrum");
        QSettings settings = Settings();
        if (earlier.fileName() == settings.fileName() || !settings.allKeys().isEmpty()) {
            return;
        }
        for (const QString& key : earlier.allKeys()) {
            settings.setValue(key, earlier.value(key));
        }
    }

    int ReadInt(const std::string& key, int fallback) const override {
        return Settings().value(QString::fromStdString(key), fallback).toInt();
    }
    void WriteInt(const std::string& key, int value) override {
        Settings().setValue(QString::fromStdString(key), value);
    }
};

}  // namespace kavendrum::ui
