// The window under the keyboard, the mouse wheel and the clipboard: typing into a list runs no
// code, the wheel turns only the focused list, Tab leaves every box, "循环" restarts its interval
// on every click, a double-click on the link opens the page once, and no paste freezes a box.
#include "window_fixture.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QtTest>

class KeyboardMouseTest : public QObject {
    Q_OBJECT
private slots:
    void typingIntoAListRunsNoCode_data();
    void typingIntoAListRunsNoCode();
    void arrowKeysChooseAnEntry();
    void wheelTurnsOnlyTheFocusedList();
    void tabLeavesTheReceiveBox();
    void everyCycleClickRestartsTheInterval();
    void doubleClickOpensThePageOnce();
    void linkOpensOnlyOnAReleaseOverIt_data();
    void linkOpensOnlyOnAReleaseOverIt();
    void hugePastesAreCutAndTheWindowStaysResponsive();
};

namespace {
struct ShownWindow : WindowFixture {
    ShownWindow() {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
};

void wheelOver(QWidget *widget, int notches) {
    const QPoint centre = widget->rect().center();
    QWheelEvent wheel(centre, widget->mapToGlobal(centre), {}, {0, 120 * notches}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(widget, &wheel);
}
} // namespace

// Typed text followed by Tab, Enter, or the focus moving elsewhere: no port opened or reconfigured.
void KeyboardMouseTest::typingIntoAListRunsNoCode_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("ending");
    for (const char *ending : {"Tab", "Enter", "focus elsewhere"}) {
        QTest::newRow(qPrintable(QStringLiteral("port list, ") + ending)) << "Combo1"
                                                                          << "COM5" << ending;
        QTest::newRow(qPrintable(QStringLiteral("baud list, ") + ending)) << "Combo2"
                                                                          << "4800" << ending;
    }
}

void KeyboardMouseTest::typingIntoAListRunsNoCode() {
    QFETCH(QString, list);
    QFETCH(QString, typed);
    QFETCH(QString, ending);
    ShownWindow f;
    auto *combo = f.window->findChild<QComboBox *>(list);
    combo->setFocus();
    QTRY_VERIFY(combo->hasFocus());
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo, typed);
    if (ending == QLatin1String("Tab"))
        QTest::keyClick(combo, Qt::Key_Tab);
    else if (ending == QLatin1String("Enter"))
        QTest::keyClick(combo, Qt::Key_Return);
    else
        f.ui().txtStationID->setFocus();
    QCoreApplication::processEvents();
    QVERIFY2(f.comm->log.isEmpty(), qPrintable(f.comm->log.join(u' ')));
    QCOMPARE(f.window->CommNum, 1);
    QCOMPARE(f.window->CommRate, 9600);
    QCOMPARE(f.comm->settings, QStringLiteral("9600,N,8,1"));
}

// An entry chosen with the arrow keys while the list has the focus runs its click, as a pick does.
void KeyboardMouseTest::arrowKeysChooseAnEntry() {
    ShownWindow f;
    f.ui().Combo1->setFocus();
    QTRY_VERIFY(f.ui().Combo1->hasFocus());
    QTest::keyClick(f.ui().Combo1, Qt::Key_Down);
    QCOMPARE(f.window->CommNum, 2);
    QVERIFY(f.comm->log.contains(QStringLiteral("PortOpen=true")));
}

void KeyboardMouseTest::wheelTurnsOnlyTheFocusedList() {
    ShownWindow f;
    f.ui().txtStationID->setFocus();
    QTRY_VERIFY(f.ui().txtStationID->hasFocus());
    wheelOver(f.ui().Combo1, -1);
    wheelOver(f.ui().Combo1->lineEdit(), -1);
    wheelOver(f.ui().Combo2, -1);
    QCOMPARE(f.ui().Combo1->currentIndex(), 0);
    QCOMPARE(f.ui().Combo2->currentIndex(), 2);
    QVERIFY(f.comm->log.isEmpty());
    QVERIFY(f.ui().txtStationID->hasFocus()); // the wheel does not take the focus either

    f.ui().Combo1->setFocus();
    QTRY_VERIFY(f.ui().Combo1->hasFocus());
    wheelOver(f.ui().Combo1, -1);
    QCOMPARE(f.ui().Combo1->currentIndex(), 1);
    QCOMPARE(f.window->CommNum, 2);
}

void KeyboardMouseTest::tabLeavesTheReceiveBox() {
    ShownWindow f;
    QWidget *box = f.ui().txtState;
    box->setFocus();
    QTRY_VERIFY(box->hasFocus());
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.ui().txtCommand); // the next in the tab order
    QVERIFY(f.ui().txtState->toPlainText().isEmpty());
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Backtab);
    QVERIFY(!box->hasFocus());
    QVERIFY(f.ui().txtState->toPlainText().isEmpty());
}

// The first tick comes one interval after each click, also when the interval stays the same.
void KeyboardMouseTest::everyCycleClickRestartsTheInterval() {
    WindowFixture f;
    f.ui().txtTimerSet->setText(QStringLiteral("60000"));
    f.ui().cmdOneM->click();
    QTest::qWait(300);
    QVERIFY(f.window->Timer2.remainingTime() <= 59800);
    f.ui().cmdOneM->click();
    QVERIFY2(f.window->Timer2.remainingTime() > 59800,
             qPrintable(QString::number(f.window->Timer2.remainingTime())));
}

// What the system delivers for a double-click: press, release, double-click, release.
void KeyboardMouseTest::doubleClickOpensThePageOnce() {
    ShownWindow f;
    QTest::mouseClick(f.ui().lblurl, Qt::LeftButton);
    QTest::mouseDClick(f.ui().lblurl, Qt::LeftButton);
    QTest::mouseRelease(f.ui().lblurl, Qt::LeftButton);
    QCOMPARE(f.openedUrls.size(), 1);
    QTest::mouseClick(f.ui().lblurl, Qt::LeftButton);
    QTest::mouseClick(f.ui().lblurl, Qt::LeftButton);
    QCOMPARE(f.openedUrls.size(), 3);
}

void KeyboardMouseTest::linkOpensOnlyOnAReleaseOverIt_data() {
    QTest::addColumn<QPoint>("dragged"); // from the press at the link's centre
    QTest::addColumn<int>("opened");
    QTest::newRow("released where pressed") << QPoint() << 1;
    QTest::newRow("dragged off to the right") << QPoint(1000, 0) << 0;
    QTest::newRow("dragged off above") << QPoint(0, -100) << 0;
}

// The label grabs the mouse from its press on: the release comes to it wherever it happens.
void KeyboardMouseTest::linkOpensOnlyOnAReleaseOverIt() {
    QFETCH(QPoint, dragged);
    QFETCH(int, opened);
    ShownWindow f;
    QLabel *link = f.ui().lblurl;
    const QPoint press = link->rect().center();
    QTest::mousePress(link, Qt::LeftButton, {}, press);
    QTest::mouseMove(link, press + dragged);
    QTest::mouseRelease(link, Qt::LeftButton, {}, press + dragged);
    QCOMPARE(f.openedUrls.size(), opened);
    QTest::mouseClick(link, Qt::LeftButton); // the next click is whole again
    QCOMPARE(f.openedUrls.size(), opened + 1);
}

// A 1 MB paste: the receive box keeps 65535 characters, each single-line box 32767, and a
// following "单次" is handled at once (a second). The bounds are generous (sanitizer builds, busy
// machines): the fault they catch froze the window for minutes.
void KeyboardMouseTest::hugePastesAreCutAndTheWindowStaysResponsive() {
    ShownWindow f;
    const QString megabyte(1 << 20, u'7');
    QGuiApplication::clipboard()->setText(megabyte);
    QList<QWidget *> boxes{f.ui().txtState};
    for (QLineEdit *line : f.window->findChildren<QLineEdit *>()) {
        if (line->isVisible() && !line->isReadOnly())
            boxes << line;
    }
    QElapsedTimer clock;
    for (QWidget *box : boxes) {
        box->setFocus();
        clock.start();
        QTest::keySequence(box, QKeySequence::Paste);
        QCoreApplication::processEvents(); // layout and paint
        f.window->repaint();
        QVERIFY2(clock.elapsed() < 10000, qPrintable(box->objectName()));
    }
    QCOMPARE(f.ui().txtState->toPlainText().size(), 65535);
    QCOMPARE(f.ui().txtCommand->text().size(), 32767);
    QTest::keyClick(f.ui().txtState, Qt::Key_8); // full: nothing more goes in
    QCOMPARE(f.ui().txtState->toPlainText().size(), 65535);

    f.ui().txtStationID->setText(QStringLiteral("1"));
    f.ui().txtFunID->setText(QStringLiteral("3"));
    f.ui().txtStartID->setText(QStringLiteral("0"));
    f.ui().txtDataLength->setText(QStringLiteral("10"));
    clock.start();
    f.ui().comDoOnce->click();
    f.window->repaint();
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(f.lastSent(), f.hex("01030000000AC5CD"));
}

QTEST_MAIN(KeyboardMouseTest)
#include "keyboard_mouse_test.moc"
