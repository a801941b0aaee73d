#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <QWindow>

// A customer without a mouse: every key goes to the window that has the focus, which hands
// it to its focus widget, shortcuts and default buttons included, as the desktop's keys do.
namespace Keyboard {

inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWindow *window = QGuiApplication::focusWindow();
    QVERIFY2(window, "no window has the focus");
    QTest::keyClick(window, key, modifiers);
}

inline void type(const QString &text)
{
    for (const QChar c : text) {
        QWindow *window = QGuiApplication::focusWindow();
        QVERIFY2(window, "no window has the focus");
        QTest::keyClick(window, c.toLatin1());
    }
}

// The object name of the focus widget; the inner field of a spin box or of an editable combo
// answers with its box's name.
inline QString focusName()
{
    QWidget *w = QApplication::focusWidget();
    while (w && (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// Presses Tab until the widget of that name has the focus; false when it never comes.
inline bool tabTo(const QString &name, int limit = 80)
{
    for (int i = 0; i < limit && focusName() != name; ++i)
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Tab);
    return focusName() == name;
}

// The widgets that Tab goes through, from the focus widget round to it again.
inline QStringList tabRound(int limit = 80)
{
    QWidget *start = QApplication::focusWidget();
    QStringList names;
    for (int i = 0; i < limit && start; ++i) {
        names << focusName();
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Tab);
        if (QApplication::focusWidget() == start)
            break;
    }
    return names;
}

} // namespace Keyboard
