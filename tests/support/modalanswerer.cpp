#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QString plain(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

ModalAnswerer::ModalAnswerer(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    // A modal window already up is the window under test (a dialog modal by its form, shown
    // by the test), not a box that the code under test opens: between two of its boxes it is
    // the active modal widget again, and must not take their answers.
    if (QWidget *modal = QApplication::activeModalWidget())
        m_seen.append(modal);
    m_timer->setInterval(10);
    connect(m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer->start();
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::answer(QMessageBox::StandardButton button)
{
    Answer a;
    a.standard = button;
    m_answers.append(a);
}

void ModalAnswerer::answer(const QString &buttonText)
{
    Answer a;
    a.text = buttonText;
    m_answers.append(a);
}

void ModalAnswerer::answerWith(Action action)
{
    Answer a;
    a.action = std::move(action);
    m_answers.append(a);
}

void ModalAnswerer::watchDialogs(const QString &className)
{
    m_watched.append(className);
}

bool ModalAnswerer::waitForCount(int n, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_boxes.size() >= n; }, timeoutMs);
}

void ModalAnswerer::clear()
{
    m_answers.clear();
    m_boxes.clear();
    m_unexpected = 0;
}

ModalAnswerer::Box ModalAnswerer::describe(QWidget *box)
{
    Box b;
    b.className = QString::fromLatin1(box->metaObject()->className());
    b.objectName = box->objectName();
    b.title = box->windowTitle();
    if (auto *message = qobject_cast<QMessageBox *>(box)) {
        b.text = message->text();
        b.informativeText = message->informativeText();
        b.icon = message->icon();
        const QList<QAbstractButton *> buttons = message->buttons();
        for (QAbstractButton *button : buttons)
            b.buttons.append(plain(button->text()));
        if (message->defaultButton())
            b.defaultButton = plain(message->defaultButton()->text());
        b.hasEscapeButton = message->escapeButton() != nullptr;
    }
    return b;
}

QList<QWidget *> ModalAnswerer::candidates() const
{
    QList<QWidget *> found;
    if (QWidget *modal = QApplication::activeModalWidget())
        found.append(modal);
    const QList<QWidget *> tops = QApplication::topLevelWidgets();
    for (QWidget *w : tops) {
        if (!w->isVisible() || found.contains(w))
            continue;
        if (qobject_cast<QMessageBox *>(w) || m_watched.contains(QString::fromLatin1(w->metaObject()->className())))
            found.append(w);
    }
    return found;
}

void ModalAnswerer::poll()
{
    m_seen.removeAll(QPointer<QWidget>());
    const QList<QWidget *> boxes = candidates();
    for (QWidget *box : boxes) {
        if (!box->isVisible())
            continue;
        bool seen = false;
        for (const QPointer<QWidget> &s : qAsConst(m_seen))
            seen = seen || s == box;
        if (seen)
            continue;
        m_seen.append(box);
        handle(box);
        return; // one box per tick: the answer may open or close others
    }
}

void ModalAnswerer::handle(QWidget *box)
{
    Box b = describe(box);
    QPointer<QWidget> target(box);
    // Answers run from the event loop, not from this timer's slot: an answer that opens a
    // box of its own (exec()) must find this timer free to answer that one too.
    auto later = [this](std::function<void()> answer) { QTimer::singleShot(0, this, std::move(answer)); };
    auto reject = [target] {
        if (auto *dialog = qobject_cast<QDialog *>(target.data()))
            dialog->reject();
        else if (target)
            target->close();
    };

    if (m_answers.isEmpty()) {
        ++m_unexpected;
        b.answer = QStringLiteral("(rejected)");
        m_boxes.append(b);
        later(reject);
        return;
    }

    const Answer a = m_answers.takeFirst();
    if (a.action) {
        b.answer = QStringLiteral("(action)");
        m_boxes.append(b);
        const Action action = a.action;
        later([target, action] {
            if (target)
                action(target);
        });
        return;
    }
    QAbstractButton *button = nullptr;
    auto *message = qobject_cast<QMessageBox *>(box);
    if (message && a.standard != QMessageBox::NoButton)
        button = message->button(a.standard);
    if (!button && !a.text.isEmpty()) {
        const QList<QAbstractButton *> buttons = box->findChildren<QAbstractButton *>();
        for (QAbstractButton *candidate : buttons) {
            if (candidate->isVisible() && plain(candidate->text()) == a.text) {
                button = candidate;
                break;
            }
        }
    }
    if (!button) {
        // The scripted answer does not fit this box: reject it so that the test goes on and
        // fails on what it checks.
        ++m_unexpected;
        b.answer = QStringLiteral("(rejected)");
        m_boxes.append(b);
        later(reject);
        return;
    }
    b.answer = plain(button->text());
    m_boxes.append(b);
    QPointer<QAbstractButton> pressed(button);
    later([pressed] {
        if (pressed)
            pressed->click();
    });
}
