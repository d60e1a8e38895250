#pragma once

#include "core/frame_codec.h"
#include "core/input_checks.h"
#include "core/reply_decoder.h"
#include "message_seam.h"
#include "polling/window_timer.h"
#include "ui_frm_main.h"
#include "window_texts.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class CommControl;
class LineShape;
class QComboBox;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;

// The one window: its controls, the state every part of the tool shares, the serial control
// MSComm1 and the interval timer Timer2. Each event handler is defined in the folder of the
// subsystem it belongs to.
class frmMain final : public QWidget {
    Q_OBJECT

    std::unique_ptr<CommControl> comm_; // declared first: MSComm1 refers to it

public:
    // Without seams the window shows real message boxes and hands addresses to the browser.
    struct Seams {
        MessageSink showMessage;
        UrlOpener openUrl;
        PortDescriber describePort; // without it the entry's device is not named
    };

    explicit frmMain(std::unique_ptr<CommControl> comm, Seams seams = {},
                     QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up: the baud list, the Modbus defaults, the serial configuration, COM1 opened.
    // Runs once; the program calls it after construction, before showing the window.
    void Form_Load();

    // Serial port handling (serial/port_handling.cpp).
    void Combo1_Click();
    void Combo2_Click();
    void cmdCom_Click();
    void Command1_Click();
    void OpenOnComm();

    // Modbus exchange (modbus/).
    void comDoOnce_Click();
    void MSComm1_OnComm();

    // Cyclic polling (polling/cyclic_polling.cpp).
    void cmdOneM_Click();
    void cmdStopOnce_Click();
    void Timer2_Timer();

    // Sensor configuration (config/).
    void cmdChangeID_Click();
    void cmdReadAdd_Click();
    void cmdSet_Click(int Index);

    // Product page link.
    void lblurl_Click();

    // The lamp image in front, the one the technician sees.
    QLabel *frontLamp() const;
    // "COM3", or with the device it leads to: "COM3: /dev/ttyUSB0, USB-Serial CH340".
    QString portDescription(int port) const;

    // A message box through the window's message seam, also for what stands around the window.
    void showMessage(const QString &text, const QString &title = window_texts::kAppTitle,
                     MessageIcon icon = MessageIcon::None);

signals:
    // The exchange as it happens, for whatever records or plots it; the handlers know nothing of
    // files or charts. A request as built (`sent` is false when the port was closed), a received
    // block with what it meant, and any other event of the serial control.
    void requestIssued(const modbus::Request &request, bool sent);
    void replyHandled(const modbus::Request &pending, const QByteArray &block,
                      const modbus::DecodedReply &reply);
    void lineEvent(const modbus::Request &pending, int commEvent);
    // Bytes that never reached the receive threshold, dropped as a new request is prepared.
    void bytesDiscarded(const modbus::Request &pending, const QByteArray &bytes);

public:
    // State shared by every part of the window.
    qint16 CommNum = 0;
    qint16 CommRate = 0;
    int HiByte = 0;
    quint8 LoByte = 0;
    bool PollEnabled = false;
    qint16 CmdType = 0;
    QString CmdText;
    qint16 RecThreshold = 0;
    qint32 RecCount = 0;

    // The controls, and the control arrays indexed as the window indexes them. lblDanWei has no
    // elements 5, 7 and 10; Label2 starts at 2.
    Ui::frmMain ui;
    std::array<QLineEdit *, 8> txtValue{};
    std::array<QPushButton *, 6> cmdSet{};
    std::array<QLineEdit *, 2> txtSetID{};
    std::array<QLabel *, 13> lblDanWei{};
    std::array<QLabel *, 3> Label1{};
    std::array<QLabel *, 9> Label2{};
    std::array<QLabel *, 4> Label5{};
    std::array<QLabel *, 5> Label8{};
    std::array<LineShape *, 1> Line1{};

    CommControl &MSComm1;
    WindowTimer Timer2;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void collectControlArrays();
    void makeListsChooseOnly();
    void connectHandlers();
    bool linkEvent(const QMouseEvent *event);
    // A selection made from code runs the list's click handler at once, as a click would.
    void selectListEntry(QComboBox *list, int index, void (frmMain::*click)());
    // The port-list click's steps, before the lamp tells how they ended.
    void choosePort();
    // The message box that answers input which failed its checks.
    void showInputProblem(modbus::InputProblem problem);
    void bringToFront(QLabel *image);
    void describeLamp();
    // The port list's tooltip and accessible description: where the selected entry leads.
    void describePortList();
    static void setTextColour(QWidget *box, const QColor &colour);
    // Sets the text only when it differs (a new text costs a layout and a repaint); true if set.
    static bool showText(QLineEdit *box, const QString &text);
    static qint64 counterValue(const QLabel *counter);
    QString portSettings() const;

    // Request plumbing shared by every request builder (modbus/request_building.cpp).
    void Crc16(const modbus::Frame &cmdstring, int j);
    // The request's frame, its CRC computed by Crc16 as the window shows it in HiByte and LoByte.
    modbus::Frame sealedFrame(const modbus::Request &request);
    // Discards what is waiting (bytes that did not reach the threshold of the request pending so
    // far, told to the exchange's observers) and raises no receive event while the next one is
    // built.
    void prepareForRequest();
    // The request the next reply is handled for; CmdType follows it.
    void setPending(const modbus::Request &request);
    // Sends the request, or (port closed) only tells the exchange's observers it was not sent.
    // Sending also arms the serial control to end the wait early on a refusal of this request.
    bool sendRequest(const modbus::Request &request);
    void skipSending(const modbus::Request &request);
    // The request the next received block answers: the last one built, while CmdType names its
    // kind; none before the first request.
    modbus::Request pendingRequest() const;
    // Empties the receive box, and what it said of the reply it showed.
    void emptyReceiveBox();
    // The receive box's red, description and tooltip for the reply just shown.
    void describeReply(const modbus::Request &pending, const modbus::DecodedReply &reply);
    void showCommandText();
    enum class KeepThreshold { No, Yes };
    void issueConfigurationRequest(const modbus::Request &request,
                                   KeepThreshold keepInRecThreshold);
    // The station address for a configuration request, or nullopt after a message.
    std::optional<std::uint8_t> configurationStation();

    Seams seams_;
    modbus::Request lastRequest_;
    QColor defaultStateColour_;
    bool loaded_ = false;
    bool closedPortMessageOpen_ = false;
    bool linkDoubleClicked_ = false;
};
