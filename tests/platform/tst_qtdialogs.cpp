// The real dialog layer, offscreen: Qt's own texts in Japanese whatever the locale, the title
// "Lumeno", the icon and the default button of each kind of message, and the input box.

#include "platform/dialogs.h"
#include "platform/qtdialogs.h"
#include "platform/services.h"
#include "platform/translations.h"
#include "support/fakeplatform.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using platform::MsgAnswer;

namespace {

struct SeenBox {
    QString title;
    int icon = -1;
    QStringList buttons; // sorted
    QString defaultButton;
};

// Looks at the modal dialog once it is open, then presses the button with this text.
void AnswerModalWith(const QString &buttonText, SeenBox &seen)
{
    QTimer::singleShot(0, [buttonText, &seen] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        seen.title = modal->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(modal))
            seen.icon = box->icon();
        const auto buttons = modal->findChild<QDialogButtonBox *>()->buttons();
        QPushButton *press = nullptr;
        for (QAbstractButton *button : buttons) {
            seen.buttons.append(button->text());
            if (static_cast<QPushButton *>(button)->isDefault())
                seen.defaultButton = button->text();
            if (button->text() == buttonText)
                press = static_cast<QPushButton *>(button);
        }
        seen.buttons.sort();
        QVERIFY2(press, qPrintable(seen.buttons.join(u' ')));
        press->click();
    });
}

} // namespace

class tst_QtDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        QVERIFY(platform::InstallJapaneseQtTexts(*qApp));
        platform::services().dialogs = &m_dialogs;
    }
    void cleanupTestCase() { platform::services().dialogs = nullptr; }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("defaultButton");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("answer");
        const QString yes = QStringLiteral("はい(&Y)"), no = QStringLiteral("いいえ(&N)");
        const QString cancel = QStringLiteral("キャンセル"), ok = QStringLiteral("OK");
        QTest::newRow("error") << 0 << int(QMessageBox::Warning) << QStringList { ok } << ok << ok
                               << int(MsgAnswer::OK);
        QTest::newRow("notice") << 1 << int(QMessageBox::Information) << QStringList { ok } << ok << ok
                                << int(MsgAnswer::OK);
        QTest::newRow("yes/no") << 2 << int(QMessageBox::Question) << QStringList { yes, no } << no << yes
                                << int(MsgAnswer::Yes);
        QTest::newRow("save prompt") << 3 << int(QMessageBox::Question) << QStringList { yes, no, cancel } << cancel
                                     << no << int(MsgAnswer::No);
    }
    void messageBoxes()
    {
        QFETCH(int, kind);
        QFETCH(QString, press);
        SeenBox seen;
        AnswerModalWith(press, seen);
        const QString text = QStringLiteral("変更された内容をファイルに保存しますか？");
        MsgAnswer answer = MsgAnswer::OK;
        switch (kind) {
        case 0: platform::ShowError(nullptr, text); break;
        case 1: platform::ShowInformation(nullptr, text); break;
        case 2: answer = platform::AskYesNo(nullptr, text) ? MsgAnswer::Yes : MsgAnswer::No; break;
        case 3: answer = platform::AskYesNoCancel(nullptr, text); break;
        }
        QCOMPARE(seen.title, QStringLiteral("Lumeno"));
        QTEST(seen.icon, "icon");
        QFETCH(QStringList, buttons);
        buttons.sort();
        QCOMPARE(seen.buttons, buttons);
        QTEST(seen.defaultButton, "defaultButton");
        QTEST(int(answer), "answer");
    }

    // The input box's buttons read in Japanese; Cancel answers the empty text.
    void inputBox()
    {
        SeenBox seen;
        AnswerModalWith(QStringLiteral("キャンセル"), seen);
        QCOMPARE(
            platform::dialogs().InputBox(nullptr, QStringLiteral("新しいフォルダ名"), QStringLiteral("a")), QString());
        QCOMPARE(seen.title, QStringLiteral("Lumeno"));
        QCOMPARE(seen.buttons, (QStringList { QStringLiteral("OK"), QStringLiteral("キャンセル") }));
    }

private:
    platform::QtDialogs m_dialogs;
};

QTEST_MAIN(tst_QtDialogs)
#include "tst_qtdialogs.moc"
