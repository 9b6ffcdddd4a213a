#include <QtTest>

#include "support/testrunner.h"

#include "config/profilesettings.h"
#include "config/recordsettings.h"
#include "language/language.h"
#include "support/recordfixtures.h"
#include "support/testsupport.h"
#include "report/recordreport.h"

namespace {

// Qt's PDF writer names each glyph by the lowest code point the font maps
// to it, and Noto CJK shares glyphs between ideographs and radicals: text
// read back says U+2F83 for 自 and U+2EE7 for 车. The page itself is right.
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    QString text = QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    static const QString radicals = QStringLiteral("⻋⻓⻅⻉⻚⻛⻜⻝⻢⻥⻦⻨⻩⻬⻮⻰⻳⻈⻐");
    static const QString ideographs = QStringLiteral("车长见贝页风飞食马鱼鸟麦黄齐齿龙龟讠钅");
    for (int i = 0; i < radicals.size(); ++i)
        text.replace(radicals.at(i), ideographs.at(i));
    return text;
}

} // namespace

// The printed report, read back from its PDF as a reader's tool sees it.
class tst_RecordReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        record = fixtures::record();
        text = reportText(record);
    }

    // Title, station, lane, operator, date, vehicle, method and rules, a
    // snap's peak, result, limit and its source, verdict, meter, calibration, curve.
    void holdsEverything()
    {
        for (QString expected : {"自由加速法烟度检测报告", "顺义机动车检测站", "2号线", "王工", "2026-12-07 10:15:30", "京A12345",
                                 "1M8GDM9AXKP042788", "涡轮增压", "182340 km", "R24", "取最后 4 次峰值，极差不超过 0.25", "1.50",
                                 "1.24 m⁻¹", "1.20 m⁻¹（铭牌值）", "不合格", "192.168.1.50", "2026-12-07 08:02:11", "K 曲线"}) {
            expected = expected.normalized(QString::NormalizationForm_KC);
            QVERIFY2(text.contains(expected), qPrintable(expected + " not in:\n" + text));
        }
    }

    // Counted snaps are marked, five rows for five snaps; id and hash whole.
    void tenSnapsStayOnOnePage()
    {
        QCOMPARE(text.count(QStringLiteral("计入")), 1 + 4);  // the heading and four marks
        const QString squeezed = QString(text).remove(QRegularExpression(QStringLiteral("\\s")));
        QVERIFY(squeezed.contains(record.id));
        QVERIFY(squeezed.contains(record.hash));

        const TestRecord many = fixtures::record("京A1", 0, {1.9, 1.8, 1.7, 1.6, 1.5, 1.4, 1.3, 1.2, 1.1, 1.0}, 70);
        const QString t = reportText(many);
        QCOMPARE(t.count(QLatin1Char('\f')), 1);
        QVERIFY(t.contains(many.id.left(8)));
    }

    // The letterhead's address from set.ini, and the blank lines to sign.
    void addressAndSignatures()
    {
        testsupport::ScopedWorkDir work;
        settings::storeStationAddress(QStringLiteral("北京市顺义区仁和镇 8 号"));
        const QString t = reportText(record);
        for (const char *expected : {"地址", "北京市顺义区仁和镇 8 号", "审核员", "批准人"})
            QVERIFY2(t.contains(QString::fromUtf8(expected).normalized(QString::NormalizationForm_KC)), expected);
        QCOMPARE(t.count(QStringLiteral("检测员")), 2);  // who tested, and who signs for it
    }

    // The axis title stands clear of the top tick's figure: in the margin
    // left of the plot, the title's ink and the figure's are apart.
    void axisTitleClearOfTopTick_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("on the page") << QSize(2126, 650);
        QTest::newRow("small") << QSize(600, 200);
    }
    void axisTitleClearOfTopTick()
    {
        QFETCH(QSize, size);
        const QImage curve = RecordReport(record).curve(size);
        const auto dark = [&](int x, int y) { return qGray(curve.pixel(x, y)) < 128; };
        // The plot's frame: the first dark row in the middle of the picture.
        int plotTop = 0;
        while (plotTop < size.height() && !dark(size.width() / 2, plotTop))
            ++plotTop;
        // Runs of rows with ink in the margin left of the plot: the title's,
        // then a figure per tick.
        const int margin = size.height() / 14 * 2;
        QVector<QPair<int, int>> runs;
        for (int y = 0; y < size.height() / 2; ++y) {
            bool ink = false;
            for (int x = 0; x < margin && !ink; ++x)
                ink = dark(x, y);
            if (ink && (runs.isEmpty() || runs.last().second != y - 1))
                runs.append({y, y});
            else if (ink)
                runs.last().second = y;
        }
        int top = 0;  // the top tick's figure, centred on the frame
        while (top < runs.size() && runs.at(top).second < plotTop)
            ++top;
        QVERIFY2(top > 0 && top < runs.size() && runs.at(top).first <= plotTop,
                 "the title runs into the top tick's figure");
        const int gap = runs.at(top).first - runs.at(top - 1).second - 1;
        QVERIFY2(gap >= qMax(2, size.height() / 100), qPrintable(QStringLiteral("%1 blank rows").arg(gap)));
    }

    void serviceTestAbandoned()
    {
        const QString t = reportText(buildRecord(fixtures::series({1.1}, TestRecord::Outcome::Abandoned), RecordContext()));
        for (const char *expected : {"无车辆", "中止", "无判定"})
            QVERIFY2(t.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(!t.contains(QStringLiteral("不合格")));
    }

    // A profile's test cites its standard and marks its purges.
    void profileCited()
    {
        FinishedSeries s = fixtures::series({2.0, 1.2, 1.3, 1.25, 1.22}, TestRecord::Outcome::Valid);
        s.method.purges = 1;
        s.profile = {"GB3847-2018", "GB 3847-2018 自由加速法", "GB 3847-2018 标准", "1", "ab12"};
        const QString t = reportText(buildRecord(s, RecordContext()));
        for (const char *expected : {"检测依据", "GB 3847-2018 标准", "吹拂"})
            QVERIFY2(t.contains(QString::fromUtf8(expected)), expected);

        // In English, the shipped profile's English title and row, found by the file's hash;
        // a record of another version of the file keeps its own words.
        for (const ProcedureProfile &p : settings::availableProfiles())
            if (p.id == QLatin1String("GB3847-2018"))
                s.profile = p.stamp();
        s.subject.limit = {LimitSource::Table, 1.2, QStringLiteral("限值a")};
        QVERIFY(Language::switchTo(QStringLiteral("en")));
        const QString shipped = reportText(buildRecord(s, RecordContext()));
        s.profile.sha256 = QStringLiteral("ab12");
        const QString other = reportText(buildRecord(s, RecordContext()));
        QVERIFY(Language::switchTo(QStringLiteral("zh")));
        QVERIFY2(shipped.contains("GB 3847-2018 free") && shipped.contains("limits table, limit a"), qPrintable(shipped));
        QVERIFY2(other.contains(QStringLiteral("自由加速法")) && other.contains(QStringLiteral("限值a")), qPrintable(other));
    }

private:
    // The report of 'r' as text, pages ended by form feeds; empty when it could not be written.
    QString reportText(const TestRecord &r)
    {
        const QString pdf = dir.filePath(r.id + QStringLiteral(".pdf"));
        QString error;
        return RecordReport(r).writePdf(pdf, &error) ? pdfText(pdf) : QString();
    }

    QTemporaryDir dir;
    QString text;
    TestRecord record;
};

OPA_TEST_CLASS(tst_RecordReport)
#include "recordreport.moc"
