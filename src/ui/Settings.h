#pragma once
// The program's settings: section "Settings" of its INI profile under the
// organisation "Kestrine" and the application "Tavisk".
#include <QSettings>
#include <QString>

namespace tavisk::ui {

enum class SettingKey {
    Remember, LastSource, LastDestination, LastScript, ResponseFile, SaveResponse,
    // Kept whether or not folders are remembered: choices of how to work, not places.
    LineEnds, Preview, PreviewDiff,
};

// The value name of a setting in the store.
const char* SettingName(SettingKey key);

class SettingsStore {
public:
    SettingsStore();

    bool Remember() const { return ReadInt(SettingKey::Remember) != 0; }
    QString LastSource() const { return ReadString(SettingKey::LastSource); }
    QString LastDestination() const { return ReadString(SettingKey::LastDestination); }
    QString LastScript() const { return ReadString(SettingKey::LastScript); }
    QString ResponseFile() const { return ReadString(SettingKey::ResponseFile); }
    bool SaveResponse() const { return ReadInt(SettingKey::SaveResponse) != 0; }

    // "crlf", "lf" or "keep", as the command line's option takes them.
    QString LineEnds() const { return ReadString(SettingKey::LineEnds); }
    bool Preview() const { return ReadInt(SettingKey::Preview) != 0; }
    bool PreviewDiff() const { return ReadInt(SettingKey::PreviewDiff) != 0; }

    void SetRemember(bool on) { WriteInt(SettingKey::Remember, on ? 1 : 0); }
    void SetLastSource(const QString& folder) { WriteString(SettingKey::LastSource, folder); }
    void SetLastDestination(const QString& folder) { WriteString(SettingKey::LastDestination, folder); }
    void SetLastScript(const QString& path) { WriteString(SettingKey::LastScript, path); }
    void SetResponseFile(const QString& name) { WriteString(SettingKey::ResponseFile, name); }
    void SetSaveResponse(bool on) { WriteInt(SettingKey::SaveResponse, on ? 1 : 0); }
    void SetLineEnds(const QString& style) { WriteString(SettingKey::LineEnds, style); }
    void SetPreview(bool on) { WriteInt(SettingKey::Preview, on ? 1 : 0); }
    void SetPreviewDiff(bool on) { WriteInt(SettingKey::PreviewDiff, on ? 1 : 0); }

private:
    int ReadInt(SettingKey key) const;
    QString ReadString(SettingKey key) const;
    void WriteInt(SettingKey key, int value);
    void WriteString(SettingKey key, const QString& value);

    QSettings m_settings;
};

// What "Remember last used folders" keeps between runs of the program.
struct RememberedSettings {
    bool remember = false;
    QString lastSource;
    QString lastDestination;
    QString lastScript;
    QString responseFile;
    bool saveResponse = false;
};

// Reads "Remember" and, only when it is on, the five values it governs.
RememberedSettings ReadRememberedSettings(const SettingsStore& store);
// Writes "Remember" and, only when it is on, the five values it governs;
// otherwise the stored values stay as they are.
void WriteRememberedSettings(SettingsStore& store, const RememberedSettings& settings);

}  // namespace tavisk::ui
