// The settings page names the file and the values the program really uses.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QResource>
#include <QTemporaryDir>
#include <QTextDocumentFragment>

#include "Settings.h"

namespace tavisk::ui {
namespace {

QString SettingsPageText() {
    QFile file(QStringLiteral(":/help/settings.html"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QTextDocumentFragment::fromHtml(QString::fromUtf8(file.readAll())).toPlainText();
}

TEST(HelpSettingsPage, NamesTheSettingsFileAndEveryValue) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    {
        SettingsStore store;
        store.SetRemember(true);
    }
    // The one file the store wrote, as a path below the configuration folder.
    QStringList written;
    for (QDirIterator it(config.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        written << QDir(config.path()).relativeFilePath(it.next());
    ASSERT_EQ(written.size(), 1);

    ASSERT_TRUE(QResource::registerResource(QFile::decodeName(TAVISK_HELP_FILE)));
    const QString page = SettingsPageText();
    QResource::unregisterResource(QFile::decodeName(TAVISK_HELP_FILE));

    EXPECT_TRUE(page.contains("~/.config/" + written.first())) << written.first().toStdString();
    EXPECT_TRUE(page.contains("[Settings]"));
    for (SettingKey key : {SettingKey::Remember, SettingKey::LastSource, SettingKey::LastDestination,
                           SettingKey::LastScript, SettingKey::ResponseFile, SettingKey::SaveResponse})
        EXPECT_TRUE(page.contains(QLatin1String(SettingName(key)))) << SettingName(key);
}

}  // namespace
}  // namespace tavisk::ui
