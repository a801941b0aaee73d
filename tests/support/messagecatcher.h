#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the messages that Qt's logging receives while it lives (and passes them on to
// the handler that was installed before). One at a time.
class MessageCatcher
{
public:
    MessageCatcher();
    ~MessageCatcher();
    MessageCatcher(const MessageCatcher &) = delete;
    MessageCatcher &operator=(const MessageCatcher &) = delete;

    QStringList messages() const;
    // The messages that contain the text.
    QStringList matching(const QString &text) const;

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);

    static MessageCatcher *s_current;
    QtMessageHandler m_previous;
    mutable QMutex m_mutex;
    QStringList m_messages;
};
