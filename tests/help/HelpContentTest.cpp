// The built help file: the dialogs' pages are in it, its links lead somewhere,
// and the messages it explains are the ones the program gives.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QResource>
#include <QSet>
#include <QTextDocumentFragment>
#include <QUrl>

#include <map>
#include <string>
#include <vector>

#include "RecordingFakes.h"
#include "batch/BatchRun.h"
#include "help/Help.h"
#include "help/HelpTopics.h"
#include "engine/Messages.h"
#include "script/ScriptParser.h"

namespace tavisk::ui {
namespace {

const QString kRoot = QString::fromLatin1(kHelpRoot);

QString ReadPage(const QString& page) {
    QFile file(kRoot + page);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// The page as the reader sees it: tags gone, entities decoded.
QString PlainText(const QString& html) {
    return QTextDocumentFragment::fromHtml(html).toPlainText();
}

class HelpContentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(QResource::registerResource(QFile::decodeName(TAVISK_HELP_FILE))); }
    static void TearDownTestSuite() { QResource::unregisterResource(QFile::decodeName(TAVISK_HELP_FILE)); }

    static QStringList Pages() {
        QStringList pages;
        QDirIterator it(kRoot, {"*.html"}, QDir::Files);
        while (it.hasNext()) pages << it.next().mid(kRoot.size());
        return pages;
    }
};

TEST_F(HelpContentTest, EveryDialogTopicAndTheContentsHaveATitledPage) {
    for (int topic : {kHelpTopicMain, kHelpTopicScriptEdit, kHelpTopicSyntaxError, kHelpTopicDebug,
                      kHelpTopicResponseView, kHelpTopicResponseName, 0}) {
        const QString page = QString::fromStdString(HelpPageForTopic(topic));
        const QString html = ReadPage(page);
        ASSERT_FALSE(html.isEmpty()) << "topic " << topic << ": " << page.toStdString();
        const auto title = QRegularExpression("<title>([^<]+)</title>").match(html);
        EXPECT_TRUE(title.hasMatch()) << page.toStdString();
    }
}

struct Link {
    QString fromPage;
    QString target;
};

std::vector<Link> LinksOf(const QString& page, const QString& html) {
    std::vector<Link> links;
    static const QRegularExpression href(R"re((?:href|src)\s*=\s*"([^"]*)")re");
    for (auto it = href.globalMatch(html); it.hasNext();)
        links.push_back({page, it.next().captured(1)});
    return links;
}

bool HasAnchor(const QString& html, const QString& anchor) {
    return html.contains("id=\"" + anchor + "\"") || html.contains("name=\"" + anchor + "\"");
}

TEST_F(HelpContentTest, EveryLinkBetweenPagesResolves) {
    const QStringList pages = Pages();
    ASSERT_GE(pages.size(), 4);
    int checked = 0;
    for (const QString& page : pages) {
        for (const Link& link : LinksOf(page, ReadPage(page))) {
            const QUrl url(link.target);
            if (!url.scheme().isEmpty()) continue;  // the web, mail: outside the help file
            const QString where = link.fromPage + " -> " + link.target;
            ASSERT_TRUE(url.isRelative()) << where.toStdString();
            const QString targetPage = url.path().isEmpty() ? link.fromPage : url.path();
            const QString targetHtml = ReadPage(targetPage);
            EXPECT_FALSE(targetHtml.isEmpty()) << "missing page: " << where.toStdString();
            if (url.hasFragment()) {
                EXPECT_TRUE(HasAnchor(targetHtml, url.fragment())) << "missing anchor: " << where.toStdString();
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
}

TEST_F(HelpContentTest, EveryPageCanBeReachedFromTheContents) {
    QSet<QString> reached{QString::fromLatin1(kHelpDefaultPage)};
    QStringList queue{QString::fromLatin1(kHelpDefaultPage)};
    while (!queue.isEmpty()) {
        const QString page = queue.takeFirst();
        for (const Link& link : LinksOf(page, ReadPage(page))) {
            const QString target = QUrl(link.target).path();
            if (target.endsWith(".html") && !reached.contains(target)) {
                reached.insert(target);
                queue << target;
            }
        }
    }
    for (const QString& page : Pages())
        EXPECT_TRUE(reached.contains(page)) << page.toStdString() << " is linked from nowhere";
}

// The literal parts of a message format ("%s" and "%i" stand for the command and a count).
QStringList LiteralParts(const char* format) {
    QStringList parts;
    for (const QString& part : QString::fromLatin1(format).split(QRegularExpression("%[si]")))
        if (!part.trimmed().isEmpty()) parts << part.trimmed();
    return parts;
}

TEST_F(HelpContentTest, TheResponseLinePageExplainsEveryMessageOfTheEngine) {
    const QString text = PlainText(ReadPage("response-messages.html"));
    const char* formats[] = {
        messages::kCharBeforeEditPos, messages::kLineBeforeCurrent, messages::kPastEndOfFileDoing,
        messages::kPastEndOfLine,     messages::kPastEndOfFilePerforming, messages::kReplacements,
        kVerdictErrors,               kVerdictClean,                      kStoppedLine,
    };
    for (const char* format : formats)
        for (const QString& part : LiteralParts(format))
            EXPECT_TRUE(text.contains(part)) << "not explained: " << part.toStdString();
}

// Each message section of the syntax page: its heading and its first example.
std::map<QString, QString> SyntaxSections(const QString& html) {
    std::map<QString, QString> sections;
    static const QRegularExpression section(
        R"re(<h2 id="[^"]+">(.*?)</h2>.*?<b>Examples:</b>\s*<code>(.*?)</code>)re",
        QRegularExpression::DotMatchesEverythingOption);
    for (auto it = section.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        sections[PlainText(match.captured(1))] = PlainText(match.captured(2));
    }
    return sections;
}

TEST_F(HelpContentTest, EachSyntaxMessageExampleGivesThatMessage) {
    const auto sections = SyntaxSections(ReadPage("syntax-messages.html"));
    EXPECT_GE(sections.size(), 20u);
    for (const auto& [message, example] : sections) {
        test::RecordingSyntaxReport report;
        const std::vector<std::string> script{example.toStdString()};
        EXPECT_EQ(CheckScriptSyntax(script, report), PARSE_ERROR) << example.toStdString();
        EXPECT_EQ(report.LastMessage(), message.toStdString()) << "example: " << example.toStdString();
    }
}

}  // namespace
}  // namespace tavisk::ui
