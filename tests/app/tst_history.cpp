#include "app/history.h"

#include <QTest>

using app::History;
using app::HistoryItem;

namespace {

History Opened(const QList<HistoryItem> &files)
{
    History history;
    for (const HistoryItem &file : files)
        app::AddToHistory(history, file);
    return history;
}

QStringList Files(const History &history)
{
    QStringList files;
    for (int i = 0; i < app::HistoryLength(history); ++i)
        files.append(history[i].Path + QLatin1Char('/') + history[i].File);
    return files;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void addToHistory_data();
    void addToHistory();
    void storedCountFollowsTheLastUsedPlace();
    void captionsShowNamesAsTheyAre();
};

// The list keeps the most recent entry last, moves a reopened entry to the end, and drops
// the oldest when an eleventh file opens.
void TestHistory::addToHistory_data()
{
    QTest::addColumn<QList<HistoryItem>>("opened");
    QTest::addColumn<QStringList>("expected");
    const HistoryItem a { QStringLiteral("data"), QStringLiteral("a.txt") };
    const HistoryItem b { QStringLiteral("data"), QStringLiteral("b.txt") };
    const HistoryItem c { QStringLiteral("data/x"), QStringLiteral("c.txt") };
    QTest::newRow("A B C A") << QList<HistoryItem> { a, b, c, a }
                             << QStringList { "data/b.txt", "data/x/c.txt", "data/a.txt" };
    QTest::newRow("last again") << QList<HistoryItem> { a, b, b } << QStringList { "data/a.txt", "data/b.txt" };
    QTest::newRow("same name, two folders") << QList<HistoryItem> { { QStringLiteral("data"), QStringLiteral("m.txt") },
        { QStringLiteral("data/y"), QStringLiteral("m.txt") } }
                                            << QStringList { "data/m.txt", "data/y/m.txt" };
    QTest::newRow("case matters") << QList<HistoryItem> { a, { QStringLiteral("data"), QStringLiteral("A.txt") } }
                                  << QStringList { "data/a.txt", "data/A.txt" };

    QList<HistoryItem> eleven;
    QStringList lastTen;
    for (int i = 1; i <= 11; ++i) {
        eleven.append({ QStringLiteral("data"), QStringLiteral("f%1").arg(i) });
        if (i > 1)
            lastTen.append(QStringLiteral("data/f%1").arg(i));
    }
    QTest::newRow("eleven files") << eleven << lastTen;
    QList<HistoryItem> fullThenFirst = eleven.mid(0, 10);
    fullThenFirst.append(eleven.first());
    QStringList rotated;
    for (int i = 2; i <= 10; ++i)
        rotated.append(QStringLiteral("data/f%1").arg(i));
    rotated.append(QStringLiteral("data/f1"));
    QTest::newRow("full list, oldest reopened") << fullThenFirst << rotated;
}

void TestHistory::addToHistory()
{
    QFETCH(QList<HistoryItem>, opened);
    QFETCH(QStringList, expected);
    QCOMPARE(Files(Opened(opened)), expected);
}

// "Count" is one past the last place that holds a file name, whatever lies before it.
void TestHistory::storedCountFollowsTheLastUsedPlace()
{
    History history;
    QCOMPARE(app::StoredHistoryCount(history), 0);
    history[0] = { QStringLiteral("data"), QStringLiteral("a") };
    history[2] = { QStringLiteral("data"), QStringLiteral("c") };
    QCOMPARE(app::StoredHistoryCount(history), 3);
    QCOMPARE(app::HistoryLength(history), 1);
}

// A file name with "&" is shown with its "&", not as a menu mnemonic.
void TestHistory::captionsShowNamesAsTheyAre()
{
    const History history = Opened({ { QStringLiteral("data"), QStringLiteral("R&D.txt") },
        { QStringLiteral("data"), QStringLiteral("メモ.txt") } });
    QCOMPARE(app::HistoryCaptions(history), (QStringList { QStringLiteral("R&&D.txt"), QStringLiteral("メモ.txt") }));
}

QTEST_APPLESS_MAIN(TestHistory)
#include "tst_history.moc"
