#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// A message box: fixed text, a title, an OK button only, and an icon where one is asked for.
enum class MessageIcon { None, Exclamation };

struct Message {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    bool operator==(const Message &) const = default;
};

// Shows a message and returns when the user has dismissed it. Tests record instead.
using MessageSink = std::function<void(const Message &)>;
// Hands an address to the user's browser and returns at once.
using UrlOpener = std::function<void(const QUrl &)>;
// What a port number leads to, for the port list's tooltip ("/dev/ttyUSB0, USB-Serial CH340").
using PortDescriber = std::function<QString(int)>;
