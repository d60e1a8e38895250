// What a request and a reply repaint on the shown window: the receive box is laid out for its new
// text before the repaint (its scroll bar shown or hidden at once), each of the two steps is one
// repaint pass, and boxes whose text did not change are not repainted.
#include "window_fixture.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QtTest>

namespace {

// Counts the window's repaint passes and the paint events of each widget.
class RepaintLog : public QObject {
public:
    explicit RepaintLog(QWidget *window) : window_(window) { qApp->installEventFilter(this); }
    ~RepaintLog() override { qApp->removeEventFilter(this); }

    int passes = 0;
    QHash<QObject *, int> paints;

    void clear() {
        passes = 0;
        paints.clear();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::UpdateRequest && watched == window_)
            ++passes;
        else if (event->type() == QEvent::Paint)
            ++paints[watched];
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *window_;
};

// Everything the event loop has to do now, repaints included.
void settle() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

const QByteArray kReply = QByteArray::fromHex("01031401C200000001000007D003E8000007D000000000D979");

struct ShownWindow : WindowFixture {
    ShownWindow() {
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
        settle();
    }
    QScrollBar *bar() { return ui().txtState->verticalScrollBar(); }
    void reply(const QByteArray &bytes = kReply) { comm->deliver(bytes); }
    bool exposed = false;
};

} // namespace

class RepaintTest : public QObject {
    Q_OBJECT
private slots:
    void replyIsLaidOutBeforeItsRepaint();
    void requestIsLaidOutBeforeItsRepaint();
    void requestAndReplyAreOnePassEach();
    void unchangedValueBoxesAreNotRepainted();
    void frameRepaintedInPartsLooksWhole();
};

void RepaintTest::replyIsLaidOutBeforeItsRepaint() {
    ShownWindow w;
    QVERIFY(w.exposed);
    w.ui().comDoOnce->click();
    settle();
    QVERIFY(!w.bar()->isVisible());
    w.reply();
    // The reply's four lines need the scroll bar: shown, and the text beside it, before any
    // repaint.
    QCOMPARE(w.ui().txtState->toPlainText(),
             QStringLiteral(" 01 03 14 01 C2 00 00 00 01 00 00 07 "
                            "D0 03 E8 00 00 07 D0 00 00 00 00 D9 79"));
    QVERIFY(w.bar()->isVisible());
    QCOMPARE(w.ui().txtState->viewport()->geometry().right() + 1, w.bar()->parentWidget()->x());
}

void RepaintTest::requestIsLaidOutBeforeItsRepaint() {
    ShownWindow w;
    QVERIFY(w.exposed);
    w.ui().comDoOnce->click();
    w.reply();
    settle();
    QVERIFY(w.bar()->isVisible());
    w.ui().comDoOnce->click();
    QCOMPARE(w.ui().txtState->toPlainText(), QString());
    QVERIFY(!w.bar()->isVisible());
    QCOMPARE(w.ui().txtState->viewport()->width(), w.ui().txtState->contentsRect().width());
}

void RepaintTest::requestAndReplyAreOnePassEach() {
    ShownWindow w;
    QVERIFY(w.exposed);
    RepaintLog log(w.window.get());
    for (int poll = 0; poll < 3; ++poll) {
        log.clear();
        w.ui().comDoOnce->click();
        settle();
        QCOMPARE(log.passes, 1);
        QCOMPARE(log.paints.value(w.ui().lblCounter), 1);
        QCOMPARE(log.paints.value(w.ui().ImgYellow), 1);
        log.clear();
        w.reply();
        settle();
        QCOMPARE(log.passes, 1);
        QCOMPARE(log.paints.value(w.ui().lblErrCounter), 1);
        QCOMPARE(log.paints.value(w.ui().txtState->viewport()), 1);
        QCOMPARE(log.paints.value(w.bar()), 1);
        QCOMPARE(log.paints.value(w.ui().imgConnected), 1);
    }
}

void RepaintTest::unchangedValueBoxesAreNotRepainted() {
    ShownWindow w;
    QVERIFY(w.exposed);
    w.ui().comDoOnce->click();
    w.reply();
    settle();
    RepaintLog log(w.window.get());
    w.ui().comDoOnce->click();
    w.reply();
    settle();
    QCOMPARE(w.window->txtValue[0]->text(), QStringLiteral("450"));
    QVERIFY(log.paints.value(w.ui().txtState->viewport()) > 0);
    for (QLineEdit *box : w.window->txtValue)
        QCOMPARE(log.paints.value(box), 0);
    // A changed value repaints its box, and only that one.
    log.clear();
    w.ui().comDoOnce->click();
    QByteArray changed = kReply;
    changed[4] = char(0xC3); // 451 ppm
    const std::uint16_t crc = modbus::crc16Modbus(modbus::bytesOf(changed.left(23)));
    changed[23] = char(crc & 0xFF);
    changed[24] = char(crc >> 8);
    w.reply(changed);
    settle();
    QCOMPARE(w.window->txtValue[0]->text(), QStringLiteral("451"));
    QCOMPARE(log.paints.value(w.window->txtValue[0]), 1);
    for (std::size_t box = 1; box < w.window->txtValue.size(); ++box)
        QCOMPARE(log.paints.value(w.window->txtValue[box]), 0);
}

// A frame repainted piece by piece, its caption band included or not, looks as when painted whole.
void RepaintTest::frameRepaintedInPartsLooksWhole() {
    ShownWindow w;
    QVERIFY(w.exposed);
    for (QWidget *frame :
         {static_cast<QWidget *>(w.ui().Frame5), static_cast<QWidget *>(w.ui().Frame3)}) {
        const QImage whole = frame->grab().toImage();
        QImage parts(whole.size(), whole.format());
        parts.fill(Qt::magenta);
        const int band = QFontMetrics(frame->font()).height();
        for (const QRect &piece : {QRect(0, 0, frame->width(), band / 2),
                                   QRect(0, band / 2, frame->width(), band - band / 2),
                                   QRect(0, band, frame->width(), frame->height() - band)}) {
            frame->render(&parts, piece.topLeft(), QRegion(piece),
                          QWidget::DrawWindowBackground | QWidget::DrawChildren);
        }
        QCOMPARE(parts, whole);
    }
}

QTEST_MAIN(RepaintTest)
#include "repaint_test.moc"
