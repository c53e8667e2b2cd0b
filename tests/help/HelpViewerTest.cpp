// The help viewer of the program: silent when there is no help file, one
// window without owner when there is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QResource>
#include <QStringList>
#include <QTemporaryDir>

#include "help/Help.h"
#include "help/HelpResourceViewer.h"
#include "help/HelpService.h"
#include "help/HelpTopics.h"
#include "help/HelpWindow.h"

namespace tavisk::ui {
namespace {

// Collects every message Qt would print while it is alive, except the
// offscreen platform's notes on window calls it cannot carry out.
class QtMessageCatcher {
public:
    QtMessageCatcher() { s_pMessages = &m_arrMessages; m_previous = qInstallMessageHandler(&Catch); }
    ~QtMessageCatcher() { qInstallMessageHandler(m_previous); s_pMessages = nullptr; }
    const QStringList& Messages() const { return m_arrMessages; }

private:
    static void Catch(QtMsgType, const QMessageLogContext&, const QString& text) {
        if (s_pMessages && !text.startsWith(QLatin1String("This plugin does not support")))
            s_pMessages->append(text);
    }
    static inline QStringList* s_pMessages = nullptr;
    QStringList m_arrMessages;
    QtMessageHandler m_previous = nullptr;
};

int VisibleTopLevelWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->isVisible() ? 1 : 0;
    return count;
}

std::string Local(const QString& path) { return QFile::encodeName(path).toStdString(); }

class HelpViewerTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const QString& file : m_arrRegistered)
            QResource::unregisterResource(file);
        for (QWidget* widget : QApplication::topLevelWidgets())
            widget->close();
    }
    // Remembers a help file a viewer registered, to unregister it afterwards.
    void Track(const HelpResourceViewer& viewer) {
        if (!viewer.LoadedFile().isEmpty()) m_arrRegistered << viewer.LoadedFile();
    }
    QTemporaryDir m_dir;
    QStringList m_arrRegistered;
};

TEST_F(HelpViewerTest, MissingHelpFileShowsNothingAndSaysNothing) {
    QtMessageCatcher catcher;
    HelpResourceViewer viewer;
    HelpService service(viewer, Local(m_dir.filePath("bin/tavisk")));
    for (int i = 0; i < 3; ++i) service.ShowTopic(kHelpTopicMain);
    service.ShowContents();

    EXPECT_EQ(service.State(), HelpService::LoadState::Failed);
    EXPECT_EQ(viewer.Window(), nullptr);
    EXPECT_EQ(VisibleTopLevelWindows(), 0);
    EXPECT_TRUE(catcher.Messages().isEmpty()) << catcher.Messages().join('\n').toStdString();
}

TEST_F(HelpViewerTest, AFileThatIsNoHelpFileIsRefusedSilently) {
    const QString garbage = m_dir.filePath("tavisk.rcc");
    QFile file(garbage);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a compiled resource");
    file.close();

    QtMessageCatcher catcher;
    HelpResourceViewer viewer;
    EXPECT_FALSE(viewer.LoadHelpFile({Local(garbage)}));
    EXPECT_EQ(viewer.Window(), nullptr);
    EXPECT_TRUE(catcher.Messages().isEmpty()) << catcher.Messages().join('\n').toStdString();
}

TEST_F(HelpViewerTest, TheDataFolderIsTriedWhenNothingLiesNextToTheProgram) {
    HelpResourceViewer viewer;
    const std::string missing = Local(m_dir.filePath("tavisk.rcc"));
    ASSERT_TRUE(viewer.LoadHelpFile({missing, TAVISK_HELP_FILE}));
    Track(viewer);
    EXPECT_EQ(viewer.LoadedFile(), QFile::decodeName(TAVISK_HELP_FILE));
    ASSERT_NE(viewer.Window(), nullptr);
    EXPECT_FALSE(viewer.Window()->isVisible());  // loaded, but shown only on a request
}

TEST_F(HelpViewerTest, EachDialogOpensItsPageInOneWindowWithoutOwner) {
    // A program that has its help file next to it.
    const QString program = m_dir.filePath("tavisk");
    ASSERT_TRUE(QFile::copy(QFile::decodeName(TAVISK_HELP_FILE), m_dir.filePath("tavisk.rcc")));
    HelpResourceViewer viewer;
    HelpService service(viewer, Local(program));

    const int topics[] = {kHelpTopicSyntaxError, kHelpTopicMain, kHelpTopicScriptEdit};
    for (int topic : topics) {
        service.ShowTopic(topic);
        Track(viewer);
        HelpWindow* window = viewer.Window();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->parentWidget(), nullptr);
        EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
        EXPECT_EQ(window->CurrentPage().fileName().toStdString(), HelpPageForTopic(topic)) << topic;
    }
    EXPECT_EQ(viewer.LoadedFile(), m_dir.filePath("tavisk.rcc"));
    EXPECT_EQ(VisibleTopLevelWindows(), 1);

    service.ShowContents();
    EXPECT_EQ(viewer.Window()->CurrentPage().fileName().toStdString(), kHelpDefaultPage);
}

TEST_F(HelpViewerTest, AReopenedWindowComesBackAtTheRequestedPage) {
    HelpResourceViewer viewer;
    ASSERT_TRUE(viewer.LoadHelpFile({TAVISK_HELP_FILE}));
    Track(viewer);
    viewer.ShowPage(HelpPageForTopic(kHelpTopicMain));
    viewer.Window()->close();
    viewer.ShowPage(HelpPageForTopic(kHelpTopicScriptEdit));
    EXPECT_TRUE(viewer.Window()->isVisible());
    EXPECT_EQ(viewer.Window()->CurrentPage().fileName().toStdString(), HelpPageForTopic(kHelpTopicScriptEdit));
}

TEST_F(HelpViewerTest, AMissingPageFallsBackToTheContents) {
    HelpResourceViewer viewer;
    ASSERT_TRUE(viewer.LoadHelpFile({TAVISK_HELP_FILE}));
    Track(viewer);
    QtMessageCatcher catcher;
    viewer.ShowPage("no-such-page.html");
    EXPECT_EQ(viewer.Window()->CurrentPage().fileName().toStdString(), kHelpDefaultPage);
    EXPECT_TRUE(catcher.Messages().isEmpty()) << catcher.Messages().join('\n').toStdString();
}

// The entry points the dialogs call: this test program has no help file next
// to it, so help stays silent however often it is asked for.
TEST_F(HelpViewerTest, HelpButtonsWithoutHelpFileDoNothing) {
    QtMessageCatcher catcher;
    ShowHelpTopic(kHelpTopicMain);
    ShowHelpTopic(kHelpTopicScriptEdit);
    ShowHelpContents();
    EXPECT_EQ(VisibleTopLevelWindows(), 0);
    EXPECT_TRUE(catcher.Messages().isEmpty()) << catcher.Messages().join('\n').toStdString();
}

}  // namespace
}  // namespace tavisk::ui
