// The built help file: a compiled HTML help file in the Japanese language whose directory holds every
// page of the user guide, and a guide whose contents, index and links all lead to pages it has.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>
#include <QtTest>

#include "support/fakeplatform.h"

namespace {

const QString kGuideDir = QStringLiteral(LUMENO_SOURCE_DIR "/docs/guide");

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The lines of the project's [FILES] section: what the help file is made of.
QStringList projectFiles()
{
    QStringList files;
    bool inFiles = false;
    for (const QString& raw : readText(kGuideDir + "/Lumeno.hhp").split('\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith('['))
            inFiles = (line == "[FILES]");
        else if (inFiles && !line.isEmpty())
            files << line;
    }
    return files;
}

} // namespace

class TestHelpFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void headerIsVersion3InJapanese();
    void helpFileHoldsTheGuide_data();
    void helpFileHoldsTheGuide();
    void linksLeadToPagesOfTheGuide_data();
    void linksLeadToPagesOfTheGuide();

private:
    // An entry of the file's directory: the name's length (one byte below 128), then the name.
    bool listed(const QString& name) const
    {
        const QByteArray path = "/" + name.toUtf8();
        return m_help.contains(char(path.size()) + path);
    }
    QByteArray m_help;
};

void TestHelpFile::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    QFile file(QStringLiteral(LUMENO_BIN_DIR "/Lumeno.chm"));
    QVERIFY2(file.open(QIODevice::ReadOnly), "Lumeno.chm was not built");
    m_help = file.readAll();
}

// The viewer opens only an ITSF file of version 3, and reads the contents in the file's language.
// chmcmd writes a binary index's keywords through the C locale, turning every Japanese character
// into "?"; without one the viewer reads the index from Lumeno.hhk in the file's code page.
void TestHelpFile::headerIsVersion3InJapanese()
{
    QVERIFY(m_help.size() > 0x60);
    QCOMPARE(m_help.left(4), QByteArray("ITSF"));
    QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 4), 3u);
    QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 8), 0x60u); // header length of version 3
    QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 0x14), 0x411u); // Japanese
    QVERIFY(!listed("$WWKeywordLinks/BTree"));
}

void TestHelpFile::helpFileHoldsTheGuide_data()
{
    QTest::addColumn<QString>("name");
    const QStringList pages = QDir(kGuideDir).entryList({"*.html", "*.css", "*.hhc", "*.hhk"}, QDir::Files);
    QVERIFY(pages.size() >= 12);
    for (const QString& page : pages)
        QTest::newRow(qPrintable(page)) << page;
}

// Every page of the guide is listed in the project, and it, the contents and the index are
// compiled into the help file.
void TestHelpFile::helpFileHoldsTheGuide()
{
    QFETCH(QString, name);
    QVERIFY2(name.startsWith("Lumeno.") || projectFiles().contains(name), qPrintable(name + " is not in Lumeno.hhp"));
    QVERIFY2(listed(name), qPrintable(name + " is not in Lumeno.chm"));
}

void TestHelpFile::linksLeadToPagesOfTheGuide_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    static const QRegularExpression link(R"re((?:href|name="Local" value)="([^"]+)")re");
    for (const QString& source : QDir(kGuideDir).entryList({"*.html", "*.hhc", "*.hhk"}, QDir::Files)) {
        auto matches = link.globalMatch(readText(kGuideDir + "/" + source));
        while (matches.hasNext()) {
            const QString target = matches.next().captured(1);
            if (!target.startsWith("http"))
                QTest::newRow(qPrintable(source + " -> " + target)) << source << target;
        }
    }
}

// The contents, the index and the pages' own links lead to a page of the help file, and to an anchor
// that page has.
void TestHelpFile::linksLeadToPagesOfTheGuide()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    const QString page = target.section('#', 0, 0).isEmpty() ? source : target.section('#', 0, 0);
    const QString anchor = target.section('#', 1);
    QVERIFY2(projectFiles().contains(page), qPrintable(page + " is not a page of the help file"));
    if (!anchor.isEmpty())
        QVERIFY2(readText(kGuideDir + "/" + page).contains("id=\"" + anchor + "\""),
                 qPrintable(page + " has no anchor " + anchor));
}

QTEST_GUILESS_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
