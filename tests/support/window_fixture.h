#pragma once

#include "app/frm_main.h"
#include "fake_comm_control.h"
#include "serial/echo_removal.h"

#include <QLabel>
#include <QList>
#include <QUrl>

#include <functional>
#include <memory>

// The real window with a fake serial control and recording seams.
struct WindowFixture {
    FakeCommControl *comm = nullptr;
    QList<Message> messages;
    QList<QUrl> openedUrls;
    // Runs while a message box would be open (the real one is modal and runs the event loop).
    std::function<void(const Message &)> whileMessageOpen;
    std::unique_ptr<frmMain> window;

    enum class Start { Loaded, NotLoaded };
    // Echoing: the fake line under the echo removal, as --echo makes the window's line.
    enum class Line { Plain, Echoing };
    explicit WindowFixture(Start start = Start::Loaded, bool com1Available = true,
                           Line line = Line::Plain) {
        auto fake = std::make_unique<FakeCommControl>();
        comm = fake.get();
        std::unique_ptr<CommControl> control = std::move(fake);
        if (line == Line::Echoing)
            control = std::make_unique<EchoRemovingControl>(std::move(control));
        comm->refuseOpen = !com1Available;
        frmMain::Seams seams;
        seams.showMessage = [this](const Message &message) {
            messages << message;
            if (whileMessageOpen)
                whileMessageOpen(message);
        };
        seams.openUrl = [this](const QUrl &url) { openedUrls << url; };
        window = std::make_unique<frmMain>(std::move(control), seams);
        if (start == Start::Loaded)
            window->Form_Load();
        comm->refuseOpen = false;
        comm->clearLog();
    }

    Ui::frmMain &ui() { return window->ui; }
    QString lamp() const { return window->frontLamp()->objectName(); }
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().text; }
    QByteArray lastSent() const { return comm->sent.isEmpty() ? QByteArray() : comm->sent.last(); }
    static QByteArray hex(const char *text) { return QByteArray::fromHex(text); }
};
