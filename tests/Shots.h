#pragma once
// Pictures of windows as a user sees them, for a person to look at: with PEMBLAR_SHOTS set to a
// directory, SaveShot writes the window there as <name>.png; without it, it does nothing.

#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

inline void SaveShot(QWidget* window, const char* name) {
    if (!window || !qEnvironmentVariableIsSet("PEMBLAR_SHOTS"))
        return;
    // On top, and whatever was over it has gone and it has drawn itself again.
    window->raise();
    QTest::qWait(300);
    // Taken from the screen, so that OpenGL drawing and child windows are in it as shown.
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect frame = window->frameGeometry();
    QPixmap picture = screen ? screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()) : QPixmap();
    if (picture.isNull() || picture.toImage().allGray())
        picture = window->grab();
    picture.save(QDir(qEnvironmentVariable("PEMBLAR_SHOTS")).filePath(QString::fromLatin1(name) + ".png"));
}
