// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settingsform.h"
#include "store/store.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TstSettingsForm : public QObject
{
    Q_OBJECT

private slots:
    void modelsFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("models");

        // clang-format off
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("blank line and spaces around a name") << "gpt-4o\n\n  deepseek-chat  " << QStringList{"gpt-4o", "deepseek-chat"};
        QTest::newRow("only line feeds, spaces and tabs") << "\n  \n\t\n \t \n\n" << QStringList{};
        QTest::newRow("duplicates stay") << "a\na" << QStringList{"a", "a"};
        QTest::newRow("unicode horizontal space is trimmed") << QStringLiteral("\u3000a\u00a0\n\u2003b\t") << QStringList{"a", "b"};
        // Only the line feed separates entries; other line breaks belong to the name.
        QTest::newRow("carriage return is kept") << "a\r\nb" << QStringList{"a\r", "b"};
        QTest::newRow("line separator is kept") << QStringLiteral("a\u2028b") << QStringList{QStringLiteral("a\u2028b")};
        // clang-format on
    }

    void modelsFromText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, models);
        const QList<QString> result = SettingsForm::modelsFromText(text);
        QCOMPARE(result, models);
        // Read back: one name per line, nothing between them.
        QCOMPARE(SettingsForm::textFromModels(result), models.join(u'\n'));
    }

    void savesOnlyChanges_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("newValue");
        QTest::addColumn<QString>("sameModels");

        // sameModels: a models text that differs from the stored one only in what is dropped.
        // clang-format off
        QTest::newRow("baseURL")      << QByteArray("baseURL")      << "http://127.0.0.1:1/v1" << "";
        QTest::newRow("apiKey")       << QByteArray("apiKey")       << "sk-x"                  << "";
        QTest::newRow("model")        << QByteArray("model")        << ""                      << "";
        QTest::newRow("systemPrompt") << QByteArray("systemPrompt") << " 你好\n"               << "";
        QTest::newRow("modelsText")   << QByteArray("modelsText")   << "a\nb"                  << "a\n\n b \n";
        // clang-format on
    }

    // Writing a field's current value (as the window does when it opens) never saves; a real change
    // is applied at once and saved; a models text that normalises to the stored list is no change.
    void savesOnlyChanges()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, newValue);
        QFETCH(QString, sameModels);

        QTemporaryDir dir;
        Store store(dir.path());
        const QString file = dir.filePath(QStringLiteral("data.json"));
        SettingsForm form;
        form.setStore(&store);
        QSignalSpy settingsChanged(&store, &Store::settingsChanged);

        for (const char *name : {"baseURL", "apiKey", "model", "systemPrompt", "modelsText"})
            QVERIFY(form.setProperty(name, form.property(name)));
        form.flush();
        QVERIFY(!QFile::exists(file));
        QCOMPARE(settingsChanged.size(), 0);

        QVERIFY(form.setProperty(property, newValue));
        QCOMPARE(settingsChanged.size(), 1);
        QTRY_VERIFY(QFile::exists(file));
        QCOMPARE(Store(dir.path()).settings(), store.settings());

        QVERIFY(QFile::remove(file));
        QVERIFY(form.setProperty(property, newValue));
        if (!sameModels.isEmpty())
            QVERIFY(form.setProperty(property, sameModels));
        form.flush();
        QVERIFY(!QFile::exists(file));
        QCOMPARE(settingsChanged.size(), 1);
    }

    // Typing saves once, when it pauses, not per keystroke; a change still waiting is written when
    // the form goes away (the program quits), so nothing typed is lost.
    void savesOnceTypingPauses()
    {
        QTemporaryDir dir;
        Store store(dir.path());
        QSignalSpy saves(&store, &Store::saved);
        auto form = std::make_unique<SettingsForm>();
        form->setStore(&store);
        QString prompt;
        for (const QChar c : QStringLiteral("简短回答 briefly")) {
            prompt += c;
            form->setSystemPrompt(prompt);
            QCOMPARE(store.settings().systemPrompt, prompt);
        }
        QCOMPARE(saves.size(), 0);
        QTRY_COMPARE(saves.size(), 1);
        QCOMPARE(Store(dir.path()).settings().systemPrompt, prompt);

        form->setApiKey(QStringLiteral("sk-last"));
        form.reset();
        store.flush();
        QCOMPARE(saves.size(), 2);
        QCOMPARE(Store(dir.path()).settings().apiKey, QStringLiteral("sk-last"));
    }
};

QTEST_GUILESS_MAIN(TstSettingsForm)

#include "tst_settingsform.moc"
