// Peer receiver: the program a Qt developer would write with QSerialPort, reading whatever has
// arrived on each readyRead with readAll() and feeding it to the reply assembler byte by byte.
#include <QSerialPort>
#include <cstdio>

#include "bench/peer_receiver.h"

namespace {

class SerialPortPath : public OpenedPath {
  public:
    SerialPortPath(const std::string& tty, PeerRecorder& recorder) {
        port_.setPortName(QString::fromStdString(tty));
        QObject::connect(&port_, &QSerialPort::readyRead, [this, &recorder] {
            const QByteArray received = port_.readAll();
            for (const char byte : received) {
                recorder.Take(static_cast<std::uint8_t>(byte));
            }
        });
    }
    bool Open() {
        return port_.open(QIODevice::ReadWrite) && port_.setBaudRate(QSerialPort::Baud9600) &&
               port_.setDataBits(QSerialPort::Data8) && port_.setParity(QSerialPort::NoParity) &&
               port_.setStopBits(QSerialPort::OneStop) &&
               port_.setFlowControl(QSerialPort::NoFlowControl);
    }
    QString Error() const { return port_.errorString(); }

  private:
    QSerialPort port_;
};

}  // namespace

int main(int argc, char** argv) {
    return RunPeerReceiver(argc, argv, [](const std::string& tty, PeerRecorder& recorder) {
        auto path = std::make_unique<SerialPortPath>(tty, recorder);
        if (!path->Open()) {
            std::fprintf(stderr, "QSerialPort could not open %s: %s\n", tty.c_str(),
                         qPrintable(path->Error()));
            return std::unique_ptr<OpenedPath>();
        }
        return std::unique_ptr<OpenedPath>(std::move(path));
    });
}
