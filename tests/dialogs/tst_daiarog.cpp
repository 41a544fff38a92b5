// The open-file helper: the record it prepares and what a choice leaves in it.
#include "Daiarog.h"
#include "FakePlatform.h"

#include <QTest>

class DaiarogTest : public QObject {
    Q_OBJECT
  private slots:
    void buildsFilter_data();
    void buildsFilter();
    void trimsAtFirstNul_data();
    void trimsAtFirstNul();
    void choicePathMustFitTheBuffer_data();
    void choicePathMustFitTheBuffer();
};

namespace {
const QChar Nul(0);
}

void DaiarogTest::buildsFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("built");
    QTest::newRow("one entry") << "ショートカット|*.xxa"
                               << QString("ショートカット") + Nul + "*.xxa" + Nul + Nul;
    QTest::newRow("no bar") << "*.xxa" << QString("*.xxa") + Nul + Nul;
    QTest::newRow("two entries") << "exe|*.exe|all|*"
                                 << QString("exe") + Nul + "*.exe" + Nul + "all" + Nul + "*" + Nul +
                                        Nul;
}

void DaiarogTest::buildsFilter() {
    QFETCH(QString, filter);
    QFETCH(QString, built);
    OPENFILENAME record;
    record.lpstrTitle = "kept";
    Daiarog::InitFileDialog(record, filter, "/srv");
    QCOMPARE(record.lpstrFilter, built);
    QCOMPARE(record.lStructSize, 76u);
    QCOMPARE(record.lpstrInitialDir, QString("/srv"));
    QCOMPARE(record.lpTemplateName, QString("0"));
    QCOMPARE(record.nMaxFile, 512u);
    QCOMPARE(record.lpstrFileTitle, QString(512, Nul));
    QCOMPARE(record.lpstrTitle, QString("kept"));
}

void DaiarogTest::trimsAtFirstNul_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("no nul") << "abc"
                            << "abc";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("leading nul") << QString(Nul) + "abc"
                                 << "";
    QTest::newRow("buffer") << QString("/a/b") + Nul + "x" + Nul << "/a/b";
}

void DaiarogTest::trimsAtFirstNul() {
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(Daiarog::TrimAtNull(text), trimmed);
}

void DaiarogTest::choicePathMustFitTheBuffer_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accepted");
    // Each 表 takes two bytes in code page 932: the buffer holds 511 and a NUL.
    const QString folder = "/" + QString(252, QChar(u'表')) + "/";
    QTest::newRow("511 bytes") << folder + "a.xxa" << true;
    QTest::newRow("512 bytes") << folder + "ab.xxa" << false;
    QTest::newRow("emoji") << QString("/x/\U0001F600.xxa") << false;
}

void DaiarogTest::choicePathMustFitTheBuffer() {
    QFETCH(QString, path);
    QFETCH(bool, accepted);
    FakePlatform platform;
    platform.openFileAnswers.push_back(path);
    OPENFILENAME record;
    Daiarog::InitFileDialog(record, "ショートカット|*.xxa", QString());
    const QString chosen = Daiarog::ShowOpenDialog(platform, 7, record, "ファイルを開く");
    QCOMPARE(platform.openDialogs[0].hwndOwner, HWND(7));
    QCOMPARE(chosen, accepted ? path : QString());
    // A refused choice leaves the record as a cancel does.
    QCOMPARE(record.lpstrInitialDir.section(Nul, 0, 0), accepted ? path : QString());
}

QTEST_MAIN(DaiarogTest)
#include "tst_daiarog.moc"
