// Finding each other on the local network: the address prompt with hosts heard
// and not, following them while open, the listener, and a flood of forged
// datagrams. Announcements travel over loopback multicast (the suite runs in a
// network namespace of its own).

#include "common/peer.h"

#include "common/Sanitized.h"
#include "core/Announcement.h"
#include "net/Lan.h"
#include "screens/Forms.h"
#include "screens/RecentAddresses.h"
#include "screens/Vars.h"
#include "screens/frmTitle.h"
#include "screens/frmWinSock2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace screens;

namespace {

const QHostAddress Group(QString::fromLatin1(announcement::Group.data()));

// A host on this machine announcing from a loopback address of its own: now,
// then every second while it lives.
class FakeHost : public QObject {
public:
    FakeHost(const QString& source, const QByteArray& text) : datagram(text) {
        socket.bind(QHostAddress(source), 0);
        connect(&timer, &QTimer::timeout, this, &FakeHost::send);
        timer.start(announcement::IntervalMs);
        send();
    }
    void send() { socket.writeDatagram(datagram, Group, announcement::Port); }
    void silence() { timer.stop(); }
    void rename(const QByteArray& text) {
        datagram = text;
        send();
    }

private:
    QUdpSocket socket;
    QTimer timer;
    QByteArray datagram;
};

// What the open address prompt shows: the entries listed (none when the list is
// hidden), then the field's text after "field ".
QStringList shown(QInputDialog& prompt) {
    QStringList now;
    auto* list = prompt.findChild<QListWidget*>(QStringLiteral("lstHosts"));
    // Listed: laid out under the prompt's text, above the field.
    if (list && list->isVisible() && prompt.layout()->indexOf(list) == 1) {
        for (int i = 0; i < list->count(); ++i)
            now << list->item(i)->text();
    }
    return now << "field " + prompt.textValue();
}

// Presses "&Client" and runs `step` inside the modal prompt; the prompt is
// cancelled afterwards if the step left it open.
void atThePrompt(frmTitle& title, const std::function<void(QInputDialog&)>& step) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* prompt = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!prompt)
            return;
        poll.stop();
        step(*prompt);
        if (prompt->isVisible())
            prompt->reject();
    });
    poll.start(10);
    title.Command2->click();
}

frmTitle& showTitle() {
    Forms::show<frmTitle>();
    return Forms::get<frmTitle>();
}

qint64 residentKb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

class TestLan : public QObject {
    Q_OBJECT

private slots:
    void init() { resetAll(); }
    void cleanupTestCase() { resetAll(); }

    // With no host heard (one on another port, one without a name), the plain
    // prompt; what the player typed stays in the field when a host comes, a
    // name's control characters listed as blanks.
    void plainPromptThenATypedAddress() {
        frmTitle& title = showTitle();
        FakeHost stranger(QStringLiteral("127.0.0.2"), "QUORVEL 1 1426 Elsewhere");
        FakeHost broken(QStringLiteral("127.0.0.3"), "QUORVEL 1 1425 ");
        QTest::qWait(300);
        atThePrompt(title, [](QInputDialog& prompt) {
            QCOMPARE(prompt.labelText(), QStringLiteral("Enter Address"));
            QCOMPARE(shown(prompt), QStringList{"field 000.000.000.000"});
            prompt.setTextValue(QStringLiteral("10.0.0.7"));
            FakeHost rex(QStringLiteral("127.0.0.4"), "QUORVEL 1 1425 Rex\nthe\x7fRed");
            QTRY_COMPARE(shown(prompt),
                         (QStringList{"Rex the Red at 127.0.0.4", "field 10.0.0.7"}));
            QTest::keyClick(&prompt, Qt::Key_Escape);
        });
        QVERIFY(Vars::HostAddress.empty());
        QVERIFY(title.isVisible());
    }

    void oneHeardIsFilledInAndEnterJoinsIt() {
        Peer peer;
        QVERIFY(peer.listen());
        frmTitle& title = showTitle();
        FakeHost rex(QStringLiteral("127.0.0.1"), "QUORVEL 1 1425 Rex <b>");
        QTRY_COMPARE(title.Hosts->hosts().size(), size_t(1));
        atThePrompt(title, [](QInputDialog& prompt) {
            QCOMPARE(shown(prompt), (QStringList{"Rex <b> at 127.0.0.1", "field 127.0.0.1"}));
            QTest::keyClick(&prompt, Qt::Key_Return);
        });
        QCOMPARE(Vars::HostAddress, std::string("127.0.0.1"));
        QVERIFY(Forms::loaded<frmWinSock2>());
        QVERIFY(!Forms::loaded<frmTitle>());
        QVERIFY(peer.waitForProgram()); // the match's exchange: test_join's
    }

    // Hosts come and go while the prompt is open, the addresses joined before
    // listed after them: the newest host first, the field following the newest
    // (over the most recent address joined) until the player chooses, an expired
    // host gone, choosing an entry puts its address in the field.
    void promptFollowsHostsWhileOpen() {
        RecentAddresses::remember(QStringLiteral("11.0.1.2"));
        RecentAddresses::remember(QStringLiteral("[2001:db8::5]:1426"));
        atThePrompt(showTitle(), [&](QInputDialog& prompt) {
            const auto with = [](QStringList hosts, const char* field) {
                return hosts + QStringList{"[2001:db8::5]:1426 (joined before)",
                                           "11.0.1.2 (joined before)", "field " + QString(field)};
            };
            QCOMPARE(shown(prompt), with({}, "[2001:db8::5]:1426"));
            FakeHost rex(QStringLiteral("127.0.0.2"), "QUORVEL 1 1425 Rex");
            QTRY_COMPARE(shown(prompt), with({"Rex at 127.0.0.2"}, "127.0.0.2"));
            FakeHost pip(QStringLiteral("127.0.0.3"), "QUORVEL 1 1425 Pip");
            QTRY_COMPARE(shown(prompt),
                         with({"Pip at 127.0.0.3", "Rex at 127.0.0.2"}, "127.0.0.3"));

            // Pip falls silent: 4 s after its last announcement it is gone.
            pip.silence();
            QElapsedTimer sinceSilence;
            sinceSilence.start();
            QTRY_COMPARE_WITH_TIMEOUT(shown(prompt), with({"Rex at 127.0.0.2"}, "127.0.0.2"), 6000);
            QVERIFY2(sinceSilence.elapsed() >= announcement::ExpiryMs - 1100,
                     qPrintable(QString::number(sinceSilence.elapsed())));

            // Chosen, Rex stays in the field when another host comes first; Bruno's
            // program hosts again with another chicken: the list says so.
            auto* list = prompt.findChild<QListWidget*>(QStringLiteral("lstHosts"));
            list->setCurrentRow(0);
            FakeHost bruno(QStringLiteral("127.0.0.4"), "QUORVEL 1 1425 Bruno");
            QTRY_COMPARE(shown(prompt),
                         with({"Bruno at 127.0.0.4", "Rex at 127.0.0.2"}, "127.0.0.2"));
            bruno.rename("QUORVEL 1 1425 Rosie");
            QTRY_COMPARE(shown(prompt),
                         with({"Rosie at 127.0.0.4", "Rex at 127.0.0.2"}, "127.0.0.2"));
            for (const auto& [at, field] :
                 {std::pair{1, "127.0.0.2"}, {0, "127.0.0.4"}, {3, "11.0.1.2"}}) {
                list->setCurrentRow(at);
                QCOMPARE(shown(prompt).last(), "field " + QString(field));
            }
            prompt.reject();
        });
        QVERIFY(Vars::HostAddress.empty());
    }

    // The listener reads waiting datagrams 64 a turn of the event loop, the rest
    // in the turns after: a flood cannot hold up the program. A host that goes on
    // announcing once a second stays listed without a break: each announcement
    // renews the time it was last heard, so it never expires.
    void hostListener() {
        HostListener listener;
        QVERIFY(listener.start());
        QUdpSocket rex;
        QVERIFY(rex.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
        for (int n = 1; n <= 100; ++n)
            rex.writeDatagram("QUORVEL 1 1425 Rex " + QByteArray::number(n), Group,
                              announcement::Port);
        QThread::msleep(100); // all have arrived; the event loop has not turned
        QCoreApplication::processEvents();
        QCOMPARE(listener.hosts().size(), size_t(1));
        QCOMPARE(listener.hosts().front().match.name, std::string("Rex 64"));
        QTRY_COMPARE(listener.hosts().front().match.name, std::string("Rex 100"));

        FakeHost announcing(QStringLiteral("127.0.0.2"), "QUORVEL 1 1425 Rex");
        QTRY_COMPARE(listener.hosts().front().match.name, std::string("Rex"));
        int changes = 0;
        connect(&listener, &HostListener::changed, this, [&] { ++changes; });
        QTest::qWait(4500); // past the 4 s a silent host would be kept
        QCOMPARE(changes, 0);
        QCOMPARE(listener.hosts().size(), size_t(1));
    }

    // Thousands of forged datagrams a second, from a thread of this process over
    // 250 loopback addresses, half of them well-formed announcements: the title
    // screen's event loop goes on turning, the list stays at 16 hosts and the
    // memory does not grow with the flood.
    void forgedFloodNeitherStallsNorGrows() {
        frmTitle& title = showTitle();
        std::atomic<bool> flooding{true};
        std::atomic<long> sent{0};
        std::thread flooder([&] {
            std::vector<int> sockets;
            for (int host = 2; host < 252; ++host) {
                const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
                sockaddr_in from{};
                from.sin_family = AF_INET;
                from.sin_addr.s_addr = htonl(0x7f000000u | unsigned(host));
                ::bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from);
                sockets.push_back(s);
            }
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(announcement::Port);
            ::inet_pton(AF_INET, announcement::Group.data(), &to.sin_addr);
            for (unsigned n = 0; flooding; ++n) {
                // 50 every 10 ms: 5,000 a second.
                for (int i = 0; i < 50; ++i, ++n) {
                    const std::string datagram =
                        n % 2 ? announcement::build(1425, "Forged " + std::to_string(n))
                              : std::string(n % 600, char(n));
                    ::sendto(sockets[n % sockets.size()], datagram.data(), datagram.size(), 0,
                             reinterpret_cast<sockaddr*>(&to), sizeof to);
                    ++sent;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            for (int s : sockets)
                ::close(s);
        });

        QTest::qWait(500); // the flood under way
        const qint64 residentBefore = residentKb();
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticker.start(5);
        size_t mostHosts = 0;
        while (clock.elapsed() < 3000) {
            QTest::qWait(50);
            mostHosts = std::max(mostHosts, title.Hosts->hosts().size());
        }
        ticker.stop();
        flooding = false;
        flooder.join();
        const qint64 grownKb = residentKb() - residentBefore;
        qInfo("flood: %ld datagrams sent; longest gap between 5 ms ticks %lld ms; %zu hosts "
              "at most; resident memory grew %lld kB",
              long(sent), longest, mostHosts, grownKb);
        QVERIFY(sent > 10000);
        QVERIFY2(longest < 50, qPrintable(QString::number(longest)));
        QCOMPARE(mostHosts, announcement::HostsMax);
        // AddressSanitizer's quarantine keeps freed memory resident.
        if (!sanitizedBuild)
            QVERIFY2(grownKb < 2048, qPrintable(QString::number(grownKb)));
    }
};

QTEST_MAIN(TestLan)
#include "test_lan.moc"
