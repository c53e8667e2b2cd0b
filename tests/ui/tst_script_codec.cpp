// The editor's text encoding: how script bytes are shown and come back.
#include <QTest>

#include "text/ScriptCodec.h"
#include "text/ScriptEditText.h"

using namespace tavisk::ui;
using Lines = std::vector<std::string>;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(Lines)

namespace {

const std::string kPoundUtf8 = "\xC2\xA3";
const std::string kPoundLatin = "\xA3";
const std::string kShownCr = "\xE2\x90\x8D";

}  // namespace

class TestScriptCodec : public QObject {
    Q_OBJECT
private slots:
    void utf8Validity_data();
    void utf8Validity();
    void encodingFollowsTheWholeScript();
    void everyWindows1252ByteRoundTrips();
    void undefinedWindows1252BytesRoundTrip();
    void utf8TextRoundTrips();
    void poundSignInBothEncodings();
    void charactersWindows1252LacksKeepTheirUtf8Bytes();
    void displayMixesValidUtf8AndSingleBytes();
    void untouchedLinesComeBackByteForByte();
    void carriageReturnInsideALineSurvives();
    void takeBackLineRules_data();
    void takeBackLineRules();
    void longLinesAreCut();
    void untouchedLongLinesAreKept();
};

void TestScriptCodec::utf8Validity_data() {
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << std::string() << true;
    QTest::newRow("ascii with NUL") << std::string("a\0b", 3) << true;
    QTest::newRow("pound") << kPoundUtf8 << true;
    QTest::newRow("euro") << std::string("\xE2\x82\xAC") << true;
    QTest::newRow("emoji") << std::string("\xF0\x9F\x98\x80") << true;
    QTest::newRow("latin pound") << kPoundLatin << false;
    QTest::newRow("truncated") << std::string("\xE2\x82") << false;
    QTest::newRow("overlong slash") << std::string("\xC0\xAF") << false;
    QTest::newRow("surrogate") << std::string("\xED\xA0\x80") << false;
    QTest::newRow("beyond U+10FFFF") << std::string("\xF4\x90\x80\x80") << false;
    QTest::newRow("stray continuation") << std::string("a\x80") << false;
}

void TestScriptCodec::utf8Validity() {
    QFETCH(std::string, bytes);
    QFETCH(bool, valid);
    QCOMPARE(IsValidUtf8(bytes), valid);
}

void TestScriptCodec::encodingFollowsTheWholeScript() {
    QCOMPARE(DetectScriptEncoding({}), ScriptEncoding::Utf8);
    QCOMPARE(DetectScriptEncoding({"te", "r/" + kPoundUtf8 + "/x/,te"}), ScriptEncoding::Utf8);
    // One Latin-1 line makes the whole script Windows-1252.
    QCOMPARE(DetectScriptEncoding({"r/" + kPoundUtf8 + "/x/", "i/caf\xE9/"}), ScriptEncoding::Windows1252);
}

void TestScriptCodec::everyWindows1252ByteRoundTrips() {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) all += static_cast<char>(byte);
    const std::string shown = DecodeText(all, ScriptEncoding::Windows1252);
    QVERIFY(IsValidUtf8(shown));
    QCOMPARE(EncodeText(shown, ScriptEncoding::Windows1252), all);
}

void TestScriptCodec::undefinedWindows1252BytesRoundTrip() {
    for (unsigned char byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        const std::string one(1, static_cast<char>(byte));
        const std::string shown = DecodeText(one, ScriptEncoding::Windows1252);
        // Shown as the C1 control of the same value.
        QCOMPARE(shown, std::string({static_cast<char>(0xC2), static_cast<char>(byte)}));
        QCOMPARE(EncodeText(shown, ScriptEncoding::Windows1252), one);
    }
    // Defined bytes of that range show as their characters.
    QCOMPARE(DecodeText("\x80\x99", ScriptEncoding::Windows1252), std::string("\xE2\x82\xAC\xE2\x84\xA2"));
}

void TestScriptCodec::utf8TextRoundTrips() {
    const std::string text = "r/Stra\xC3\x9F" "e/\xE2\x82\xAC/,te \xF0\x9F\x98\x80";
    QCOMPARE(DecodeText(text, ScriptEncoding::Utf8), text);
    QCOMPARE(EncodeText(text, ScriptEncoding::Utf8), text);
}

void TestScriptCodec::poundSignInBothEncodings() {
    QCOMPARE(DecodeText(kPoundLatin, ScriptEncoding::Windows1252), kPoundUtf8);
    QCOMPARE(EncodeText(kPoundUtf8, ScriptEncoding::Windows1252), kPoundLatin);
    QCOMPARE(EncodeText(kPoundUtf8, ScriptEncoding::Utf8), kPoundUtf8);

    // A pound sign typed into a Latin-1 script becomes the single byte.
    const ScriptEditText latin({"i/caf\xE9/"});
    QCOMPARE(latin.TakeBack({"i/caf\xC3\xA9/", "r" + kPoundUtf8 + "a" + kPoundUtf8 + "b" + kPoundUtf8}),
             (Lines{"i/caf\xE9/", "r\xA3" "a\xA3" "b\xA3"}));
    const ScriptEditText utf8({"te"});
    QCOMPARE(utf8.TakeBack({"r" + kPoundUtf8 + "a" + kPoundUtf8 + "b" + kPoundUtf8}),
             (Lines{"r" + kPoundUtf8 + "a" + kPoundUtf8 + "b" + kPoundUtf8}));
}

void TestScriptCodec::charactersWindows1252LacksKeepTheirUtf8Bytes() {
    QCOMPARE(EncodeText("a\xE4\xB8\xAD" "b", ScriptEncoding::Windows1252), std::string("a\xE4\xB8\xAD" "b"));
    // U+0080 is no Windows-1252 character (0x80 is the euro sign).
    QCOMPARE(EncodeText("\xC2\x80", ScriptEncoding::Windows1252), std::string("\xC2\x80"));
}

void TestScriptCodec::displayMixesValidUtf8AndSingleBytes() {
    QCOMPARE(DecodeForDisplay("caf\xC3\xA9 " + kPoundLatin), "caf\xC3\xA9 " + kPoundUtf8);
    QCOMPARE(DecodeForDisplay("\xE2\x82"), std::string("\xC3\xA2\xE2\x80\x9A"));
}

void TestScriptCodec::untouchedLinesComeBackByteForByte() {
    const Lines original = {"i/caf\xE9/", "r/\x81\x8D/x/", "te"};
    const ScriptEditText text(original);
    QCOMPARE(text.Encoding(), ScriptEncoding::Windows1252);
    Lines shown = text.ShownLines();
    shown.push_back("");  // the empty remainder after the last line break
    QCOMPARE(text.TakeBack(shown), original);

    // One line edited: only that line changes.
    shown[2] = "tl";
    QCOMPARE(text.TakeBack(shown), (Lines{"i/caf\xE9/", "r/\x81\x8D/x/", "tl"}));
}

void TestScriptCodec::carriageReturnInsideALineSurvives() {
    const ScriptEditText text({"r/a\rb/c/", "te"});
    QCOMPARE(text.ShownLines()[0], "r/a" + kShownCr + "b/c/");
    QCOMPARE(text.TakeBack(text.ShownLines()), (Lines{"r/a\rb/c/", "te"}));
    // Still a carriage return after the line was edited.
    QCOMPARE(text.TakeBack({"r/a" + kShownCr + "b/d/"}), (Lines{"r/a\rb/d/"}));
}

void TestScriptCodec::takeBackLineRules_data() {
    QTest::addColumn<Lines>("editorLines");
    QTest::addColumn<Lines>("expected");
    QTest::newRow("nothing") << Lines{""} << Lines{};
    QTest::newRow("no final break") << Lines{"a", "b"} << Lines{"a", "b"};
    QTest::newRow("final break") << Lines{"a", "b", ""} << Lines{"a", "b"};
    QTest::newRow("blank line kept") << Lines{"a", "", "b", ""} << Lines{"a", "", "b"};
    QTest::newRow("blank last line kept") << Lines{"a", "", ""} << Lines{"a", ""};
    QTest::newRow("soft line break splits") << Lines{"a\xE2\x80\xA8" "b"} << Lines{"a", "b"};
}

void TestScriptCodec::takeBackLineRules() {
    QFETCH(Lines, editorLines);
    QFETCH(Lines, expected);
    QCOMPARE(ScriptEditText({"x"}).TakeBack(editorLines), expected);
}

void TestScriptCodec::longLinesAreCut() {
    const ScriptEditText text({});
    const std::string exact(kMaxEditedLineChars, 'a');
    QCOMPARE(text.TakeBack({exact}), (Lines{exact}));
    QCOMPARE(text.TakeBack({exact + "bc"}), (Lines{exact}));
    // Characters, not bytes: a cut never splits one.
    std::string euros;
    for (size_t i = 0; i < kMaxEditedLineChars + 5; ++i) euros += "\xE2\x82\xAC";
    const Lines cut = text.TakeBack({euros});
    QCOMPARE(cut[0].size(), kMaxEditedLineChars * 3);
    QVERIFY(IsValidUtf8(cut[0]));
}

void TestScriptCodec::untouchedLongLinesAreKept() {
    const std::string longLine = "i/" + std::string(3000, 'x') + "/";
    const ScriptEditText text({longLine, "te"});
    QCOMPARE(text.TakeBack({text.ShownLines()[0], "tl"}), (Lines{longLine, "tl"}));
}

QTEST_MAIN(TestScriptCodec)
#include "tst_script_codec.moc"
