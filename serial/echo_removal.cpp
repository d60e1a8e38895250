#include "echo_removal.h"

EchoRemovingControl::EchoRemovingControl(std::unique_ptr<CommControl> line, QObject *parent)
    : CommControl(parent), line_(std::move(line)) {
    connect(line_.get(), &CommControl::OnComm, this, &EchoRemovingControl::onLineEvent);
}

void EchoRemovingControl::forget() {
    echo_.clear();
    echoed_.clear();
    waiting_.clear();
    differed_ = false;
}

bool EchoRemovingControl::setPortOpen(bool open) {
    forget();
    return line_->setPortOpen(open);
}

bool EchoRemovingControl::setInBufferCount(int count) {
    if (count == 0)
        waiting_.clear();
    return line_->setInBufferCount(count);
}

bool EchoRemovingControl::setRThreshold(int bytes) {
    if (bytes < 0)
        return false;
    threshold_ = bytes;
    // Every byte the line receives comes here first: the echo is counted off before the reply.
    return line_->setRThreshold(bytes > 0 ? 1 : 0);
}

bool EchoRemovingControl::Output(const QByteArray &bytes) {
    forget();
    echo_ = bytes;
    return line_->Output(bytes);
}

QByteArray EchoRemovingControl::Input() {
    return std::exchange(waiting_, {});
}

QByteArray EchoRemovingControl::waitingInput() {
    return waiting_ + line_->waitingInput();
}

void EchoRemovingControl::onLineEvent() {
    if (line_->CommEvent() != comEvReceive) {
        commEvent_ = line_->CommEvent();
        emit OnComm();
        return;
    }
    QByteArray bytes = line_->Input();
    if (!echo_.isEmpty() && !differed_) {
        const qsizetype compared = std::min(bytes.size(), echo_.size());
        if (bytes.first(compared) != echo_.first(compared)) {
            differed_ = true; // not the echo after all: handed on at once, as it is
            echo_.clear();
            waiting_ += std::exchange(echoed_, {}) + bytes;
            commEvent_ = comEvReceive;
            emit OnComm();
            return;
        }
        echoed_ += bytes.first(compared);
        echo_.remove(0, compared);
        bytes.remove(0, compared);
    }
    waiting_ += bytes;
    if (echo_.isEmpty() && receiveDue(waiting_.size(), [this] { return waiting_; })) {
        commEvent_ = comEvReceive;
        emit OnComm();
    }
}
