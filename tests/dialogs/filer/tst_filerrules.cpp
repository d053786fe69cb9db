#include "dialogs/filer/filerrules.h"
#include "support/fakeplatform.h"

#include <QTest>

class tst_FilerRules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void formatFileSize_data();
    void formatFileSize();
    void parseFileLine_data();
    void parseFileLine();
    void parentFolderPath_data();
    void parentFolderPath();
    void accumulatedPaths_data();
    void accumulatedPaths();
    void twipsToPixels_data();
    void twipsToPixels();
};

void tst_FilerRules::formatFileSize_data()
{
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << "0" << "0ﾊﾞｲﾄ";
    QTest::newRow("largest byte count") << "1023" << "1023ﾊﾞｲﾄ";
    QTest::newRow("one kilobyte") << "1024" << "1KB";
    QTest::newRow("half more is truncated") << "1535" << "1KB";
    QTest::newRow("just under two") << "2047" << "1KB";
    QTest::newRow("two kilobytes") << "2048" << "2KB";
    QTest::newRow("no larger unit") << "1048576" << "1024KB";
    QTest::newRow("the text itself, not the number") << "0012" << "0012ﾊﾞｲﾄ";
    QTest::newRow("beyond 32 bits") << "3000000000" << "2929687KB";
    QTest::newRow("not a number") << "abc" << "abc";
    QTest::newRow("number with a unit") << "12KB" << "12KB";
    QTest::newRow("fraction") << "1.5" << "1.5";
    QTest::newRow("empty") << "" << "";
}

// The size column: kilobytes truncated from 1024 on, the received text with ﾊﾞｲﾄ below,
// and a size that is no number shown as it came rather than as a wrong number.
void tst_FilerRules::formatFileSize()
{
    QFETCH(QString, size);
    QFETCH(QString, shown);
    QCOMPARE(filer::FormatFileSize(size), shown);
}

void tst_FilerRules::parseFileLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("three fields") << "a.txt\t2008/04/01 12:00\t12" << true
                                  << QStringList{"a.txt", "2008/04/01 12:00", "12"};
    QTest::newRow("Japanese name") << "メモ.txt\t昨日\t0" << true << QStringList{"メモ.txt", "昨日", "0"};
    QTest::newRow("extra field ignored") << "a\tb\tc\td" << true << QStringList{"a", "b", "c"};
    QTest::newRow("empty size kept") << "a\tb\t" << true << QStringList{"a", "b", ""};
    QTest::newRow("empty line") << "" << false << QStringList{};
    QTest::newRow("two fields") << "a.txt\t2008" << false << QStringList{};
    QTest::newRow("no tab") << "a.txt" << false << QStringList{};
    QTest::newRow("no name") << "\t2008\t12" << false << QStringList{};
}

// A listing line becomes a row only when all three fields are there.
void tst_FilerRules::parseFileLine()
{
    QFETCH(QString, line);
    QFETCH(bool, valid);
    QFETCH(QStringList, fields);
    const std::optional<filer::FileEntry> entry = filer::ParseFileLine(line);
    QCOMPARE(entry.has_value(), valid);
    if (entry)
        QCOMPARE((QStringList{entry->name, entry->modified, entry->size}), fields);
}

void tst_FilerRules::parentFolderPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("parent");
    QTest::newRow("child of the root") << "data/letters" << "data";
    QTest::newRow("deep") << "data/letters/2008" << "data/letters";
    QTest::newRow("Japanese") << "data/手紙/古い" << "data/手紙";
    QTest::newRow("root") << "data" << "data";
}

// Deleting or renaming a folder refreshes the tree at the folder above it.
void tst_FilerRules::parentFolderPath()
{
    QFETCH(QString, path);
    QFETCH(QString, parent);
    QCOMPARE(filer::ParentFolderPath(path), parent);
}

void tst_FilerRules::accumulatedPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("levels");
    QTest::newRow("root") << "data" << QStringList{"data"};
    QTest::newRow("one level") << "data/a" << QStringList{"data", "data/a"};
    QTest::newRow("deep") << "data/a/b/c" << QStringList{"data", "data/a", "data/a/b", "data/a/b/c"};
}

// A rebuild walks down from the root, one folder per level, ending at the folder itself.
void tst_FilerRules::accumulatedPaths()
{
    QFETCH(QString, path);
    QFETCH(QStringList, levels);
    QCOMPARE(filer::AccumulatedPaths(path), levels);
}

void tst_FilerRules::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("15 twips a pixel at 96 dpi") << 2822 << 96.0 << 188;
    QTest::newRow("large fonts") << 2540 << 120.0 << 212;
    QTest::newRow("high density") << 4233 << 192.0 << 564;
}

// Measures follow the screen's density.
void tst_FilerRules::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(qreal, dpi);
    QFETCH(int, pixels);
    QCOMPARE(filer::TwipsToPixels(twips, dpi), pixels);
}

QTEST_GUILESS_MAIN(tst_FilerRules)
#include "tst_filerrules.moc"
