// The built help file: a compiled HTML help file in Japanese whose directory holds every page of
// the user guide, and a guide whose contents, index and links all lead to pages it has.

#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QtEndian>

namespace {

const QString kGuideDir = QStringLiteral(LUMENO_SOURCE_DIR "/docs/guide");

QString ReadText(const QString &name)
{
    QFile file(kGuideDir + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestHelpFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        QFile file(QStringLiteral(LUMENO_BIN_DIR "/Lumeno.chm"));
        QVERIFY2(file.open(QIODevice::ReadOnly), "Lumeno.chm was not built");
        m_help = file.readAll();
        // The lines of the project's [FILES] section: what the help file is made of.
        const QString project = ReadText(QStringLiteral("Lumeno.hhp"));
        m_files = project.section(QStringLiteral("[FILES]"), 1).section(u'[', 0, 0).split(u'\n', Qt::SkipEmptyParts);
        for (QString &file : m_files)
            file = file.trimmed();
    }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // The viewer opens only an ITSF file of version 3 and reads the contents in the file's
    // language; a binary index would turn every Japanese keyword into "?".
    void headerIsVersion3InJapanese()
    {
        QVERIFY(m_help.size() > 0x60);
        QCOMPARE(m_help.left(4), QByteArray("ITSF"));
        QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 4), 3u);
        QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 0x14), 0x411u);
        QVERIFY(!Listed(QStringLiteral("$WWKeywordLinks/BTree")));
    }

    // Every page of the guide is in the project and the help file; every link of the contents,
    // the index and the pages leads to a page of the help file and to an anchor it has.
    void guideComplete()
    {
        const QStringList pages = QDir(kGuideDir).entryList({ "*.html", "*.css", "*.hhc", "*.hhk" }, QDir::Files);
        QVERIFY(pages.size() >= 12);
        static const QRegularExpression link(R"re((?:href|name="Local" value)="([^"#]*)#?([^"]*)")re");
        for (const QString &source : pages) {
            QVERIFY2(source.startsWith("Lumeno.") || m_files.contains(source), qPrintable(source));
            QVERIFY2(Listed(source), qPrintable(source + " is not in Lumeno.chm"));
            for (const QRegularExpressionMatch &match : link.globalMatch(ReadText(source))) {
                const QString page = match.captured(1).isEmpty() ? source : match.captured(1);
                if (page.startsWith("http"))
                    continue;
                QVERIFY2(m_files.contains(page), qPrintable(source + " -> " + page));
                const QString anchor = match.captured(2);
                QVERIFY2(anchor.isEmpty() || ReadText(page).contains("id=\"" + anchor + '"'),
                    qPrintable(page + '#' + anchor));
            }
        }
    }

private:
    // An entry of the file's directory: the name's length (one byte below 128), then the name.
    bool Listed(const QString &name) const
    {
        const QByteArray path = "/" + name.toUtf8();
        return m_help.contains(char(path.size()) + path);
    }
    QByteArray m_help;
    QStringList m_files;
};

QTEST_GUILESS_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
