#include "settingsstore.h"

#include <QFile>
#include <QSettings>
#include <cmath>

namespace platform {

namespace {
QString keyPath(const QString &section, const QString &key)
{
    return section + QLatin1Char('/') + key;
}
} // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Lumeno"), QStringLiteral("Lumeno")))
{
    SetAsideIfDamaged();
}

SettingsStore::SettingsStore(const QString &iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
    SetAsideIfDamaged();
}

// QSettings never writes over a file it could not parse, so a damaged store would forget every
// setting from then on. The damaged file is kept beside the store for the user, and the store
// starts afresh.
void SettingsStore::SetAsideIfDamaged()
{
    m_settings->allKeys(); // reads the file now, which sets the status
    if (m_settings->status() != QSettings::FormatError)
        return;
    const QString path = m_settings->fileName();
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    if (!QFile::rename(path, aside))
        return;
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    m_setAside = aside;
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::GetSetting(const QString &section, const QString &key, const QString &defaultValue) const
{
    const QVariant value = m_settings->value(keyPath(section, key));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited INI file may hold a list ("a, b"); the store only knows single texts.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void SettingsStore::SaveSetting(const QString &section, const QString &key, const QString &value)
{
    m_settings->setValue(keyPath(section, key), value);
}

bool SettingsStore::Contains(const QString &section, const QString &key) const
{
    return m_settings->contains(keyPath(section, key));
}

double SettingsStore::GetNumber(const QString &section, const QString &key, double defaultValue) const
{
    if (!Contains(section, key))
        return defaultValue;
    return ParseNumber(GetSetting(section, key, QString())).value_or(defaultValue);
}

int SettingsStore::GetInteger(const QString &section, const QString &key, int defaultValue) const
{
    const std::optional<double> number = ParseNumber(GetSetting(section, key, QString()));
    if (!number || *number != std::trunc(*number) || std::abs(*number) > 2147483647.0)
        return defaultValue;
    return static_cast<int>(*number);
}

bool SettingsStore::GetBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ParseBool(GetSetting(section, key, QString())).value_or(defaultValue);
}

bool SettingsStore::Sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::FileName() const
{
    return m_settings->fileName();
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

std::optional<bool> ParseBool(const QString &text)
{
    if (text == QLatin1String("True"))
        return true;
    if (text == QLatin1String("False"))
        return false;
    return std::nullopt;
}

std::optional<double> ParseNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace platform
