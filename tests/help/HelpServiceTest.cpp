// The Qt-free part of help: which file, which page, and one load attempt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "help/Help.h"
#include "help/HelpFile.h"
#include "help/HelpService.h"
#include "help/HelpTopics.h"

namespace tavisk::ui {
namespace {

struct NameCase {
    const char* program;
    const char* helpFile;
};

TEST(HelpFileName, ReplacesTheExtensionOfTheFileNameOnly) {
    const NameCase cases[] = {
        {"/usr/bin/tavisk", "/usr/bin/tavisk.rcc"},
        {"/opt/x/tavisk.bin", "/opt/x/tavisk.rcc"},
        {"/opt/x/tavisk.old.bin", "/opt/x/tavisk.old.rcc"},
        {"/opt/tavisk-1.0/bin/tavisk", "/opt/tavisk-1.0/bin/tavisk.rcc"},
        {"/home/u/.local/bin/tavisk", "/home/u/.local/bin/tavisk.rcc"},
        {"/home/u/bin/.tavisk", "/home/u/bin/.tavisk.rcc"},
        {"tavisk", "tavisk.rcc"},
        {"./tavisk", "./tavisk.rcc"},
        {"/opt/x/tavisk.", "/opt/x/tavisk.rcc"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(HelpFileNameFor(c.program), c.helpFile) << c.program;
}

TEST(HelpFileName, LooksNextToTheProgramFirstThenInTheDataFolder) {
    EXPECT_EQ(HelpFileCandidates("/usr/bin/tavisk"),
              (std::vector<std::string>{"/usr/bin/tavisk.rcc", "/usr/bin/../share/tavisk/tavisk.rcc"}));
    EXPECT_EQ(HelpFileCandidates("/opt/a.b/bin/tavisk.exe"),
              (std::vector<std::string>{"/opt/a.b/bin/tavisk.rcc", "/opt/a.b/bin/../share/tavisk/tavisk.rcc"}));
    EXPECT_EQ(HelpFileCandidates("tavisk"),
              (std::vector<std::string>{"tavisk.rcc", "../share/tavisk/tavisk.rcc"}));
}

TEST(HelpTopics, EachDialogHasItsOwnPage) {
    const std::string main = HelpPageForTopic(kHelpTopicMain);
    const std::string editor = HelpPageForTopic(kHelpTopicScriptEdit);
    const std::string syntax = HelpPageForTopic(kHelpTopicSyntaxError);
    // The Debug Window and the two response-file dialogs have pages too.
    const std::string debug = HelpPageForTopic(kHelpTopicDebug);
    const std::string responseView = HelpPageForTopic(kHelpTopicResponseView);
    const std::string responseName = HelpPageForTopic(kHelpTopicResponseName);
    for (const std::string& page : {main, editor, syntax, debug, responseView, responseName}) {
        EXPECT_NE(page, kHelpDefaultPage);
        EXPECT_FALSE(page.empty());
    }
    EXPECT_NE(main, editor);
    EXPECT_NE(main, syntax);
    EXPECT_NE(editor, syntax);
}

TEST(HelpTopics, UnknownTopicsShowTheContents) {
    for (int topic : {0, -1, 1, 57670, 134})
        EXPECT_EQ(HelpPageForTopic(topic), kHelpDefaultPage) << topic;
}

// Records what the service asks of its viewer.
class FakeViewer : public HelpViewer {
public:
    explicit FakeViewer(bool loads) : m_bLoads(loads) {}
    bool LoadHelpFile(const std::vector<std::string>& candidates) override {
        m_arrLoadCalls.push_back(candidates);
        return m_bLoads;
    }
    void ShowPage(const std::string& page) override { m_arrShown.push_back(page); }

    bool m_bLoads;
    std::vector<std::vector<std::string>> m_arrLoadCalls;
    std::vector<std::string> m_arrShown;
};

TEST(HelpService, DialogsAskTheSameFileForTheirOwnTopics) {
    FakeViewer viewer(true);
    HelpService service(viewer, "/usr/bin/tavisk");
    service.ShowTopic(kHelpTopicMain);
    service.ShowTopic(kHelpTopicScriptEdit);
    service.ShowTopic(kHelpTopicSyntaxError);

    ASSERT_EQ(viewer.m_arrLoadCalls.size(), 1u);
    EXPECT_EQ(viewer.m_arrLoadCalls[0], HelpFileCandidates("/usr/bin/tavisk"));
    EXPECT_EQ(viewer.m_arrShown, (std::vector<std::string>{HelpPageForTopic(kHelpTopicMain),
                                                           HelpPageForTopic(kHelpTopicScriptEdit),
                                                           HelpPageForTopic(kHelpTopicSyntaxError)}));
    EXPECT_EQ(service.State(), HelpService::LoadState::Loaded);
}

TEST(HelpService, ContentsShowTheDefaultPage) {
    FakeViewer viewer(true);
    HelpService service(viewer, "/usr/bin/tavisk");
    service.ShowContents();
    EXPECT_EQ(viewer.m_arrShown, (std::vector<std::string>{kHelpDefaultPage}));
}

TEST(HelpService, NothingIsLoadedBeforeTheFirstRequest) {
    FakeViewer viewer(true);
    HelpService service(viewer, "/usr/bin/tavisk");
    EXPECT_TRUE(viewer.m_arrLoadCalls.empty());
    EXPECT_EQ(service.State(), HelpService::LoadState::NotTried);
}

TEST(HelpService, AFailedLoadIsTriedOnceAndShowsNothing) {
    FakeViewer viewer(false);
    HelpService service(viewer, "/usr/bin/tavisk");
    service.ShowTopic(kHelpTopicMain);
    service.ShowTopic(kHelpTopicMain);
    service.ShowTopic(kHelpTopicScriptEdit);
    service.ShowContents();

    EXPECT_EQ(viewer.m_arrLoadCalls.size(), 1u);
    EXPECT_TRUE(viewer.m_arrShown.empty());
    EXPECT_EQ(service.State(), HelpService::LoadState::Failed);
}

}  // namespace
}  // namespace tavisk::ui
