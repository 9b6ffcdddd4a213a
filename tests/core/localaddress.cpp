#include <QtTest>

#include "support/testrunner.h"

#include "net/localaddress.h"

using Interfaces = QList<InterfaceAddresses>;
using Addresses = QList<QHostAddress>;

Q_DECLARE_METATYPE(Interfaces)
Q_DECLARE_METATYPE(Addresses)

// Which local address the discovery sweep starts from.
class tst_LocalAddress : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();

    // What the system reports feeds the choice correctly.
    void systemInterfacesIncludeLoopback();
};

namespace {

Addresses addresses(std::initializer_list<const char *> texts)
{
    Addresses result;
    for (const char *text : texts)
        result.append(QHostAddress(QString::fromLatin1(text)));
    return result;
}

InterfaceAddresses iface(bool upAndRunning, std::initializer_list<const char *> texts)
{
    InterfaceAddresses result;
    result.upAndRunning = upAndRunning;
    result.addresses = addresses(texts);
    return result;
}

} // namespace

void tst_LocalAddress::choice_data()
{
    QTest::addColumn<Addresses>("lookup");
    QTest::addColumn<Interfaces>("interfaces");
    QTest::addColumn<QString>("expected");

    const InterfaceAddresses lo = iface(true, {"127.0.0.1", "::1"});
    const InterfaceAddresses eth = iface(true, {"fe80::5054:ff:fe12:3456", "192.168.3.20"});
    const InterfaceAddresses wlan = iface(true, {"10.1.2.3"});

    // The lookup already names a LAN address: the interfaces do not matter.
    QTest::newRow("LAN address from the lookup")
        << addresses({"192.168.1.15"}) << Interfaces{lo, eth} << "192.168.1.15";
    QTest::newRow("IPv6 before IPv4 in the lookup")
        << addresses({"fe80::1", "2001:db8::7", "172.16.0.9"}) << Interfaces{lo, eth}
        << "172.16.0.9";
    QTest::newRow("loopback in the lookup passed over for a later address")
        << addresses({"127.0.1.1", "10.0.0.5"}) << Interfaces{lo, eth} << "10.0.0.5";

    // The host's name maps to loopback only, as on Debian.
    QTest::newRow("127.0.1.1 from the lookup, interface address instead")
        << addresses({"127.0.1.1"}) << Interfaces{lo, eth} << "192.168.3.20";
    QTest::newRow("127.0.0.1 from the lookup, interface address instead")
        << addresses({"127.0.0.1", "::1"}) << Interfaces{lo, eth} << "192.168.3.20";
    QTest::newRow("failed lookup, interface address instead")
        << Addresses{} << Interfaces{lo, eth} << "192.168.3.20";
    QTest::newRow("first interface that is up and running")
        << Addresses{} << Interfaces{iface(false, {"192.168.9.9"}), wlan, eth} << "10.1.2.3";
    QTest::newRow("loopback address on another interface passed over")
        << Addresses{} << Interfaces{iface(true, {"127.0.0.2", "192.168.7.7"})}
        << "192.168.7.7";
    QTest::newRow("interface with IPv6 only passed over")
        << Addresses{} << Interfaces{iface(true, {"fe80::2"}), wlan} << "10.1.2.3";

    // Nothing to sweep from.
    QTest::newRow("nothing at all") << Addresses{} << Interfaces{} << "";
    QTest::newRow("loopback only") << addresses({"127.0.1.1"}) << Interfaces{lo} << "";
    QTest::newRow("IPv6 only")
        << addresses({"2001:db8::7"}) << Interfaces{lo, iface(true, {"2001:db8::7"})} << "";
    QTest::newRow("LAN interface down")
        << addresses({"127.0.1.1"}) << Interfaces{lo, iface(false, {"192.168.3.20"})} << "";
}

void tst_LocalAddress::choice()
{
    QFETCH(Addresses, lookup);
    QFETCH(Interfaces, interfaces);
    QFETCH(QString, expected);

    QCOMPARE(chooseLocalIPv4(lookup, interfaces), expected);
}

void tst_LocalAddress::systemInterfacesIncludeLoopback()
{
    // Every machine the tests run on has its loopback interface up, also
    // inside a network namespace of its own.
    bool found = false;
    for (const InterfaceAddresses &entry : systemInterfaces())
        found = found || (entry.upAndRunning
                          && entry.addresses.contains(QHostAddress(QHostAddress::LocalHost)));
    QVERIFY(found);
}

OPA_TEST_CLASS(tst_LocalAddress)
#include "localaddress.moc"
