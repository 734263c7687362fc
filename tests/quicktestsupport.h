// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/storagecodec.h"
#include "store/store.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QObject>
#include <QQuickItem>
#include <QQuickTextDocument>
#include <QQuickWindow>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QWindow>

/**
 * What the views' Quick Tests need beyond the Store's QML interface: conversations and settings
 * put straight into the Store, data.json, the clipboard, input-method events, and a loopback
 * gateway that accepts a request and never answers, so that a reply stays in progress until it
 * is stopped.
 */
class QuickTestSupport : public QObject
{
    Q_OBJECT

public:
    QuickTestSupport(Store *store, QString dataFile)
        : m_store(store), m_dataFile(std::move(dataFile)), m_silentGateway(new QTcpServer(this))
    {
        m_silentGateway->listen(QHostAddress::LocalHost);
        connect(m_silentGateway, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_silentGateway->nextPendingConnection())
                socket->setParent(this); // kept open, never answered
        });
    }

    /// The cursor shape (Qt::CursorShape) the window of this item shows now.
    Q_INVOKABLE int cursorShape(QQuickItem *item) const
    {
        return item && item->window() ? int(item->window()->cursor().shape()) : -1;
    }

    /// The text and background colours of the character after position in a text item's
    /// document ("#aarrggbb"; empty where none is set).
    Q_INVOKABLE QVariantMap colorsAt(QQuickTextDocument *document, int position) const
    {
        QTextCursor cursor(document->textDocument());
        cursor.setPosition(position + 1);
        return colours(cursor.charFormat());
    }

    /// The same for the formats a highlighter (search marks, code colours) laid over the
    /// document at that character.
    Q_INVOKABLE QVariantMap highlightAt(QQuickTextDocument *document, int position) const
    {
        const QTextBlock block = document->textDocument()->findBlock(position);
        const int at = position - block.position();
        QTextCharFormat format;
        for (const QTextLayout::FormatRange &r : block.layout()->formats()) {
            if (r.start <= at && at < r.start + r.length)
                format = r.format;
        }
        return colours(format);
    }

    /// No conversations and no data.json; the given key, the default model and the silent
    /// gateway.
    Q_INVOKABLE void reset(const QString &apiKey = QStringLiteral("sk-test"))
    {
        while (!m_store->conversations().isEmpty())
            m_store->remove(m_store->conversations().constFirst().id);
        AppSettings settings;
        settings.apiKey = apiKey;
        settings.baseURL =
            QStringLiteral("http://127.0.0.1:%1/v1").arg(m_silentGateway->serverPort());
        m_store->setSettings(settings);
        removeDataFile();
    }
    /// Changes the settings named in the map, without saving them.
    Q_INVOKABLE void setSettings(const QVariantMap &changes)
    {
        AppSettings s = m_store->settings();
        s.baseURL = changes.value(QStringLiteral("baseURL"), s.baseURL).toString();
        s.apiKey = changes.value(QStringLiteral("apiKey"), s.apiKey).toString();
        s.model = changes.value(QStringLiteral("model"), s.model).toString();
        s.systemPrompt = changes.value(QStringLiteral("systemPrompt"), s.systemPrompt).toString();
        s.models = changes.value(QStringLiteral("models"), s.models).toStringList();
        m_store->setSettings(s);
    }
    Q_INVOKABLE QVariantMap settings() const
    {
        const AppSettings &s = m_store->settings();
        return {{"baseURL", s.baseURL},
                {"apiKey", s.apiKey},
                {"model", s.model},
                {"systemPrompt", s.systemPrompt},
                {"models", QStringList(s.models)}};
    }
    /// A new conversation holding the messages ({role, content} each, a failed reply with its
    /// error and errorKind), with its own model when
    /// one is given; returns its id.
    Q_INVOKABLE QString addConversation(const QVariantList &messages, const QVariant &model = {})
    {
        m_store->newConversation();
        const QUuid conv = *m_store->selectedID();
        for (const QVariant &m : messages) {
            const QVariantMap map = m.toMap();
            const auto role = Message::roleFromName(map.value(QStringLiteral("role")).toString());
            Message message = Message::make(*role, map.value(QStringLiteral("content")).toString());
            message.setError(map.value(QStringLiteral("error")).toString(),
                             map.value(QStringLiteral("errorKind")).toString());
            m_store->appendMessage(conv, message);
        }
        if (model.isValid() && !model.isNull())
            m_store->setModel(conv, model.toString(), m_store->conversation(conv)->provider);
        return canonicalUuidString(*m_store->selectedID());
    }
    /// Adds a further gateway with these models; returns its id.
    Q_INVOKABLE QString addGateway(const QString &name, const QStringList &models,
                                   const QString &apiKey = QStringLiteral("sk-other"))
    {
        AppSettings s = m_store->settings();
        Provider p{QUuid::createUuid(), name, s.baseURL, apiKey, models};
        s.providers.append(p);
        m_store->setSettings(s);
        return canonicalUuidString(p.id);
    }
    /// Removes a further gateway by id; conversations keep its id.
    Q_INVOKABLE void removeGateway(const QString &id)
    {
        AppSettings s = m_store->settings();
        s.providers.removeIf([&id](const Provider &p) { return canonicalUuidString(p.id) == id; });
        m_store->setSettings(s);
    }
    /// The gateway and model of a conversation: "<gateway id or empty>/<model or empty>".
    Q_INVOKABLE QString modelChoice(const QString &id) const
    {
        const Conversation *c = m_store->conversation(*parseCanonicalUuid(id));
        return (c->provider.isNull() ? QString() : canonicalUuidString(c->provider)) + u'/' +
               c->model.value_or(QString());
    }
    Q_INVOKABLE QStringList ids() const
    {
        QStringList ids;
        for (const Conversation &c : m_store->conversations())
            ids.append(canonicalUuidString(c.id));
        return ids;
    }
    /// Sets a title as stored, without the trimming of rename (an empty title, say).
    Q_INVOKABLE void setTitle(const QString &id, const QString &title)
    {
        if (const auto uuid = parseCanonicalUuid(id))
            m_store->setTitle(*uuid, title);
    }
    Q_INVOKABLE QString title(const QString &id) const
    {
        const Conversation *c = m_store->conversation(parseCanonicalUuid(id).value_or(QUuid()));
        return c ? c->title : QString();
    }
    /// Appends to the last message, as a streamed delta does.
    Q_INVOKABLE void appendToLast(const QString &id, const QString &delta)
    {
        const QUuid conv = parseCanonicalUuid(id).value_or(QUuid());
        if (const Conversation *c = m_store->conversation(conv); c && !c->messages.isEmpty())
            m_store->appendToMessage(conv, c->messages.constLast().id, delta);
    }
    /// The conversation's messages as "role: content".
    Q_INVOKABLE QStringList messages(const QString &id) const
    {
        QStringList out;
        for (const Message &m : m_store->conversation(*parseCanonicalUuid(id))->messages)
            out << Message::roleName(m.role) + QStringLiteral(": ") + m.content;
        return out;
    }

    /// Both wait for the saves asked for so far.
    Q_INVOKABLE QStringList messageIDs(const QString &id) const
    {
        QStringList ids;
        if (const Conversation *c = m_store->conversation(*parseCanonicalUuid(id)))
            for (const Message &m : c->messages)
                ids << canonicalUuidString(m.id);
        return ids;
    }
    Q_INVOKABLE bool dataFileExists() const
    {
        m_store->flush();
        return QFileInfo(m_dataFile).isFile();
    }
    /// Saves the state now and waits for it.
    Q_INVOKABLE void saveNow()
    {
        m_store->save();
        m_store->flush();
    }
    /// The bytes of data.json in hex, once the saves asked for so far are written.
    Q_INVOKABLE QString dataFileHex() const
    {
        m_store->flush();
        QFile file(m_dataFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().toHex())
                                              : QString();
    }
    Q_INVOKABLE void removeDataFile()
    {
        m_store->flush();
        QFile::remove(m_dataFile);
        QDir(m_dataFile).removeRecursively();
    }
    /// Puts a folder where data.json goes, so that every save fails until removeDataFile().
    Q_INVOKABLE bool breakDataFile()
    {
        removeDataFile();
        return QDir().mkpath(m_dataFile);
    }

    /// Writes a file of that name (its text as UTF-8) beside data.json's folder; its path.
    Q_INVOKABLE QString writeFile(const QString &name, const QString &text) const
    {
        const QString path = QFileInfo(m_dataFile).dir().filePath(QStringLiteral("../") + name);
        QFile file(path);
        const QByteArray bytes = text.toUtf8();
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path
                                                                                    : QString();
    }
    /// Drags files from outside the program onto the middle of item and drops them there, as a
    /// file manager does; whether the drop was taken.
    Q_INVOKABLE bool dropFiles(QQuickItem *item, const QStringList &paths) const
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &path : paths)
            urls.append(QUrl::fromLocalFile(path));
        mime.setUrls(urls);
        const QPointF at = item->mapToScene({item->width() / 2, item->height() / 2});
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(item->window(), &enter);
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(item->window(), &move);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(item->window(), &drop);
        return drop.isAccepted();
    }

    Q_INVOKABLE QString clipboardText() const { return QGuiApplication::clipboard()->text(); }
    /// Puts an opaque image of that size on the clipboard, as a screenshot tool does.
    Q_INVOKABLE void setClipboardImage(int width, int height)
    {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        QGuiApplication::clipboard()->setImage(image);
    }
    Q_INVOKABLE void setClipboardText(const QString &text)
    {
        QGuiApplication::clipboard()->setText(text);
    }
    /// A key press and release sent to window, as the platform sends them: shortcuts of that
    /// window see it.
    Q_INVOKABLE void keyClick(QWindow *window, int key, int modifiers)
    {
        QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    }
    /// Sends an input-method event to item: a composition in progress or its commit.
    Q_INVOKABLE void inputMethod(QObject *item, const QString &preedit, const QString &commit)
    {
        QInputMethodEvent event(preedit, {});
        event.setCommitString(commit);
        QCoreApplication::sendEvent(item, &event);
    }

private:
    /// The text and background colours a format sets, as colorsAt() gives them.
    static QVariantMap colours(const QTextCharFormat &format)
    {
        const auto name = [&format](QTextFormat::Property property) {
            return format.hasProperty(property)
                       ? format.brushProperty(property).color().name(QColor::HexArgb)
                       : QString();
        };
        return {{QStringLiteral("color"), name(QTextFormat::ForegroundBrush)},
                {QStringLiteral("background"), name(QTextFormat::BackgroundBrush)}};
    }

    Store *m_store;
    QString m_dataFile;
    QTcpServer *m_silentGateway;
};
