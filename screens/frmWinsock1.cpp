#include "screens/frmWinsock1.h"

#include "net/Lan.h"
#include "net/PortMapper.h"
#include "net/Winsock.h"
#include "screens/Controls.h"
#include "screens/Forms.h"
#include "screens/Platform.h"
#include "screens/Vars.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

namespace {

const QString Asking = QStringLiteral("Asking the router to let friends on the internet in . . .");

} // namespace

frmWinsock1::frmWinsock1()
    : ConnectionScreen(Setup{
          .screenName = QStringLiteral("frmWinsock1"),
          .caption = QStringLiteral("Multiplayer - Server"),
          .socketName = QStringLiteral("Winsock1"),
          .side = Connection::Side::Host,
          .statuses =
              {
                  .waiting = "Waiting for connection . . .",
                  .receiving = "Connection Established - Recieving Data . . .",
                  .sending = "Connection Established - Transmiting data . . .",
                  .complete = "Transfer Complete - Starting Game . . .",
              },
          // Room below the status for the line about the internet.
          .heightTwips = Vars::LanOnly ? 705 : 1680,
      }),
      Winsock1(connection->socket()), Announcer1(connection->announcer()),
      PortMapper1(Vars::LanOnly ? nullptr : new PortMapper(this)) {
    Announcer1->setObjectName(QStringLiteral("Announcer1"));
    connect(Winsock1, &Winsock::ConnectionRequest, this, &frmWinsock1::Winsock1_ConnectionRequest);
    connect(Winsock1, &Winsock::DataArrival, this, &frmWinsock1::Winsock1_DataArrival);
    if (PortMapper1 == nullptr)
        return;

    using namespace controls;
    PortMapper1->setObjectName(QStringLiteral("PortMapper1"));
    txtInternet = label(this, QStringLiteral("txtInternet"), QString(), 120, 720, 4320, 840,
                        arial(8.25), QColor(255, 0, 0));
    txtInternet->setWordWrap(true);
    txtInternet->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    cmdCopy = button(this, QStringLiteral("cmdCopy"), QStringLiteral("&Copy"), 4560, 720, 855, 330);
    connect(cmdCopy, &QPushButton::clicked, this, &frmWinsock1::cmdCopy_Click);
    connect(connection, &Connection::waitingForJoiner, this, &frmWinsock1::waitingForJoiner);
    connect(PortMapper1, &PortMapper::finished, this, &frmWinsock1::PortMapper1_Finished);
}

void frmWinsock1::Form_Load() {
    connection->host();
}

void frmWinsock1::Winsock1_ConnectionRequest(qintptr requestID) {
    connection->accept(requestID);
}

void frmWinsock1::Winsock1_DataArrival() {
    connection->dataArrival();
}

void frmWinsock1::cmdCopy_Click() {
    QGuiApplication::clipboard()->setText(copyText);
}

void frmWinsock1::PortMapper1_Finished(const reach::Outcome& outcome) {
    const QString line = QString::fromStdString(reach::hostLine(outcome));
    const QString at = QString::fromStdString(reach::joinAddress(outcome));
    setInternetLine(line, at.isEmpty() ? line : at);
}

void frmWinsock1::waitingForJoiner(bool waiting) {
    cmdCopy->setEnabled(waiting);
    if (waiting) {
        setInternetLine(Asking, Asking);
        PortMapper1->start(wire::MatchPort);
        return;
    }
    PortMapper1->stop();
    // A joiner is in and the router lets nobody else in: no address to give.
    setInternetLine(QString(), QString());
}

void frmWinsock1::setInternetLine(const QString& line, const QString& copied) {
    qCInfo(lcStatus).noquote() << "internet:" << line;
    txtInternet->setText(line);
    copyText = copied;
}

void frmWinsock1::unloadScreen() {
    Forms::unload<frmWinsock1>();
}

void frmWinsock1::openAgain() {
    // Waits on the same port, announces again and asks the router again.
    Forms::show<frmWinsock1>();
}
