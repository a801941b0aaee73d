#include "messagecatcher.h"

#include <cstdio>

MessageCatcher *MessageCatcher::s_current = nullptr;

MessageCatcher::MessageCatcher()
{
    Q_ASSERT(!s_current);
    s_current = this;
    m_previous = qInstallMessageHandler(&MessageCatcher::handler);
}

MessageCatcher::~MessageCatcher()
{
    qInstallMessageHandler(m_previous);
    s_current = nullptr;
}

QStringList MessageCatcher::messages() const
{
    QMutexLocker lock(&m_mutex);
    return m_messages;
}

QStringList MessageCatcher::matching(const QString &text) const
{
    return messages().filter(text);
}

void MessageCatcher::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (MessageCatcher *catcher = s_current) {
        {
            QMutexLocker lock(&catcher->m_mutex);
            catcher->m_messages.append(message);
        }
        if (catcher->m_previous)
            catcher->m_previous(type, context, message);
        else
            fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}
