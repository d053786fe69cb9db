#include "app/weblookup.h"

#include <QTest>

using app::WebSite;

class TestWebLookUp : public QObject {
    Q_OBJECT
private slots:
    void addressCarriesTheSelectionEncoded_data();
    void addressCarriesTheSelectionEncoded();
};

// The selection follows the site's address percent-encoded as UTF-8: what the browser gets
// searches for exactly the selected text, and nothing selected gives the bare address.
void TestWebLookUp::addressCarriesTheSelectionEncoded_data()
{
    QTest::addColumn<WebSite>("site");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<QByteArray>("address");
    const QByteArray google = "http://www.google.co.jp/search?hl=ja&q=";
    const QByteArray wikipedia = "http://ja.wikipedia.org/wiki/";
    const struct {
        const char *name;
        QString selection;
        QByteArray encoded;
    } rows[] = {
        { "plain word", QStringLiteral("Lumeno"), "Lumeno" },
        { "two words", QStringLiteral("web server"), "web%20server" },
        { "AT&T #1", QStringLiteral("AT&T #1"), "AT%26T%20%231" },
        { "Japanese", QStringLiteral("日本語"), "%E6%97%A5%E6%9C%AC%E8%AA%9E" },
        { "plus and percent", QStringLiteral("1+1=2 100%"), "1%2B1%3D2%20100%25" },
        { "line break", QStringLiteral("first\nsecond"), "first%0Asecond" },
        { "slash and question mark", QStringLiteral("a/b?c"), "a%2Fb%3Fc" },
        { "empty", QString(), "" },
    };
    for (const auto &row : rows) {
        QTest::addRow("Google, %s", row.name) << WebSite::Google << row.selection << google + row.encoded;
        QTest::addRow("Wikipedia, %s", row.name) << WebSite::Wikipedia << row.selection << wikipedia + row.encoded;
    }
}

void TestWebLookUp::addressCarriesTheSelectionEncoded()
{
    QFETCH(WebSite, site);
    QFETCH(QString, selection);
    QFETCH(QByteArray, address);
    const QUrl url = app::LookUpAddress(site, selection);
    QVERIFY(url.isValid());
    QCOMPARE(url.toEncoded(), address);
    QCOMPARE(url.toString(QUrl::FullyEncoded).toLatin1(), address);
}

QTEST_GUILESS_MAIN(TestWebLookUp)
#include "tst_weblookup.moc"
