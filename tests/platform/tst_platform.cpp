// The platform layer: code page 932, the settings store and the services object.

#include "platform/cp932.h"
#include "platform/machine.h"
#include "platform/settingsstore.h"
#include "support/fakeplatform.h"
#include "support/tables.h"

#include <QFile>
#include <QSysInfo>
#include <QTest>

using platform::SettingsStore;

class tst_Platform : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::usePrivateRuntimeDir(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void cp932Vectors_data()
    {
        testsupport::AddTableRows(QStringLiteral("cp932-vectors.tsv"), { "codePoints", "hex", "mapped" });
    }
    // Microsoft's round-trip table: the expected bytes, one "?" per unit without a code, and a
    // text with such a unit is reported before it would be saved with "?".
    void cp932Vectors()
    {
        QFETCH(QString, codePoints);
        QFETCH(QString, hex);
        QFETCH(QString, mapped);
        QString text;
        for (const QString &point : codePoints.split(u' ')) {
            const char32_t c = point.mid(2).toUInt(nullptr, 16);
            text += c > 0xFFFF ? QString::fromUcs4(&c, 1) : QString(QChar(char16_t(c))); // a lone surrogate too
        }
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        QCOMPARE(cp932::Encode(text), bytes);
        QCOMPARE(cp932::ByteCount(text), bytes.size());
        QCOMPARE(cp932::CanEncode(text), mapped == "mapped");
        QCOMPARE(cp932::Decode(bytes) == text, mapped == "mapped");
    }
    void cp932InvalidBytes_data() { testsupport::AddTableRows(QStringLiteral("cp932-invalid.txt")); }
    // Bytes that form no character each cost one U+FFFD and never swallow a following character.
    void cp932InvalidBytes()
    {
        QFETCH(QString, bytes);
        QTEST(cp932::Decode(bytes.toLatin1()), "text");
    }

    void storedValues_data() { testsupport::AddTableRows(QStringLiteral("stored-values.txt")); }
    // A value is text that comes back the same from the file; only the words True and False are
    // truth values, only decimal numbers (whole ones that fit, for integers) are numbers; anything
    // else, and a key never written, is the caller's default.
    void storedValues()
    {
        QFETCH(QString, stored);
        testsupport::TempSettings temp;
        const QString s = QStringLiteral("Setting"), k = QStringLiteral("Value");
        QVERIFY(!temp.store().Contains(s, k));
        QCOMPARE(temp.store().GetNumber(s, k, -1) + temp.store().GetInteger(s, k, -1), -2.0);
        temp.store().SaveSetting(s, k, stored);
        const auto store = temp.reopened();
        QCOMPARE(store->GetSetting(s, k, QStringLiteral("default")), stored);
        const bool truth = store->GetBool(s, k, false);
        QTEST(QStringLiteral("%1 %2 %3")
                  .arg(store->GetNumber(s, k, -1))
                  .arg(store->GetInteger(s, k, -1))
                  .arg(truth == store->GetBool(s, k, true) ? QString::number(truth) : "d"),
            "read");
        QVERIFY(stored.startsWith(u'T') || stored.startsWith(u'F') ? platform::BoolText(truth) == stored : true);
    }

    // A damaged store is set aside whole, over an older one, and the store starts afresh.
    void damagedStoreIsSetAside()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Lumeno.ini"));
        for (const QString &name : { path + QStringLiteral(".damaged"), path }) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name == path ? "[Setting]\nServ" : "old") > 0);
        }
        SettingsStore store(path);
        QFile aside(store.SetAsideFile());
        QVERIFY(aside.fileName() == path + QStringLiteral(".damaged") && aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), QByteArray("[Setting]\nServ"));
        store.SaveSetting(QStringLiteral("Setting"), QStringLiteral("Server"), QStringLiteral("x"));
        QVERIFY(store.Sync());
        QCOMPARE(SettingsStore(path).GetSetting(QStringLiteral("Setting"), QStringLiteral("Server"), {}), "x");
    }
    // The machine's name is the host's unless a test names another. (The draws of the random
    // generator are tst_codec's: every key it draws.)
    void computerName()
    {
        QCOMPARE(platform::ComputerName(), QSysInfo::machineHostName());
        testsupport::Installed<std::optional<QString>> other(platform::services().computerName, "other.example");
        QCOMPARE(platform::ComputerName(), QStringLiteral("other.example"));
    }
};

QTEST_GUILESS_MAIN(tst_Platform)
#include "tst_platform.moc"
