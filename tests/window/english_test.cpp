// The window with --lang en: every caption, tooltip, accessible text and message is English, and
// every caption still fits its control (run at several QT_SCALE_FACTOR values).
#include "app/translation.h"
#include "caption_fit.h"
#include "chinese_text.h"
#include "core/module_map.h"
#include "full_disk.h"
#include "record/exchange_recorder.h"
#include "record/window_log.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QPlainTextEdit>
#include <QtTest>

#include <array>

class EnglishTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyTextOfTheWindowIsEnglish();
    void everyMessageIsEnglish();
    void captionsFitTheirControls();
    void captionsUseTheWordsOfTheLogAndTheCommandLine();
};

void EnglishTest::initTestCase() {
    QVERIFY(translation::install(QStringLiteral("en"), {QStringLiteral(GX7140R_TRANSLATIONS_DIR)}));
}

void EnglishTest::everyTextOfTheWindowIsEnglish() {
    WindowFixture f;
    QStringList chinese;
    auto check = [&](const QObject *owner, const char *what, const QString &text) {
        if (hasChinese(text))
            chinese << QStringLiteral("%1.%2: %3").arg(owner->objectName(), what, text);
    };
    QList<QWidget *> widgets = f.window->findChildren<QWidget *>();
    widgets << f.window.get();
    for (const QWidget *widget : widgets) {
        check(widget, "windowTitle", widget->windowTitle());
        check(widget, "toolTip", widget->toolTip());
        check(widget, "accessibleName", widget->accessibleName());
        check(widget, "accessibleDescription", widget->accessibleDescription());
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            check(widget, "text", label->text());
        if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            check(widget, "text", button->text());
        if (const auto *frame = qobject_cast<const QGroupBox *>(widget))
            check(widget, "title", frame->title());
        if (const auto *list = qobject_cast<const QComboBox *>(widget)) {
            for (int i = 0; i < list->count(); ++i)
                check(widget, "item", list->itemText(i));
            check(widget, "currentText", list->currentText());
        }
    }
    // texts the handlers set: the lamp's three states and a rejected reply
    f.ui().comDoOnce->click();
    check(f.ui().Picture2, "lamp", f.ui().Picture2->accessibleDescription());
    f.comm->deliver(f.hex("01830440F3AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"));
    check(f.ui().Picture2, "lamp", f.ui().Picture2->accessibleDescription());
    check(f.ui().txtState, "rejected", f.ui().txtState->accessibleDescription());
    QVERIFY(!f.ui().txtState->accessibleDescription().isEmpty());
    f.ui().Command1->click();
    check(f.ui().Picture2, "lamp", f.ui().Picture2->accessibleDescription());
    QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(u'\n')));
}

// Each message the window can show, brought about as a user would.
void EnglishTest::everyMessageIsEnglish() {
    WindowFixture f;
    auto &ui = f.ui();
    f.comm->refuseOpen = true;
    ui.cmdCom->click(); // the port cannot be opened
    // and why: each second line
    using Cause = PortRefusal::Cause;
    const QString device = QStringLiteral("/dev/ttyUSB0");
    const auto refused = [&](unsigned mode, bool joinedSinceLogIn) {
        const DeviceAccess access{true, false, "root", "dialout", 0020000 | mode, joinedSinceLogIn};
        return PortRefusal{Cause::NoPermission, device, access, {}};
    };
    const auto locked = [&](LockRefusal::Kind kind, QString program) {
        const LockRefusal lock{kind, "/var/lock/LCK..ttyUSB0", 42, program, "empty"};
        return PortRefusal{Cause::Locked, device, {}, lock};
    };
    for (const PortRefusal &refusal :
         {PortRefusal{Cause::NoDevice, device, {}, {}}, refused(0600, false), refused(0660, false),
          refused(0660, true), locked(LockRefusal::Kind::HeldByProcess, "minicom"),
          locked(LockRefusal::Kind::HeldByProcess, {}),
          locked(LockRefusal::Kind::UnreadableLock, {})}) {
        f.comm->refusal = refusal;
        ui.cmdCom->click();
    }
    f.comm->refuseOpen = false;
    ui.Combo1->setCurrentIndex(-1);
    f.window->Combo1_Click(); // no port chosen
    f.comm->open = false;
    ui.comDoOnce->click(); // the port is closed
    for (const char *interval : {"abc", "10"}) {
        ui.txtTimerSet->setText(QString::fromLatin1(interval));
        ui.cmdOneM->click();
    }
    const std::pair<const char *, const char *> addresses[] = {
        {"abc", "2"}, {"1", "abc"}, {"0", "2"}, {"1", "251"}};
    for (const auto &[source, target] : addresses) {
        f.window->txtSetID[0]->setText(QString::fromLatin1(source));
        f.window->txtSetID[1]->setText(QString::fromLatin1(target));
        ui.cmdChangeID->click();
    }
    f.window->txtValue[2]->setText(QStringLiteral("x"));
    f.window->cmdSet[0]->click();
    // the log (--log) on a full disk
    FullDisk::Contents disk;
    ExchangeRecorder recorder(*f.window);
    WindowLog log(*f.window, recorder,
                  std::make_unique<CsvLog>(std::make_unique<FullDisk>(disk, 0)));
    f.comm->open = true;
    ui.comDoOnce->click();
    QTRY_COMPARE(f.messages.size(), 18);
    for (const Message &message : f.messages) {
        QVERIFY2(!hasChinese(message.text) && !message.text.isEmpty(), qPrintable(message.text));
        QVERIFY2(!hasChinese(message.title) && !message.title.isEmpty(), qPrintable(message.title));
    }
}

void EnglishTest::captionsFitTheirControls() {
    WindowFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const QStringList clipped = clippedCaptions(*f.window, f.ui().Label2_7);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u' ')));
    // the address line: its caption's words stay clear of the two boxes laid over it
    const QLabel *line = f.ui().Label2_7;
    const QString caption = line->text();
    const int firstWordEnd = line->fontMetrics().horizontalAdvance(caption.section(u' ', 0, 0));
    QVERIFY(line->x() + firstWordEnd <= f.window->txtSetID[0]->x());
}

// One register, one name: the English caption of each row, in lower case, is the first words of its
// log column ("Range coefficient", range_coefficient) and its command line's setting name.
void EnglishTest::captionsUseTheWordsOfTheLogAndTheCommandLine() {
    // The rows' captions as the form has them, by register.
    const std::array<const char *, modbus::kValueBoxCount> captions{
        "气体浓度", "报警状态",   "量程系数", "量程低值",
        "量程高值", "显示值校准", "报警低值", "报警高值"};
    for (const modbus::ModuleField &field : modbus::kModuleFields) {
        const QString caption =
            QCoreApplication::translate("frmMain", captions[std::size_t(field.address)]).toLower();
        const QString key = QString::fromLatin1(field.key.data(), qsizetype(field.key.size()));
        QVERIFY2(key == QString(caption).replace(u' ', u'_') ||
                     key.startsWith(QString(caption).replace(u' ', u'_') + u'_'),
                 qPrintable(caption + QStringLiteral(" / ") + key));
        if (field.settingName.empty())
            continue;
        const QString setting =
            QString::fromLatin1(field.settingName.data(), qsizetype(field.settingName.size()));
        QCOMPARE(QString(caption).replace(u' ', u'-'), setting);
    }
}

QTEST_MAIN(EnglishTest)
#include "english_test.moc"
