// The real dialog layer, offscreen: Qt's own texts in Japanese whatever the locale, the title
// "Lumeno", the icon and the default button of each kind of message, and the input box.

#include "platform/dialogs.h"
#include "platform/qtdialogs.h"
#include "platform/services.h"
#include "platform/translations.h"
#include "support/fakeplatform.h"
#include "support/tables.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using platform::MsgAnswer;

class tst_QtDialogs : public QObject {
    Q_OBJECT

    // Once the modal dialog is open, notes "title icon default | buttons" and presses `press`.
    void AnswerModalWith(const QString &press)
    {
        QTimer::singleShot(0, this, [this, press] {
            QWidget *modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            const auto *box = qobject_cast<QMessageBox *>(modal);
            QStringList buttons;
            QString defaultButton;
            QAbstractButton *pressed = nullptr;
            for (QAbstractButton *button : modal->findChild<QDialogButtonBox *>()->buttons()) {
                buttons.append(button->text());
                if (static_cast<QPushButton *>(button)->isDefault())
                    defaultButton = button->text();
                if (button->text() == press)
                    pressed = button;
            }
            buttons.sort();
            m_seen = QStringLiteral("%1 %2 %3 | %4")
                         .arg(modal->windowTitle())
                         .arg(box ? int(box->icon()) : -1)
                         .arg(defaultButton, buttons.join(u' '));
            QVERIFY2(pressed, qPrintable(m_seen));
            pressed->click();
        });
    }
    QString m_seen;
    platform::QtDialogs m_dialogs;

private slots:
    void initTestCase()
    {
        testsupport::usePrivateRuntimeDir();
        QVERIFY(platform::InstallJapaneseQtTexts(*qApp));
        platform::services().dialogs = &m_dialogs;
    }
    void cleanupTestCase() { platform::services().dialogs = nullptr; }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void messageBoxes_data() { testsupport::AddTableRows(QStringLiteral("message-boxes.txt")); }
    // Each kind of message has its icon, its buttons in Japanese and its default button; the
    // input box's Cancel answers the empty text.
    void messageBoxes()
    {
        QFETCH(QString, kind);
        QFETCH(QString, press);
        AnswerModalWith(press);
        const QString text = QStringLiteral("変更された内容をファイルに保存しますか？");
        MsgAnswer answer = MsgAnswer::OK;
        if (kind == "error")
            platform::ShowError(nullptr, text);
        else if (kind == "notice")
            platform::ShowInformation(nullptr, text);
        else if (kind == "yes/no")
            answer = platform::AskYesNo(nullptr, text) ? MsgAnswer::Yes : MsgAnswer::No;
        else if (kind == "save prompt")
            answer = platform::AskYesNoCancel(nullptr, text);
        else if (kind == "captions")
            answer = platform::dialogs().MsgBox(nullptr,
                { text, platform::MsgIcon::Question, platform::MsgButtons::YesNoCancel, MsgAnswer::Cancel,
                    QStringLiteral("上書き(&O)"), QStringLiteral("別名で保存(&A)") });
        else
            QCOMPARE(platform::dialogs().InputBox(nullptr, text, QStringLiteral("a")), QString());
        QTEST(m_seen, "seen");
        const QMap<MsgAnswer, QString> letters { { MsgAnswer::Yes, "Y" }, { MsgAnswer::No, "N" },
            { MsgAnswer::OK, "O" } };
        QTEST(letters.value(answer), "answer");
    }
};

QTEST_MAIN(tst_QtDialogs)
#include "tst_qtdialogs.moc"
