#include <QtTest>

#include <QtWidgets>

#include "app/mainwindow.h"
#include "app/textfit.h"

namespace {

QJsonArray box(const QRect &r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

// The child's part: the window as the program makes it at the factor in
// QT_SCALE_FACTOR, printed as JSON; every caption of the form that does not
// fit its widget (the fit check of tests/window/textfit.cpp) is listed.
int measure(int argc, char **argv)
{
    TextFit::scaleWithScreen();  // as main() does
    QApplication app(argc, argv);
    TextFit::useFormFamily();
    // The button images, as the working folder holds them beside set.ini.
    QTemporaryDir dir;
    for (const char *image : {"ang.png", "ang@2x.png", "time.png", "time@2x.png"})
        QFile::copy(QCoreApplication::applicationDirPath() + '/' + image, dir.filePath(image));
    QDir::setCurrent(dir.path());
    QMainWindow bare;
    Ui::mainwindowClass form;
    form.setupUi(&bare);
    mainwindow window;
    // The pages behind the one in front are fitted once the window is up.
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QJsonObject boxes;
    QJsonArray cut;
    for (QWidget *drawn : bare.findChildren<QWidget *>()) {
        if (!qobject_cast<QLabel *>(drawn) && !qobject_cast<QPushButton *>(drawn))
            continue;
        auto *w = window.findChild<QWidget *>(drawn->objectName());
        const QSize hint = w->sizeHint();
        boxes.insert(w->objectName(), box(w->geometry()));
        if (w->width() < hint.width() || w->height() < hint.height() || !w->geometry().contains(drawn->geometry()))
            cut.append(w->objectName());
    }
    // The pixels each button image is drawn from, against those it covers.
    QJsonArray blurred;
    for (QPushButton *b : window.findChildren<QPushButton *>()) {
        const int covered = int(b->iconSize().width() * window.devicePixelRatioF());
        if (!b->icon().isNull() && b->icon().pixmap(b->iconSize()).width() < qMin(covered, 2 * b->iconSize().width()))
            blurred.append(b->objectName());
    }
    const QSize grabbed = window.grab().size();
    const QJsonObject out{{"ratio", window.devicePixelRatioF()}, {"window", box(window.rect())},
                          {"grabbed", QJsonArray{grabbed.width(), grabbed.height()}}, {"boxes", boxes}, {"cut", cut}, {"blurred", blurred}};
    QTextStream(stdout) << QJsonDocument(out).toJson(QJsonDocument::Compact);
    return 0;
}

} // namespace

// The form at 100, 125, 150 and 200 %: the same 603 x 465 logical pixels and
// the same boxes, drawn at the screen's pixels, every caption whole.
class tst_Scaling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        atOne = measured("1");
        QVERIFY(!atOne.isEmpty());
    }

    void formScalesAsOne_data()
    {
        QTest::addColumn<QString>("factor");
        QTest::newRow("100 %") << "1";
        QTest::newRow("125 %") << "1.25";
        QTest::newRow("150 %") << "1.5";
        QTest::newRow("200 %") << "2";
    }
    void formScalesAsOne()
    {
        QFETCH(QString, factor);
        const QJsonObject at = measured(factor);
        // Fractions passed through, not rounded, on top of the factor the
        // platform takes from its screen's DPI (offscreen: 100 dpi, 1.04).
        const double ratio = atOne.value("ratio").toDouble() * factor.toDouble();
        QVERIFY2(qAbs(at.value("ratio").toDouble() - ratio) < 1e-3, qPrintable(QString::number(at.value("ratio").toDouble())));
        QCOMPARE(at.value("window").toArray(), (QJsonArray{0, 0, 603, 465}));
        QCOMPARE(at.value("grabbed").toArray(), (QJsonArray{qRound(603 * ratio), qRound(465 * ratio)}));
        QVERIFY2(at.value("cut").toArray().isEmpty(), QJsonDocument(at.value("cut").toArray()).toJson().constData());
        QVERIFY2(at.value("blurred").toArray().isEmpty(), QJsonDocument(at.value("blurred").toArray()).toJson().constData());
        const QJsonObject boxes = at.value("boxes").toObject(), one = atOne.value("boxes").toObject();
        QCOMPARE(boxes.keys(), one.keys());
        for (const QString &name : boxes.keys())
            QVERIFY2(boxes.value(name) == one.value(name), qPrintable(name));
    }

private:
    QJsonObject measured(const QString &factor)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_SCALE_FACTOR", factor);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {"--measure"});
        if (!child.waitForFinished(60000) || child.exitCode() != 0)
            return {};
        return QJsonDocument::fromJson(child.readAllStandardOutput()).object();
    }

    QJsonObject atOne;
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--measure") == 0)
        return measure(argc, argv);
    QApplication app(argc, argv);
    tst_Scaling test;
    return QTest::qExec(&test, argc, argv);
}

#include "scaling.moc"
