#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;
class QWidget;

// Answers the message boxes and dialogs that the code under test opens, one scripted answer
// per box in the order they appear, and records what each box showed. It looks for boxes
// from a timer on the GUI thread, so it also answers a box whose exec() runs its own event
// loop. Watched are the active modal widget (but not one already up when the answerer is
// made: that is the window under test) and every visible top-level message box; add
// the class names of modeless dialogs to watch with watchDialogs().
//
// A box that appears with no answer left is rejected and counted in unexpected(), so that a
// test never hangs on a box it did not foresee.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Box
    {
        QString className;       // meta-object class name: "QMessageBox", "LoginDialog", ...
        QString objectName;
        QString title;
        QString text;            // message boxes: text(); empty for other dialogs
        QString informativeText; // message boxes only
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;     // button texts of a message box, mnemonics removed
        QString defaultButton;   // text of a message box's default button, if any
        bool hasEscapeButton = false;
        QString answer;          // text of the button pressed, "(action)", or "(rejected)"
    };
    using Action = std::function<void(QWidget *box)>;

    explicit ModalAnswerer(QObject *parent = nullptr);
    ~ModalAnswerer() override;

    // The next box gets this answer: a standard button of a message box, the button whose
    // text (mnemonics removed) is buttonText, or an action that does what it likes with the
    // box (fill fields, click, or leave it open for a later answer to close).
    void answer(QMessageBox::StandardButton button);
    void answer(const QString &buttonText);
    void answerWith(Action action);

    // Also answer visible top-level widgets of this class that are not modal.
    void watchDialogs(const QString &className);
    // Never answer this widget: the window under test, when it is itself modal, is the active
    // modal widget between two of the boxes it opens.
    void ignore(QWidget *widget) { m_seen.append(widget); }

    QList<Box> boxes() const { return m_boxes; }
    Box last() const { return m_boxes.isEmpty() ? Box() : m_boxes.last(); }
    int count() const { return m_boxes.size(); }
    int pending() const { return m_answers.size(); }
    int unexpected() const { return m_unexpected; }
    // Waits until count() reaches n; false on time-out.
    bool waitForCount(int n, int timeoutMs = 10000);
    void clear();

    static Box describe(QWidget *box);

private:
    struct Answer
    {
        QMessageBox::StandardButton standard = QMessageBox::NoButton;
        QString text;
        Action action;
    };

    void poll();
    void handle(QWidget *box);
    QList<QWidget *> candidates() const;

    QTimer *m_timer;
    QList<Answer> m_answers;
    QList<Box> m_boxes;
    QList<QPointer<QWidget>> m_seen;
    QStringList m_watched;
    int m_unexpected = 0;
};
