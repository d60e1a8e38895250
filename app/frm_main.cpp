#include "frm_main.h"

#include "caption_wrap.h"
#include "line_shape.h"
#include "list_accessible.h"
#include "core/numeric_text.h"
#include "product_page.h"
#include "value_and_lamp_accessible.h"
#include "serial/comm_control.h"
#include "core/line_settings.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>

using namespace window_texts;

static void initWindowResources() {
    Q_INIT_RESOURCE(resources);
}

static void registerFontSubstitutes() {
    for (const auto &[family, substitutes] : kFontSubstitutes)
        QFont::insertSubstitutions(QString::fromUtf8(family), substitutes);
}

frmMain::frmMain(std::unique_ptr<CommControl> comm, Seams seams, QWidget *parent)
    : QWidget(parent), comm_(std::move(comm)), MSComm1(*comm_), seams_(std::move(seams)) {
    initWindowResources();
    registerFontSubstitutes();
    installListAccessibility();
    ui.setupUi(this);
    setFixedSize(size());
    collectControlArrays();
    makeListsChooseOnly();
    ui.lblurl->setText(Module1::MakerSiteUrl());
    ui.lblurl->adjustSize();
    ui.lblurl->setCursor(Qt::PointingHandCursor);
    defaultStateColour_ = ui.txtState->palette().color(QPalette::Text);
    if (!seams_.showMessage) {
        seams_.showMessage = [this](const Message &message) {
            const auto icon = message.icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                                       : QMessageBox::NoIcon;
            QMessageBox box(icon, message.title, message.text, QMessageBox::Ok, this);
            box.exec();
        };
    }
    if (!seams_.openUrl)
        seams_.openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    connectHandlers();
    for (QLabel *caption : lblDanWei) {
        if (caption)
            wrapOverlongCaption(*caption);
    }
    Timer2.setEnabled(true); // as designed: enabled, but interval 0 raises no tick
    describeValueBoxes(ui);
    exposeLampAsStatusIndicator(ui);
    describeLamp();
    // Naming a USB adapter asks the system for its devices: not before the window is up.
    connect(ui.Combo1, &QComboBox::currentIndexChanged, this, &frmMain::describePortList);
    QTimer::singleShot(0, this, &frmMain::describePortList);
    ui.txtFunID->setFocus();
}

frmMain::~frmMain() = default;

void frmMain::collectControlArrays() {
    txtValue = {ui.txtValue_0, ui.txtValue_1, ui.txtValue_2, ui.txtValue_3,
                ui.txtValue_4, ui.txtValue_5, ui.txtValue_6, ui.txtValue_7};
    cmdSet = {ui.cmdSet_0, ui.cmdSet_1, ui.cmdSet_2, ui.cmdSet_3, ui.cmdSet_4, ui.cmdSet_5};
    txtSetID = {ui.txtSetID_0, ui.txtSetID_1};
    lblDanWei = {ui.lblDanWei_0, ui.lblDanWei_1,  ui.lblDanWei_2, ui.lblDanWei_3, ui.lblDanWei_4,
                 nullptr,        ui.lblDanWei_6,  nullptr,        ui.lblDanWei_8, ui.lblDanWei_9,
                 nullptr,        ui.lblDanWei_11, ui.lblDanWei_12};
    Label1 = {ui.Label1_0, ui.Label1_1, ui.Label1_2};
    Label2 = {nullptr,     nullptr,     ui.Label2_2, ui.Label2_3, ui.Label2_4,
              ui.Label2_5, ui.Label2_6, ui.Label2_7, ui.Label2_8};
    Label5 = {ui.Label5_0, ui.Label5_1, ui.Label5_2, ui.Label5_3};
    Label8 = {ui.Label8_0, ui.Label8_1, ui.Label8_2, ui.Label8_3, ui.Label8_4};
    Line1 = {ui.Line1_0};
}

void frmMain::makeListsChooseOnly() {
    for (QComboBox *list : {ui.Combo1, ui.Combo2, ui.Combo3, ui.Combo4, ui.Combo5}) {
        // Typed text never picks an entry: the field's Enter and focus-out no longer commit it.
        QObject::disconnect(list->lineEdit(), &QLineEdit::returnPressed, list, nullptr);
        QObject::disconnect(list->lineEdit(), &QLineEdit::editingFinished, list, nullptr);
        // The wheel turns a list only while it has the focus, and does not give it the focus.
        list->setFocusPolicy(Qt::StrongFocus);
        list->installEventFilter(this);
        list->lineEdit()->installEventFilter(this);
    }
}

void frmMain::connectHandlers() {
    connect(ui.Combo1, &QComboBox::activated, this, [this] { Combo1_Click(); });
    connect(ui.Combo2, &QComboBox::activated, this, [this] { Combo2_Click(); });
    connect(ui.cmdCom, &QPushButton::clicked, this, [this] { cmdCom_Click(); });
    connect(ui.Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(ui.comDoOnce, &QPushButton::clicked, this, [this] { comDoOnce_Click(); });
    connect(ui.cmdOneM, &QPushButton::clicked, this, [this] { cmdOneM_Click(); });
    connect(ui.cmdStopOnce, &QPushButton::clicked, this, [this] { cmdStopOnce_Click(); });
    connect(ui.cmdChangeID, &QPushButton::clicked, this, [this] { cmdChangeID_Click(); });
    connect(ui.cmdReadAdd, &QPushButton::clicked, this, [this] { cmdReadAdd_Click(); });
    for (int index = 0; index < int(cmdSet.size()); ++index)
        connect(cmdSet[index], &QPushButton::clicked, this, [this, index] { cmdSet_Click(index); });
    connect(&Timer2, &WindowTimer::Timer, this, &frmMain::Timer2_Timer);
    connect(&MSComm1, &CommControl::OnComm, this, &frmMain::MSComm1_OnComm);
    ui.lblurl->installEventFilter(this);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event) {
    const bool click =
        event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick;
    if (watched == ui.lblurl && click)
        return linkEvent(static_cast<QMouseEvent *>(event)) || QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Wheel) {
        // over a list or over its entry field
        auto *list = qobject_cast<QComboBox *>(watched);
        if (!list)
            list = qobject_cast<QComboBox *>(watched->parent());
        if (list && !list->hasFocus())
            return true; // swallowed: a list without the focus keeps its entry
    }
    return QWidget::eventFilter(watched, event);
}

bool frmMain::linkEvent(const QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return false;
    // A double-click is a click and a double-click: the page opens once, on the first release.
    if (event->type() == QEvent::MouseButtonDblClick) {
        linkDoubleClicked_ = true;
        return true;
    }
    // A press dragged off the link and released elsewhere is no click.
    const bool overLink = ui.lblurl->rect().contains(event->position().toPoint());
    if (!std::exchange(linkDoubleClicked_, false) && overLink)
        lblurl_Click();
    return true;
}

void frmMain::Form_Load() {
    if (loaded_)
        return;
    loaded_ = true;
    ui.txtStationID->setText(kDefaultStationID);
    ui.Combo2->clear();
    for (int position = 0; position < kBaudRates.size(); ++position)
        ui.Combo2->insertItem(position, kBaudRates[position]);
    CommNum = kDefaultCommNum;
    ui.txtDataLength->setText(kDefaultDataLength);
    ui.txtStationID->setText(kDefaultStationID);
    CommRate = kDefaultCommRate;
    const QString defaultRate = QString::number(kDefaultCommRate);
    for (int position = 0; position < kListSearchPositions && position < ui.Combo2->count();
         ++position) {
        if (ui.Combo2->itemText(position) == defaultRate) {
            selectListEntry(ui.Combo2, position, &frmMain::Combo2_Click);
            break;
        }
    }
    MSComm1.setCommPort(kDefaultCommNum);
    MSComm1.setInputMode(CommControl::comInputModeBinary);
    MSComm1.setInputLen(0);
    MSComm1.setInBufferCount(0);
    MSComm1.setOutBufferCount(0);
    MSComm1.setSThreshold(0);
    MSComm1.setRThreshold(1);
    MSComm1.setInputMode(CommControl::comInputModeBinary);
    MSComm1.setSettings(portSettings());
    const QString defaultPort = kPortListPrefix + QString::number(CommNum);
    for (int position = 0; position < kListSearchPositions && position < ui.Combo1->count();
         ++position) {
        if (ui.Combo1->itemText(position) == defaultPort) {
            selectListEntry(ui.Combo1, position, &frmMain::Combo1_Click);
            break;
        }
    }
    PollEnabled = true;
}

void frmMain::selectListEntry(QComboBox *list, int index, void (frmMain::*click)()) {
    list->setCurrentIndex(index);
    list->setEditText(list->itemText(index)); // as a pick from the drop-down list shows it
    (this->*click)();
}

void frmMain::showMessage(const QString &text, const QString &title, MessageIcon icon) {
    seams_.showMessage(Message{shown(text), shown(title), icon});
}

void frmMain::showInputProblem(modbus::InputProblem problem) {
    using modbus::InputProblem;
    switch (problem) {
    case InputProblem::SourceAddressMalformed:
        return showMessage(kSourceAddressMalformed);
    case InputProblem::TargetAddressMalformed:
        return showMessage(kTargetAddressMalformed);
    case InputProblem::AddressZero:
        return showMessage(kAddressZero);
    case InputProblem::AddressTooHigh:
        return showMessage(kAddressTooHigh);
    case InputProblem::ValueMalformed:
        return showMessage(kValueMalformed);
    case InputProblem::IntervalMalformed:
        return showMessage(kIntervalNotNumeric);
    case InputProblem::IntervalOutOfRange:
        return showMessage(kIntervalOutOfRange);
    case InputProblem::None:
        break;
    }
}

void frmMain::bringToFront(QLabel *image) {
    image->raise();
    describeLamp();
}

void frmMain::describeLamp() {
    const QLabel *front = frontLamp();
    ui.Picture2->setAccessibleDescription(shown(front == ui.imgConnected ? kLampGreen
                                                : front == ui.ImgYellow  ? kLampYellow
                                                                         : kLampRed));
}

void frmMain::describePortList() {
    const int index = ui.Combo1->currentIndex();
    if (index < 0)
        return;
    const QString text = portDescription(index + 1);
    ui.Combo1->setToolTip(text);
    ui.Combo1->setAccessibleDescription(text);
}

QString frmMain::portDescription(int port) const {
    const QString name = kPortListPrefix + QString::number(port);
    return seams_.describePort ? kPortDescription.arg(name, seams_.describePort(port)) : name;
}

QLabel *frmMain::frontLamp() const {
    QLabel *front = nullptr;
    for (QObject *child : ui.Picture2->children()) {
        if (child == ui.imgConnected || child == ui.ImgYellow || child == ui.imgNotConnected)
            front = static_cast<QLabel *>(child);
    }
    return front;
}

void frmMain::setTextColour(QWidget *box, const QColor &colour) {
    if (box->palette().color(QPalette::Text) == colour)
        return; // a new palette costs a style update and a repaint
    QPalette palette = box->palette();
    palette.setColor(QPalette::Text, colour);
    box->setPalette(palette);
}

bool frmMain::showText(QLineEdit *box, const QString &text) {
    if (box->text() == text)
        return false;
    box->setText(text);
    return true;
}

qint64 frmMain::counterValue(const QLabel *counter) {
    const auto value = numeric::parseNumber(counter->text());
    return value ? qint64(*value) : 0;
}

QString frmMain::portSettings() const {
    return settingsText(CommRate);
}

void frmMain::lblurl_Click() {
    Module1::OpenProductPage(seams_.openUrl);
}
