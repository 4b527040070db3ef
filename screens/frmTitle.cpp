#include "screens/frmTitle.h"

#include "core/Address.h"
#include "core/Wire.h"
#include "net/Lan.h"
#include "net/LocalAddress.h"
#include "screens/Controls.h"
#include "screens/Forms.h"
#include "screens/Helpers.h"
#include "screens/Platform.h"
#include "screens/RecentAddresses.h"
#include "screens/Twips.h"
#include "screens/Vars.h"
#include "screens/frmWinSock2.h"
#include "screens/frmWinsock1.h"

#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

namespace {

// The hosts of matches on the port this program joins, as the prompt offers them.
// A name is shown byte for byte (Latin-1), control characters as blanks.
QList<platform::HeardHost> offered(const HostListener& listener) {
    QList<platform::HeardHost> hosts;
    for (const HostListener::Host& host : listener.hosts()) {
        if (host.match.port != wire::MatchPort)
            continue;
        QString name = QString::fromLatin1(host.match.name);
        for (QChar& c : name) {
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char(' ');
        }
        hosts.append({name, host.address.toString()});
    }
    return hosts;
}

} // namespace

void returnToTitle() {
    Forms::show<frmTitle>();
}

frmTitle::frmTitle() {
    using namespace controls;
    setupWindow(this, QStringLiteral("frmTitle"), QStringLiteral("Quorvel"), Border::FixedSingle,
                2955, 825, Qt::black);
    setWindowIcon(QIcon(QStringLiteral(":/pictures/program.ico")));

    Command1 =
        button(this, QStringLiteral("Command1"), QStringLiteral("&Server"), 120, 120, 1335, 255);
    Command2 =
        button(this, QStringLiteral("Command2"), QStringLiteral("&Client"), 120, 480, 1335, 255);
    Label1 = label(this, QStringLiteral("Label1"), QStringLiteral("Local IP:"), 1560, 120, 1335,
                   255, font(), Qt::red, Qt::AlignHCenter | Qt::AlignTop);

    Text1 = new QLineEdit(QStringLiteral("999.999.999.999"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips::rect(1560, 480, 1335, 210));
    Text1->setFont(arial(8.25));
    Text1->setAlignment(Qt::AlignCenter);
    Text1->setReadOnly(true);
    Text1->setFrame(false);
    Text1->setFocusPolicy(Qt::ClickFocus); // selectable and copyable, skipped by Tab
    QPalette palette = Text1->palette();
    palette.setColor(QPalette::Text, Qt::red);
    palette.setColor(QPalette::Base, Qt::black);
    Text1->setPalette(palette);
    Text1->setTextMargins(0, 0, 0, 0);
    Text1->setContentsMargins(0, 0, 0, 0);

    Hosts = new HostListener(this);
    Hosts->setObjectName(QStringLiteral("Hosts"));
    heardHosts = new platform::HeardHosts(this);
    connect(Hosts, &HostListener::changed, heardHosts,
            [this] { heardHosts->set(offered(*Hosts)); });

    setTabOrder(Command1, Command2);
    Command1->setFocus();
    connect(Command1, &QPushButton::clicked, this, &frmTitle::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmTitle::Command2_Click);

    controls::centre(this);
}

void frmTitle::Form_Load() {
    if (!Vars::LoadPlayableChicken())
        return;
    Text1->setText(net::localIP());
    // Without the group (no network, port taken) the prompt simply lists nobody.
    Hosts->start();
}

void frmTitle::Form_Unload() {
    Hosts->stop();
}

void frmTitle::Command1_Click() {
    Vars::GameMode = 1;
    Vars::PlayClickSound();
    Forms::show<frmWinsock1>();
    Forms::unload<frmTitle>();
}

void frmTitle::Command2_Click() {
    Vars::GameMode = 2;
    Vars::PlayClickSound();
    // An address a friend sends may carry a port, or be an IPv6 address or a host
    // name; anything else is refused with the reason, and the prompt comes back
    // holding what was typed, to be mended. The addresses joined before are
    // offered after the hosts heard, and the most recent is in the field unless
    // a host is heard.
    const QStringList joinedBefore = RecentAddresses::list();
    heardHosts->setJoinedBefore(joinedBefore);
    QString answer = joinedBefore.value(0, QStringLiteral("000.000.000.000"));
    for (;;) {
        answer = platform::InputBox(QStringLiteral("Enter Address"), answer, heardHosts);
        Vars::HostAddress = answer.toStdString();
        if (Vars::HostAddress.empty())
            return;
        const address::Reading reading = address::read(Vars::HostAddress);
        if (reading.target)
            break;
        platform::MsgBox(QString::fromStdString(reading.refusal));
    }
    RecentAddresses::remember(answer);
    Forms::show<frmWinSock2>();
    Forms::unload<frmTitle>();
}
