// Resize anchors: the arithmetic alone, then a layout on a real dialog.
#include <QDialog>
#include <QPushButton>
#include <QTest>

#include "dialogs/DialogLayout.h"
#include "dialogs/LayoutAnchors.h"

using namespace tavisk::ui;

namespace {

constexpr unsigned kCorner = LAYOUT_MOVE_X | LAYOUT_MOVE_Y;  // 3
constexpr unsigned kFill = LAYOUT_SIZE_X | LAYOUT_SIZE_Y;    // 12
const AnchorRect kDesignRect{10, 20, 60, 40};

// A dialog of 200 x 100 with one control per anchor combination in use.
struct AnchoredDialog {
    QDialog dialog;
    QPushButton* corner = new QPushButton(&dialog);
    QPushButton* fill = new QPushButton(&dialog);
    CDialogLayout layout;

    AnchoredDialog() {
        dialog.resize(200, 100);
        corner->setGeometry(150, 70, 40, 20);
        fill->setGeometry(10, 10, 120, 60);
    }
    void Attach() {
        layout.Init(&dialog);
        layout.AddWindow(corner, kCorner);
        layout.AddWindow(fill, kFill);
    }
    void ResizeTo(int width, int height) {
        dialog.resize(width, height);
        layout.Reposition();
    }
};

}  // namespace

class TestLayoutAnchors : public QObject {
    Q_OBJECT
private slots:
    void applyAnchor_data();
    void applyAnchor();
    void deltaClampsBelowDesign_data();
    void deltaClampsBelowDesign();
    void shrinkThenGrowReturnsToDesignFirst();
    void minimiseAndRestoreKeepsEnlargedPositions();
    void layoutWithoutInitIgnoresSizeChanges();
    void missingControlsAreNotAdded();
};

void TestLayoutAnchors::applyAnchor_data() {
    QTest::addColumn<unsigned>("flags");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");
    // dx = 40, dy = 30 on the rectangle 10,20 - 60,40.
    QTest::newRow("none") << 0u << 10 << 20 << 60 << 40;
    QTest::newRow("move x") << LAYOUT_MOVE_X << 50 << 20 << 100 << 40;
    QTest::newRow("move y") << LAYOUT_MOVE_Y << 10 << 50 << 60 << 70;
    QTest::newRow("size x") << LAYOUT_SIZE_X << 10 << 20 << 100 << 40;
    QTest::newRow("size y") << LAYOUT_SIZE_Y << 10 << 20 << 60 << 70;
    QTest::newRow("corner (3)") << kCorner << 50 << 50 << 100 << 70;
    QTest::newRow("fill (12)") << kFill << 10 << 20 << 100 << 70;
    QTest::newRow("effects add up (10)") << (LAYOUT_MOVE_Y | LAYOUT_SIZE_Y) << 10 << 50 << 60 << 100;
    QTest::newRow("all four (15)") << 15u << 50 << 50 << 140 << 100;
}

void TestLayoutAnchors::applyAnchor() {
    QFETCH(unsigned, flags);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, right);
    QFETCH(int, bottom);
    const AnchorRect moved = ApplyAnchor(kDesignRect, flags, 40, 30);
    QCOMPARE(moved, (AnchorRect{left, top, right, bottom}));
}

void TestLayoutAnchors::deltaClampsBelowDesign_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("expected");
    // Design size 200.
    QTest::newRow("grow from design") << 240 << 200 << 40;
    QTest::newRow("shrink to design") << 200 << 240 << -40;
    QTest::newRow("shrink below design") << 100 << 240 << -40;
    QTest::newRow("stay below design") << 50 << 100 << 0;
    QTest::newRow("grow back to design") << 200 << 100 << 0;
    QTest::newRow("grow from below past design") << 220 << 100 << 20;
    QTest::newRow("minimised counts as design") << 0 << 300 << -100;
}

void TestLayoutAnchors::deltaClampsBelowDesign() {
    QFETCH(int, current);
    QFETCH(int, last);
    QFETCH(int, expected);
    QCOMPARE(AnchorDelta(current, last, 200), expected);
}

void TestLayoutAnchors::shrinkThenGrowReturnsToDesignFirst() {
    AnchoredDialog d;
    d.Attach();
    d.ResizeTo(100, 100);  // 100 below the design width
    QCOMPARE(d.corner->geometry(), QRect(150, 70, 40, 20));
    d.ResizeTo(200, 100);  // back to the design width
    QCOMPARE(d.corner->geometry(), QRect(150, 70, 40, 20));
    QCOMPARE(d.fill->geometry(), QRect(10, 10, 120, 60));
    d.ResizeTo(220, 100);  // 20 more
    QCOMPARE(d.corner->geometry(), QRect(170, 70, 40, 20));
    QCOMPARE(d.fill->geometry(), QRect(10, 10, 140, 60));
}

void TestLayoutAnchors::minimiseAndRestoreKeepsEnlargedPositions() {
    AnchoredDialog d;
    d.Attach();
    d.ResizeTo(260, 150);
    const QRect enlargedCorner = d.corner->geometry();
    const QRect enlargedFill = d.fill->geometry();
    d.ResizeTo(0, 0);
    QCOMPARE(d.corner->geometry(), QRect(150, 70, 40, 20));
    d.ResizeTo(260, 150);
    QCOMPARE(d.corner->geometry(), enlargedCorner);
    QCOMPARE(d.fill->geometry(), enlargedFill);
}

void TestLayoutAnchors::layoutWithoutInitIgnoresSizeChanges() {
    AnchoredDialog d;
    QVERIFY(!d.layout.AddWindow(d.corner, kCorner));
    QVERIFY(!d.layout.AddControl(1, kCorner));
    d.ResizeTo(400, 300);
    QCOMPARE(d.corner->geometry(), QRect(150, 70, 40, 20));
}

void TestLayoutAnchors::missingControlsAreNotAdded() {
    AnchoredDialog d;
    d.layout.Init(&d.dialog);
    QVERIFY(!d.layout.AddControl(4711, kCorner));
    QVERIFY(!d.layout.AddWindow(nullptr, kCorner));
    d.corner->setObjectName(QStringLiteral("7"));
    QVERIFY(d.layout.AddControl(7, kCorner));
    d.ResizeTo(210, 100);
    QCOMPARE(d.corner->geometry(), QRect(160, 70, 40, 20));
}

QTEST_MAIN(TestLayoutAnchors)
#include "tst_layout_anchors.moc"
