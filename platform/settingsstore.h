#pragma once

#include <QString>
#include <memory>
#include <optional>

class QSettings;

namespace platform {

// The per-user settings store: application "Lumeno", then section and key. Every value is text;
// truth values are the words True and False. The typed readers fall back to the caller's
// default when a stored value does not convert, so a damaged store never breaks start-up.
class SettingsStore {
public:
    SettingsStore(); // the user's own store
    explicit SettingsStore(const QString &iniPath); // a store in a given file
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    QString GetSetting(const QString &section, const QString &key, const QString &defaultValue) const;
    void SaveSetting(const QString &section, const QString &key, const QString &value);
    bool Contains(const QString &section, const QString &key) const;

    double GetNumber(const QString &section, const QString &key, double defaultValue) const;
    int GetInteger(const QString &section, const QString &key, int defaultValue) const;
    bool GetBool(const QString &section, const QString &key, bool defaultValue) const;

    // Writes what is pending; false when the store could not be written.
    bool Sync();
    QString FileName() const;
    // Where a damaged store file was moved when the store was opened; empty when it was sound.
    QString SetAsideFile() const { return m_setAside; }

private:
    void SetAsideIfDamaged();

    std::unique_ptr<QSettings> m_settings;
    QString m_setAside;
};

QString BoolText(bool value);
// "True" / "False" exactly; anything else is not a truth value.
std::optional<bool> ParseBool(const QString &text);
// A decimal number as the store holds it ("11", "10.5", "-3"); anything else is not one.
std::optional<double> ParseNumber(const QString &text);

// The store services() names. Tests hand in one that lives in a temporary folder.
SettingsStore &settingsStore();

} // namespace platform
