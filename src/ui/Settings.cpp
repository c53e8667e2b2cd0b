#include "Settings.h"

#include <iterator>

namespace tavisk::ui {

namespace {

// The defaults are those of a missing value; the dialog replaces empty
// folders and an empty response file name with its own.
struct SettingInfo {
    SettingKey key;
    const char* name;
    int intDefault;
    const char* textDefault;
};

constexpr SettingInfo kSettings[] = {
    {SettingKey::Remember, "Remember", 0, ""},
    {SettingKey::LastSource, "LastSource", 0, ""},
    {SettingKey::LastDestination, "LastDestination", 0, ""},
    {SettingKey::LastScript, "LastScript", 0, ""},
    {SettingKey::ResponseFile, "ResponseFile", 0, ""},
    {SettingKey::SaveResponse, "SaveResponse", 0, ""},
    {SettingKey::LineEnds, "LineEnds", 0, "crlf"},
    {SettingKey::Preview, "Preview", 0, ""},
    {SettingKey::PreviewDiff, "PreviewDiff", 0, ""},
};

constexpr bool TableInKeyOrder() {
    for (size_t i = 0; i < std::size(kSettings); ++i)
        if (static_cast<size_t>(kSettings[i].key) != i) return false;
    return true;
}
static_assert(TableInKeyOrder(), "the settings table is indexed by SettingKey");

const SettingInfo& Info(SettingKey key) { return kSettings[static_cast<int>(key)]; }

QString KeyPath(SettingKey key) { return QStringLiteral("Settings/") + QLatin1String(Info(key).name); }

}  // namespace

const char* SettingName(SettingKey key) { return Info(key).name; }

SettingsStore::SettingsStore() : m_settings(QSettings::IniFormat, QSettings::UserScope, "Kestrine", "Tavisk") {}

int SettingsStore::ReadInt(SettingKey key) const {
    bool ok = false;
    const int value = m_settings.value(KeyPath(key)).toInt(&ok);
    return ok ? value : Info(key).intDefault;
}

QString SettingsStore::ReadString(SettingKey key) const {
    return m_settings.value(KeyPath(key), QString::fromUtf8(Info(key).textDefault)).toString();
}

void SettingsStore::WriteInt(SettingKey key, int value) { m_settings.setValue(KeyPath(key), value); }

void SettingsStore::WriteString(SettingKey key, const QString& value) { m_settings.setValue(KeyPath(key), value); }

RememberedSettings ReadRememberedSettings(const SettingsStore& store) {
    RememberedSettings settings;
    settings.remember = store.Remember();
    if (!settings.remember) return settings;
    settings.lastSource = store.LastSource();
    settings.lastDestination = store.LastDestination();
    settings.lastScript = store.LastScript();
    settings.responseFile = store.ResponseFile();
    settings.saveResponse = store.SaveResponse();
    return settings;
}

void WriteRememberedSettings(SettingsStore& store, const RememberedSettings& settings) {
    store.SetRemember(settings.remember);
    if (!settings.remember) return;
    store.SetLastSource(settings.lastSource);
    store.SetLastDestination(settings.lastDestination);
    store.SetLastScript(settings.lastScript);
    store.SetResponseFile(settings.responseFile);
    store.SetSaveResponse(settings.saveResponse);
}

}  // namespace tavisk::ui
