// The built help file: a compiled HTML help file in Japanese that holds every page of the user
// guide, and a guide whose contents, index and links all lead to pages it has.

#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

class TestHelpFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // The viewer opens only an ITSF file of version 3 and reads the contents in the file's
    // language; a binary index would turn every Japanese keyword into "?". Every page is in the
    // file's directory (an entry is the name's length, one byte below 128, then the name), and
    // every link within the guide leads to one of them.
    void helpFile()
    {
        QFile file(QStringLiteral(LUMENO_BIN_DIR "/Lumeno.chm"));
        QVERIFY2(file.open(QIODevice::ReadOnly), "Lumeno.chm was not built");
        const QByteArray help = file.readAll();
        const auto listed = [&help](const QString &name) {
            const QByteArray path = "/" + name.toUtf8();
            return help.contains(char(path.size()) + path);
        };
        QVERIFY(help.size() > 0x60 && help.startsWith("ITSF"));
        QCOMPARE(qFromLittleEndian<quint32>(help.constData() + 4), 3u);
        QCOMPARE(qFromLittleEndian<quint32>(help.constData() + 0x14), 0x411u);
        QVERIFY(!listed(QStringLiteral("$WWKeywordLinks/BTree")));
        const QDir guide(QStringLiteral(LUMENO_SOURCE_DIR "/docs/guide"));
        const QStringList pages = guide.entryList({ "*.html", "*.css", "*.hhc", "*.hhk" }, QDir::Files);
        QVERIFY(pages.size() >= 12);
        static const QRegularExpression link(QStringLiteral("(?:href|name=\"Local\" value)=\"([^\"#:]+)[#\"]"));
        for (const QString &source : pages) {
            QFile page(guide.filePath(source));
            QVERIFY(listed(source) && page.open(QIODevice::ReadOnly));
            for (const QRegularExpressionMatch &match : link.globalMatch(QString::fromUtf8(page.readAll())))
                QVERIFY2(listed(match.captured(1)), qPrintable(source + " -> " + match.captured(1)));
        }
    }
};

QTEST_GUILESS_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
