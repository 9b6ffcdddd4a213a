// A bare Qt window for the start-up benchmark: the form's fixed captions in
// the form's family (regular and bold), and nothing else but the program's
// own pacing to its first poll: 100 ms after the window shows it connects to
// 127.0.0.1:8899 and asks for a measurement, as the program's discovery check
// does, and once the meter has answered polls every 100 ms, on precise
// timers as the program's. What the program costs beyond this is its own.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QTcpSocket>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString family = QStringLiteral("思源黑体");
    QFont::insertSubstitutions(family, {QStringLiteral("Source Han Sans SC"),
                                        QStringLiteral("Noto Sans CJK SC")});
    QFont font = QApplication::font();
    font.setFamily(family);
    QApplication::setFont(font);

    QWidget window;
    window.setFixedSize(603, 465);
    auto *grid = new QGridLayout(&window);
    const QStringList captions = QString::fromUtf8("透射式烟度计 数据显示 响应时间测试 实时曲线 自由加速 瞬时值 最大值 "
                                                   "气室温度(℃) 烟气温度(℃) 能量值 校准 清除最大值 恢复出厂").split(' ');
    for (int i = 0; i < captions.size(); ++i) {
        auto *label = new QLabel(captions.at(i), &window);
        QFont captionFont = label->font();
        captionFont.setPointSize(14);
        captionFont.setBold(i % 2 == 1);
        label->setFont(captionFont);
        grid->addWidget(label, i / 3, i % 3);
    }
    window.show();

    QTcpSocket socket;
    QTimer poll;
    poll.setInterval(100);
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &socket,
                     [&socket] { socket.write(QByteArray::fromHex("213300AC")); });
    QObject::connect(&socket, &QTcpSocket::connected, &poll,
                     [&socket] { socket.write(QByteArray::fromHex("213300AC")); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &poll, [&socket, &poll] {
        socket.readAll();
        if (!poll.isActive())
            poll.start();
    });
    QTimer::singleShot(100, Qt::PreciseTimer, &socket, [&socket] {
        socket.connectToHost(QStringLiteral("127.0.0.1"), 8899);
    });
    return app.exec();
}
