// The built help file: a compiled HTML help file in the Japanese language whose directory holds every
// page of the user guide, and a guide whose contents, index and links all lead to pages it has.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>
#include <QtTest>

#include "support/fakeplatform.h"

namespace {

const QString kGuideDir = QStringLiteral(LUMENO_SOURCE_DIR "/docs/guide");
const QString kHelpFile = QStringLiteral(LUMENO_BIN_DIR "/Lumeno.chm");

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The names in the file's directory: its listing chunks (PMGL), walked from the first one along
// their links. Each entry is a name (encoded length, UTF-8 bytes) and three encoded numbers.
class ChmDirectory {
public:
    explicit ChmDirectory(const QByteArray& bytes) : m_bytes(bytes) { m_ok = parse(); }
    bool ok() const { return m_ok; }
    const QSet<QString>& names() const { return m_names; }

private:
    quint32 u32(qint64 at) const
    {
        if (at < 0 || at + 4 > m_bytes.size())
            return 0;
        return qFromLittleEndian<quint32>(m_bytes.constData() + at);
    }

    // A number of 7-bit groups, most significant first, the top bit marking "more follows".
    bool encint(qint64& at, qint64 end, quint64& value) const
    {
        value = 0;
        for (int n = 0; n < 9 && at < end; ++n) {
            const auto byte = static_cast<quint8>(m_bytes[at++]);
            value = (value << 7) | (byte & 0x7f);
            if (!(byte & 0x80))
                return true;
        }
        return false;
    }

    bool parse()
    {
        if (!m_bytes.startsWith("ITSF") || m_bytes.size() < 0x58)
            return false;
        const qint64 itsp = u32(0x48); // header section 1: the directory
        if (m_bytes.mid(itsp, 4) != "ITSP")
            return false;
        const qint64 chunkSize = u32(itsp + 0x10);
        const qint64 chunks = itsp + u32(itsp + 0x08);
        const qint64 chunkCount = u32(itsp + 0x2c);
        auto index = static_cast<qint32>(u32(itsp + 0x20));
        for (qint64 walked = 0; index >= 0 && walked < chunkCount; ++walked) {
            const qint64 chunk = chunks + index * chunkSize;
            if (chunkSize < 0x14 || chunk + chunkSize > m_bytes.size() || m_bytes.mid(chunk, 4) != "PMGL")
                return false;
            const qint64 end = chunk + chunkSize - u32(chunk + 4);
            qint64 at = chunk + 0x14;
            while (at < end) {
                quint64 length = 0, section = 0, offset = 0, size = 0;
                if (!encint(at, end, length) || at + qint64(length) > end)
                    return false;
                m_names.insert(QString::fromUtf8(m_bytes.mid(at, qint64(length))));
                at += qint64(length);
                if (!encint(at, end, section) || !encint(at, end, offset) || !encint(at, end, size))
                    return false;
            }
            index = static_cast<qint32>(u32(chunk + 0x10));
        }
        return !m_names.isEmpty();
    }

    QByteArray m_bytes;
    QSet<QString> m_names;
    bool m_ok = false;
};

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
    void headerIsVersion3InJapanese();
    void everyGuideFileIsInTheProject_data();
    void everyGuideFileIsInTheProject();
    void helpFileHoldsTheGuide_data();
    void helpFileHoldsTheGuide();
    void indexIsTheJapaneseSitemap();
    void linksLeadToPagesOfTheGuide_data();
    void linksLeadToPagesOfTheGuide();

private:
    QByteArray m_help;
};

void TestHelpFile::initTestCase()
{
    testsupport::usePrivateRuntimeDir();
    QFile file(kHelpFile);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(kHelpFile + " was not built"));
    m_help = file.readAll();
}

// The viewer opens only an ITSF file of version 3, and reads the contents in the file's language.
void TestHelpFile::headerIsVersion3InJapanese()
{
    QVERIFY(m_help.size() > 0x60);
    QCOMPARE(m_help.left(4), QByteArray("ITSF"));
    QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 4), 3u);
    QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 8), 0x60u); // header length of version 3
    QCOMPARE(qFromLittleEndian<quint32>(m_help.constData() + 0x14), 0x411u); // Japanese
}

void TestHelpFile::everyGuideFileIsInTheProject_data()
{
    QTest::addColumn<QString>("name");
    const QStringList pages = QDir(kGuideDir).entryList({"*.html", "*.css"}, QDir::Files);
    QVERIFY(pages.size() >= 10);
    for (const QString& page : pages)
        QTest::newRow(qPrintable(page)) << page;
}

// A page written but left out of the project would be missing from the help file.
void TestHelpFile::everyGuideFileIsInTheProject()
{
    QFETCH(QString, name);
    QVERIFY2(projectFiles().contains(name), qPrintable(name + " is not listed in Lumeno.hhp"));
}

void TestHelpFile::helpFileHoldsTheGuide_data()
{
    QTest::addColumn<QString>("name");
    const QStringList files = projectFiles() << "Lumeno.hhc" << "Lumeno.hhk";
    for (const QString& file : files)
        QTest::newRow(qPrintable(file)) << file;
}

// Every page, the contents and the index are compiled into the help file.
void TestHelpFile::helpFileHoldsTheGuide()
{
    QFETCH(QString, name);
    const ChmDirectory directory(m_help);
    QVERIFY2(directory.ok(), "the help file's directory cannot be read");
    QVERIFY2(directory.names().contains("/" + name), qPrintable(name + " is not in Lumeno.chm"));
}

// chmcmd writes the keywords of a binary index through the C locale, turning every Japanese character
// into "?"; without one the viewer reads the index from Lumeno.hhk in the file's code page.
void TestHelpFile::indexIsTheJapaneseSitemap()
{
    const ChmDirectory directory(m_help);
    QVERIFY(directory.ok());
    QVERIFY(directory.names().contains("/Lumeno.hhk"));
    QVERIFY(!directory.names().contains("/$WWKeywordLinks/BTree"));
}

void TestHelpFile::linksLeadToPagesOfTheGuide_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    static const QRegularExpression link(R"re((?:href|name="Local" value)="([^"]+)")re");
    const QStringList sources = QDir(kGuideDir).entryList({"*.html", "*.hhc", "*.hhk"}, QDir::Files);
    for (const QString& source : sources) {
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
